#!/usr/bin/env bash
# Cross-builds the speech engines of the Windows product as static libraries.
#
#   tools/engines/build-engines.sh OUTDIR
#
# Debian's source packages of sphinxbase and pocketsphinx (the versions the Linux
# product links) and of eSpeak NG are fetched with `apt-get source` into OUTDIR/src,
# unpacked with Debian's own patches applied, and built with the mingw-w64 posix-thread
# toolchain into OUTDIR/win64:
#
#   include/pocketsphinx/       pocketsphinx.h and the headers it includes
#   include/sphinxbase/         sphinxbase headers (sphinx_config.h is reached as
#                               <sphinxbase/sphinx_config.h>, as in Debian's packages)
#   include/espeak-ng/          speak_lib.h, espeak_ng.h, encoding.h
#   include/espeak/speak_lib.h  the older name of the same header
#   lib/libpocketsphinx.a lib/libsphinxbase.a lib/libsphinxad.a lib/libespeak-ng.a
#   lib/pkgconfig/*.pc          relocatable (prefix follows the .pc file)
#   share/espeak-ng-data/       voice data compiled by a native build of the same
#                               eSpeak NG source, kept to English and German
#   share/pocketsphinx/model/en-us/  acoustic model, dictionary and language models
#                               copied from Debian's pocketsphinx-en-us package
#   share/licenses/             Debian copyright files of everything above
#
# A client of these libraries compiles with -DLIBESPEAK_NG_EXPORT (eSpeak NG's headers
# otherwise declare its API as imported from a DLL) and links, in this order,
#   -lpocketsphinx -lsphinxbase [-lsphinxad -lwinmm] -lespeak-ng -ladvapi32 -lm
#
# The script runs as root on Debian 12. It adds deb-src entries for bookworm and trixie
# when apt has none (source lists only: no installed binary package changes) and
# installs the build tools it lacks. Each step leaves a stamp holding the versions and
# the checksum of this script and its patches; a run whose final stamp matches prints
# one line and returns at once, and a changed script or version rebuilds everything.
set -euo pipefail
export LC_ALL=C.UTF-8

SPHINXBASE_VERSION=0.8+5prealpha+1-16      # bookworm
POCKETSPHINX_VERSION=0.8+5prealpha+1-15    # bookworm
# bookworm's 1.51 source cannot be fetched (its orig tarball is missing from the archive
# reachable here), so the Windows build takes trixie's 1.52.
ESPEAK_VERSION=1.52.0+dfsg-5               # trixie
MODEL_PACKAGE=pocketsphinx-en-us
HOST=x86_64-w64-mingw32
JOBS=2

say() { printf 'engines: %s\n' "$*"; }
die() { printf 'engines: error: %s\n' "$*" >&2; exit 1; }

