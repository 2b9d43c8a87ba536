# The project's commands: `make test` and `make demo` (and `make bench`, `make package`). Each installs what
# is missing.
SHELL := /bin/bash
.ONESHELL:
.SILENT:
.SHELLFLAGS := -eu -o pipefail -c

JOBS ?= $(shell nproc)
PACKAGES := cmake ninja-build g++ googletest g++-mingw-w64-x86-64-posix wine wine64 binutils-mingw-w64-x86-64 \
  pkg-config libespeak-ng-dev espeak-ng-data libpocketsphinx-dev libsphinxbase-dev pocketsphinx-en-us \
  libpulse-dev libx11-dev libx11-xcb-dev libcairo2-dev fonts-liberation xvfb x11-utils dpkg-dev \
  bison autoconf automake libtool m4 xz-utils flite1-dev
LINUX_BUILD := build/linux
WIN_BUILD := build/win
BENCH_BUILD := build/bench
WINE := $(CURDIR)/cmake/wine-run.sh

.PHONY: test demo demo-windows bench bench-windows fuzz package deps engines build-linux build-win clean

deps:
	missing=""
	for p in $(PACKAGES); do
	  dpkg-query -W -f='$${Status}' "$$p" 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"
	done
	if [ -n "$$missing" ]; then
	  echo "installing:$$missing"
	  export DEBIAN_FRONTEND=noninteractive
	  apt-get update -qq
	  apt-get install -y -qq --no-install-recommends $$missing
	fi

build-linux: deps
	cmake -S . -B $(LINUX_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALVERO_SANITIZE=ON >/dev/null
	cmake --build $(LINUX_BUILD) -j $(JOBS) --target talvero all_tests

# The Windows product's speech engines, cross-built once per tree from Debian's source packages.
engines: deps
	bash tools/engines/build-engines.sh build/engines

build-win: deps engines
	cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake >/dev/null
	cmake --build $(WIN_BUILD) -j $(JOBS) --target talvero all_tests

test: build-linux build-win
	mkdir -p build/logs
	rc=0
	ctest --test-dir $(LINUX_BUILD) --output-on-failure -V >build/logs/linux-tests.log 2>&1 || rc=1
	export WINEPREFIX=$(CURDIR)/$(WIN_BUILD)/wineprefix TALVERO_WINEPREFIX=$(CURDIR)/$(WIN_BUILD)/wineprefix
	export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
	# One wineserver and its services for the whole run, started with their output away from ctest's
	# pipes (a service holding a pipe open would keep ctest waiting).
	wineserver -p </dev/null >/dev/null 2>&1 || true
	(unset DISPLAY; wineboot -i </dev/null >/dev/null 2>&1) || true
	ctest --test-dir $(WIN_BUILD) --output-on-failure -V >build/logs/win-tests.log 2>&1 || rc=1
	wineserver -k 2>/dev/null || true
	x86_64-w64-mingw32-objdump -p $(WIN_BUILD)/talvero.exe | grep 'DLL Name' | sed 's/^\s*/  /' >build/logs/win-imports.txt
	bash tools/test-summary.sh build/logs/linux-tests.log linux
	bash tools/test-summary.sh build/logs/win-tests.log windows
	echo "windows: talvero.exe: $$(x86_64-w64-mingw32-objdump -f $(WIN_BUILD)/talvero.exe | grep -o 'file format.*')," \
	  "imports$$(sed 's/.*DLL Name://' build/logs/win-imports.txt | tr -s ' \n' ' ')"
	if grep -qiE 'libstdc|libgcc|winpthread' build/logs/win-imports.txt; then
	  echo "windows: talvero.exe needs a DLL that is not part of Windows"; rc=1
	fi
	if [ $$rc -ne 0 ]; then echo "some tests failed: see build/logs/"; fi
	exit $$rc

demo: build-linux
	bash tools/demo.sh $(LINUX_BUILD)

# The same demo flight with the Windows product under wine (talvero.exe against simstandin.exe).
demo-windows: build-win
	bash tools/demo.sh $(WIN_BUILD)

# The recognition benchmark also hears recordings of people: the speech library's test recordings (in its
# source packages, which the engines target unpacks) and the sound system's channel names.
bench: deps engines
	bash tools/recordings.sh build/recordings
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALVERO_TESTS=OFF >/dev/null
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target benchmarks
	for b in $(BENCH_BUILD)/bench_*; do [ -x "$$b" ] && (cd $(BENCH_BUILD) && "./$$(basename $$b)"); done

# The Windows product's speech and start-up figures, its benchmarks run under wine (built in the
# Windows build, -O2): printed as "bench recognition-windows: ..." and "bench startup-windows: ...".
bench-windows: build-win
	cmake --build $(WIN_BUILD) -j $(JOBS) --target bench_recognition bench_startup
	export TALVERO_WINEPREFIX=$(CURDIR)/$(WIN_BUILD)/wineprefix
	for b in recognition startup; do
	  (cd $(WIN_BUILD) && $(WINE) ./bench_$$b.exe) | sed -u "s/^bench $$b:/bench $$b-windows:/"
	done

# The release packages in build/package: the Windows zip for the simulator's Community folder and the
# Debian package, from Release builds of their own; each is then tried out as a pilot installs it.
package: PACKAGES += lintian
package: deps engines
	cmake -S . -B build/package-linux -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALVERO_TESTS=OFF >/dev/null
	cmake --build build/package-linux -j $(JOBS) --target talvero simstandin syscipher hearwav saywav dryflight
	cmake -S . -B build/package-win -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALVERO_TESTS=OFF \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake >/dev/null
	cmake --build build/package-win -j $(JOBS) --target talvero simstandin
	zip=$$(bash tools/package/package.sh windows build/package-win build/package)
	deb=$$(bash tools/package/package.sh debian build/package-linux build/package)
	lint=0
	lintian --fail-on error "$$deb" >build/package/lintian.txt 2>&1 || lint=1
	grep -v 'root privileges' build/package/lintian.txt || true
	if [ $$lint -ne 0 ]; then echo "lintian found errors in $$deb"; exit 1; fi
	export TALVERO_WINEPREFIX=$(CURDIR)/build/package-win/wineprefix
	export WINEPREFIX=$$TALVERO_WINEPREFIX WINEDEBUG=-all
	rc=0
	bash tools/package/package-test.sh windows "$$zip" build/package-win || rc=1
	bash tools/package/package-test.sh debian "$$deb" || rc=1
	wineserver -k 2>/dev/null || true
	echo "packages: $$zip $$deb"
	exit $$rc

# Fuzzing: clang's libFuzzer with ASan and UBSan over every input from outside the program; each target
# runs FUZZ_SECONDS (FUZZ_SECONDS=600 make fuzz for a longer run).
FUZZ_BUILD := build/fuzz
FUZZ_SECONDS ?= 20
FUZZ_PACKAGES := clang-14 libclang-rt-14-dev

# The fuzzers' compiler comes through deps like every other package, for this target only.
fuzz: PACKAGES += $(FUZZ_PACKAGES)
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTALVERO_FUZZ=ON -DTALVERO_TESTS=OFF >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	bash tools/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	# The cross-built speech engines stay: they take a while and never change with the code.
	find build -mindepth 1 -maxdepth 1 ! -name engines -exec rm -rf {} +