[ $# -eq 1 ] || die "usage: $0 OUTDIR"
mkdir -p "$1"
OUT=$(cd "$1" && pwd)
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
SELF="$HERE/$(basename "${BASH_SOURCE[0]}")"
WIN="$OUT/win64"
BUILD="$OUT/build"
SRC="$OUT/src"
LOGS="$BUILD/logs"
FINAL_STAMP="$WIN/.stamp-VERSIONS"

shopt -s nullglob
PATCHES=("$HERE"/patches/*.patch)
shopt -u nullglob

script_sum=$(cat "$SELF" ${PATCHES[@]+"${PATCHES[@]}"} | sha256sum | cut -c1-16)
model_version=$(dpkg-query -W -f='${Version}' "$MODEL_PACKAGE" 2>/dev/null || echo none)
KEY="sphinxbase=$SPHINXBASE_VERSION pocketsphinx=$POCKETSPHINX_VERSION espeak-ng=$ESPEAK_VERSION $MODEL_PACKAGE=$model_version script=$script_sum"

LIBS=(libpocketsphinx.a libsphinxbase.a libsphinxad.a libespeak-ng.a)
outputs_present() {
  local f
  for f in "${LIBS[@]}"; do [ -s "$WIN/lib/$f" ] || return 1; done
  [ -s "$WIN/share/espeak-ng-data/phondata" ] && [ -s "$WIN/share/espeak-ng-data/en_dict" ] \
    && [ -s "$WIN/share/pocketsphinx/model/en-us/en-us/mdef" ]
}

if [ -f "$FINAL_STAMP" ] && [ "$(cat "$FINAL_STAMP")" = "$KEY" ] && outputs_present; then
  say "up to date: $WIN ($KEY)"
  exit 0
fi

started=$(date +%s)
[ "$(id -u)" = 0 ] || die "must run as root (it installs packages and source lists)"

# A different key (versions or this script changed) starts the build over; the fetched
# sources in OUTDIR/src stay, apt skips files it already has.
if [ "$(cat "$BUILD/.key" 2>/dev/null || true)" != "$KEY" ]; then
  rm -rf "$BUILD" "$WIN"
  mkdir -p "$BUILD"
  printf '%s\n' "$KEY" >"$BUILD/.key"
fi
mkdir -p "$LOGS" "$SRC" "$WIN"

# A step is done when its stamp holds the current key and its product is still there.
step_done() { [ "$(cat "$BUILD/.stamp-$1" 2>/dev/null || true)" = "$KEY" ] && [ -s "$2" ]; }
step_mark() { printf '%s\n' "$KEY" >"$BUILD/.stamp-$1"; }

# Runs a command with its output in a log; on failure shows the log's end and stops.
run() {
  local log="$LOGS/$1.log"; shift
  if ! "$@" >>"$log" 2>&1; then
    tail -n 25 "$log" >&2
    die "'$*' failed (log: $log)"
  fi
}

# ---- build tools -------------------------------------------------------------------------
TOOLS=(bison autoconf automake libtool m4 dpkg-dev pkg-config make gcc libc6-dev xz-utils
       debian-archive-keyring g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
       binutils-mingw-w64-x86-64 "$MODEL_PACKAGE")
say "build tools: ${TOOLS[*]}"
missing=()
for p in "${TOOLS[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -Fx 'install ok installed' >/dev/null || missing+=("$p")
done
apt_updated=no
if [ ${#missing[@]} -gt 0 ]; then
  say "installing: ${missing[*]}"
  apt-get update -qq
  apt_updated=yes
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" \
    >"$LOGS/apt-install.log" 2>&1 || { tail -n 25 "$LOGS/apt-install.log" >&2; die "apt-get install ${missing[*]} failed"; }
  model_version=$(dpkg-query -W -f='${Version}' "$MODEL_PACKAGE")
  KEY="sphinxbase=$SPHINXBASE_VERSION pocketsphinx=$POCKETSPHINX_VERSION espeak-ng=$ESPEAK_VERSION $MODEL_PACKAGE=$model_version script=$script_sum"
  printf '%s\n' "$KEY" >"$BUILD/.key"
fi

# ---- source lists ------------------------------------------------------------------------
SOURCES_FILE=/etc/apt/sources.list.d/talvero-sources.sources
have_src_suite() {
  apt-get indextargets --format '$(RELEASE) $(COMPONENT)' 'Created-By: Sources' 2>/dev/null \
    | grep -Fx "$1 main" >/dev/null
}
want_suites=()
have_src_suite bookworm || want_suites+=(bookworm)
have_src_suite trixie || want_suites+=(trixie)
if [ ${#want_suites[@]} -gt 0 ]; then
  # Keep whatever this file already listed and add the suites apt lacks.
  if [ -f "$SOURCES_FILE" ]; then
    for s in $(sed -n 's/^Suites:[[:space:]]*//p' "$SOURCES_FILE"); do
      [[ " ${want_suites[*]} " == *" $s "* ]] || want_suites+=("$s")
    done
  fi
  say "adding deb-src entries for ${want_suites[*]} main in $SOURCES_FILE"
  {
    first=yes
    for s in "${want_suites[@]}"; do
      [ $first = yes ] || echo
      first=no
      printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' "$s"
    done
  } >"$SOURCES_FILE"
  apt-get update -qq
  apt_updated=yes
fi

have_source_version() {
  apt-cache showsrc --only-source "$1" 2>/dev/null | grep -Fx "Version: $2" >/dev/null
}
for pv in "sphinxbase=$SPHINXBASE_VERSION" "pocketsphinx=$POCKETSPHINX_VERSION" "espeak-ng=$ESPEAK_VERSION"; do
  if ! have_source_version "${pv%%=*}" "${pv#*=}"; then
    if [ $apt_updated = no ]; then apt-get update -qq; apt_updated=yes; fi
    have_source_version "${pv%%=*}" "${pv#*=}" \
      || die "source package ${pv%%=*} version ${pv#*=} is not in apt's source lists"
  fi
done

# ---- fetch -------------------------------------------------------------------------------
fetch() {  # package version
  local log="$LOGS/fetch-$1.log" line file
  if (cd "$SRC" && apt-get -o APT::Sandbox::User=root source --download-only "$1=$2") >"$log" 2>&1; then
    return 0
  fi
  grep -E 'Failed to fetch [a-z]+://' "$log" >/dev/null || { tail -n 15 "$log" >&2; die "apt-get source $1=$2 failed (log: $log)"; }
  while IFS= read -r line; do
    file=${line#*Failed to fetch }
    file=${file%% *}
    printf 'engines: error: could not fetch %s (%s) for source package %s %s\n' \
      "$(basename "$file" | sed 's/%2b/+/gI')" "$(sed 's/^.*Failed to fetch [^ ]* *//' <<<"$line")" "$1" "$2" >&2
  done < <(grep -E 'Failed to fetch [a-z]+://' "$log")
  exit 1
}
dsc_of() { echo "$SRC/${1}_${2#*:}.dsc"; }
if ! step_done fetch "$(dsc_of espeak-ng "$ESPEAK_VERSION")"; then
  say "fetching sources into $SRC"
  fetch sphinxbase "$SPHINXBASE_VERSION"
  fetch pocketsphinx "$POCKETSPHINX_VERSION"
  fetch espeak-ng "$ESPEAK_VERSION"
  step_mark fetch
fi

# Unpacks a source package afresh (Debian's patches applied) and applies ours.
unpack() {  # package version dir
  rm -rf "$3"
  run "unpack-$(basename "$3")" dpkg-source --no-copy -x "$(dsc_of "$1" "$2")" "$3"
  local p
  for p in ${PATCHES[@]+"${PATCHES[@]}"}; do
    case $(basename "$p") in
      "$1"-*) run "unpack-$(basename "$3")" patch -d "$3" -p1 -i "$p" ;;
    esac
  done
}

CROSS_ENV=(CC="$HOST-gcc-posix" CXX="$HOST-g++-posix" AR="$HOST-ar" RANLIB="$HOST-ranlib"
           NM="$HOST-nm" STRIP="$HOST-strip" PKG_CONFIG=pkg-config
           PKG_CONFIG_LIBDIR="$WIN/lib/pkgconfig" PKG_CONFIG_PATH= CFLAGS="-O2 -g0")
# The libraries are configured for the prefix /win64 and installed under OUTDIR, so no
# path of this machine is compiled into them.
CROSS_CONF=(--host="$HOST" --build="$(dpkg-architecture -qDEB_BUILD_GNU_TYPE)" --prefix=/win64
            --disable-shared --enable-static)

# pkg-config files that follow their own location.
relocate_pc() {
  local f
  for f in "$@"; do
    sed -i -e 's|^prefix=.*|prefix=${pcfiledir}/../..|' -e 's|^exec_prefix=.*|exec_prefix=${prefix}|' "$f"
  done
}

# ---- sphinxbase --------------------------------------------------------------------------
if ! step_done sphinxbase "$WIN/lib/libsphinxad.a"; then
  say "sphinxbase $SPHINXBASE_VERSION: building for $HOST"
  d="$BUILD/sphinxbase-win64"
  unpack sphinxbase "$SPHINXBASE_VERSION" "$d"
  # Debian's patches leave configure.ac and Makefile.am files newer than what was
  # generated from them; regenerate everything once instead of letting make try.
  run sphinxbase bash -c "cd '$d' && autoreconf -fi"
  run sphinxbase env -C "$d" "${CROSS_ENV[@]}" ./configure "${CROSS_CONF[@]}" --without-python --without-lapack
  for sub in include src/libsphinxbase src/libsphinxad; do
    run sphinxbase make -C "$d/$sub" -j"$JOBS"
    run sphinxbase make -C "$d/$sub" install DESTDIR="$OUT"
  done
  run sphinxbase make -C "$d" install-pkgconfigDATA DESTDIR="$OUT"
  # libtool archives name the staging prefix; like Debian's packages, ship none.
  rm -f "$WIN"/lib/*.la
  # As in Debian's packages: the public headers reach sphinx_config.h through its folder.
  sed -i 's|<sphinx_config\.h>|<sphinxbase/sphinx_config.h>|' \
    "$WIN/include/sphinxbase/ad.h" "$WIN/include/sphinxbase/prim_type.h" "$WIN/include/sphinxbase/sbthread.h"
  # libsphinxad records from the wave API of winmm.
  sed -i 's|^libs="\(.*\)"$|libs="\1 -lwinmm"|' "$WIN/lib/pkgconfig/sphinxbase.pc"
  relocate_pc "$WIN/lib/pkgconfig/sphinxbase.pc"
  step_mark sphinxbase
fi

# ---- pocketsphinx ------------------------------------------------------------------------
if ! step_done pocketsphinx "$WIN/lib/libpocketsphinx.a"; then
  say "pocketsphinx $POCKETSPHINX_VERSION: building for $HOST"
  d="$BUILD/pocketsphinx-win64"
  unpack pocketsphinx "$POCKETSPHINX_VERSION" "$d"
  run pocketsphinx bash -c "cd '$d' && autoreconf -fi"
  run pocketsphinx env -C "$d" "${CROSS_ENV[@]}" ./configure "${CROSS_CONF[@]}" --without-python --with-sphinxbase=auto
  for sub in include src/libpocketsphinx; do
    run pocketsphinx make -C "$d/$sub" -j"$JOBS"
    run pocketsphinx make -C "$d/$sub" install DESTDIR="$OUT"
  done
  run pocketsphinx make -C "$d" install-pkgconfigDATA DESTDIR="$OUT"
  rm -f "$WIN"/lib/*.la
  # sphinxbase is a Requires: of this file; its private libs need no path of their own.
  sed -i '/^libs=/s| -L[^ ]*||g' "$WIN/lib/pkgconfig/pocketsphinx.pc"
  relocate_pc "$WIN/lib/pkgconfig/pocketsphinx.pc"
  step_mark pocketsphinx
fi

# ---- eSpeak NG, library ------------------------------------------------------------------
# Without speechPlayer (as Debian builds it) the library is plain C; without async,
# pcaudiolib, sonic and MBROLA it needs no thread, audio device or other library.
ESPEAK_CONF=(--without-async --without-mbrola --without-sonic --without-pcaudiolib
             --without-speechplayer --with-klatt
             --without-extdict-ru --without-extdict-cmn --without-extdict-yue)
if ! step_done espeak-win64 "$WIN/lib/libespeak-ng.a"; then
  say "espeak-ng $ESPEAK_VERSION: building for $HOST"
  d="$BUILD/espeak-ng-win64"
  unpack espeak-ng "$ESPEAK_VERSION" "$d"
  run espeak-win64 bash -c "cd '$d' && ./autogen.sh"
  run espeak-win64 env -C "$d" "${CROSS_ENV[@]}" ./configure "${CROSS_CONF[@]}" "${ESPEAK_CONF[@]}"
  run espeak-win64 make -C "$d" -j"$JOBS" src/libespeak-ng.la DATADIR=/win64/share/espeak-ng-data
  run espeak-win64 make -C "$d" install-libLTLIBRARIES install-espeak_ng_includeHEADERS \
    install-espeak_includeHEADERS install-pkgconfigDATA DESTDIR="$OUT"
  rm -f "$WIN"/lib/*.la
  relocate_pc "$WIN/lib/pkgconfig/espeak-ng.pc"
  sed -i -e 's|^Cflags: .*|Cflags: -I${includedir} -DLIBESPEAK_NG_EXPORT|' \
    -e '/^Libs:/a Libs.private: -ladvapi32' "$WIN/lib/pkgconfig/espeak-ng.pc"
  step_mark espeak-win64
fi

# ---- eSpeak NG, voice data ---------------------------------------------------------------
# Data files are compiled by the espeak-ng program of a native build of the same source,
# which is used here and installed nowhere.
ESPEAK_KEEP=(phontab phonindex phondata intonations en_dict de_dict
             lang/gmw/en lang/gmw/en-029 lang/gmw/en-GB-scotland lang/gmw/en-GB-x-gbclan
             lang/gmw/en-GB-x-gbcwmd lang/gmw/en-GB-x-rp lang/gmw/en-US lang/gmw/en-US-nyc
             lang/gmw/de voices/!v)
if ! step_done espeak-data "$WIN/share/espeak-ng-data/en_dict"; then
  say "espeak-ng $ESPEAK_VERSION: compiling voice data natively"
  d="$BUILD/espeak-ng-native"
  unpack espeak-ng "$ESPEAK_VERSION" "$d"
  run espeak-data bash -c "cd '$d' && ./autogen.sh"
  run espeak-data env -C "$d" CFLAGS="-O2 -g0" ./configure --prefix=/nonexistent --disable-shared "${ESPEAK_CONF[@]}"
  run espeak-data make -C "$d" -j"$JOBS" src/espeak-ng
  run espeak-data make -C "$d" -j"$JOBS" espeak-ng-data/phontab dictionaries
  rm -rf "$WIN/share/espeak-ng-data"
  mkdir -p "$WIN/share/espeak-ng-data"
  for f in "${ESPEAK_KEEP[@]}"; do
    [ -e "$d/espeak-ng-data/$f" ] || die "espeak-ng data file $f was not built"
    mkdir -p "$WIN/share/espeak-ng-data/$(dirname "$f")"
    cp -a "$d/espeak-ng-data/$f" "$WIN/share/espeak-ng-data/$f"
  done
  du -sk "$d/espeak-ng-data" | cut -f1 >"$BUILD/espeak-data-full-kib"
  step_mark espeak-data
fi

# ---- pocketsphinx model ------------------------------------------------------------------
if ! step_done model "$WIN/share/pocketsphinx/model/en-us/en-us/mdef"; then
  say "$MODEL_PACKAGE $model_version: copying the model"
  m=/usr/share/pocketsphinx/model/en-us
  [ -s "$m/en-us/mdef" ] || die "$m/en-us/mdef is missing ($MODEL_PACKAGE installed?)"
  rm -rf "$WIN/share/pocketsphinx"
  mkdir -p "$WIN/share/pocketsphinx/model"
  cp -a "$m" "$WIN/share/pocketsphinx/model/"
  step_mark model
fi

# ---- licences ----------------------------------------------------------------------------
mkdir -p "$WIN/share/licenses"
cp "$BUILD/sphinxbase-win64/debian/copyright" "$WIN/share/licenses/sphinxbase.copyright"
cp "$BUILD/pocketsphinx-win64/debian/copyright" "$WIN/share/licenses/pocketsphinx.copyright"
cp "$BUILD/espeak-ng-win64/debian/copyright" "$WIN/share/licenses/espeak-ng.copyright"
cp "/usr/share/doc/$MODEL_PACKAGE/copyright" "$WIN/share/licenses/$MODEL_PACKAGE.copyright"

rm -f "$WIN"/lib/*.la
outputs_present || die "some outputs are missing under $WIN"
printf '%s\n' "$KEY" >"$FINAL_STAMP"

for f in "${LIBS[@]}"; do
  say "$WIN/lib/$f $(stat -c %s "$WIN/lib/$f") bytes"
done
say "$WIN/share/espeak-ng-data $(du -sk "$WIN/share/espeak-ng-data" | cut -f1) KiB (all languages: $(cat "$BUILD/espeak-data-full-kib" 2>/dev/null || echo '?') KiB)"
say "$WIN/share/pocketsphinx/model/en-us $(du -sk "$WIN/share/pocketsphinx/model/en-us" | cut -f1) KiB"
say "done in $(( $(date +%s) - started )) s: $KEY"
