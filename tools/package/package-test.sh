#!/usr/bin/env bash
# Tests a release package as a pilot would use it:
#   package-test.sh windows ZIP BUILD  unzips ZIP into a fresh simulator Community folder and starts its
#                                      talvero.exe under wine against the stand-in (BUILD/simstandin.exe):
#                                      it connects, loads the 737 profile and ends cleanly when the
#                                      simulator quits; --version names the package's version
#   package-test.sh build-windows BUILD, package-test.sh build-debian BUILD
#                                      make the package from BUILD's programs first (the tests' way)
#   package-test.sh debian DEB         unpacks DEB into a fresh root: the declared dependencies, every
#                                      command's --help, and the talvero command in a HOME with Steam and a
#                                      simulator under Proton, where it runs in the simulator's Community
#                                      folder, finds the module's work folder in the prefix and, over TCP
#                                      to the stand-in as SimConnect.cfg says, loads the 320 profile
# Run from the source tree's root. Exit code 0 when every check holds; each failure is printed.
set -uo pipefail
root="$(pwd)"
version="$(head -n 1 VERSION)"
tmp="$(mktemp -d)"
failures=0
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    rm -rf "$tmp"
}
trap cleanup EXIT
source "$root/tools/wait-ready.sh"

check() { # check WHAT COMMAND...
    local what="$1"
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
logged() { grep -qF -- "$2" "$1"; }
not_logged() { ! grep -qF -- "$2" "$1"; }
# The number after "---CONTEXT Size():": the phrases of the loaded profile beside the 19 built-in ones.
profile_loaded() { [ "$(sed -n 's/^---CONTEXT Size():\([0-9]*\).*/\1/p' "$1")" -gt 19 ] 2>/dev/null; }

windows() {
    local zip="$1" build="$2"
    local community="$tmp/MSFS/Community" program="$tmp/MSFS/Community/quillbrook-talvero"
    mkdir -p "$community"
    (cd "$community" && cmake -E tar xf "$zip")
    check "the zip holds only the quillbrook-talvero folder" \
        test "$(cmake -E tar tf "$zip" | cut -d/ -f1 | sort -u)" = quillbrook-talvero
    check "the zip holds the program, its readme and both profiles" test -f "$program/talvero.exe" -a \
        -f "$program/README.txt" -a -f "$program/data/PM738/systems/_systems.txt" -a \
        -f "$program/data/FN320/systems/_systems.txt" -a -d "$program/data/PM738/poses"
    check "the zip holds the built-in speech engines' data" test -f \
        "$program/speech/pocketsphinx/model/en-us/en-us/manifest.txt" -a \
        -f "$program/speech/pocketsphinx/model/en-us/cmudict-en-us.dict" -a -f "$program/speech/espeak-ng-data/phontab"
    check "the zip holds the licence and the third-party notices" bash -c \
        "grep -q 'GNU GENERAL PUBLIC LICENSE' '$program/LICENSE.txt' && grep -q 'eSpeak NG' '$program/THIRD-PARTY-NOTICES.txt' \
         && grep -q 'pocketsphinx' '$program/THIRD-PARTY-NOTICES.txt'"
    check "nothing the program writes at run time is in the zip" test -z "$(cmake -E tar tf "$zip" |
        grep -E '(log|settings|voicelist|drf|tmp|hash)\.txt$|widget-snapshots')"

    export TALVERO_WINEPREFIX="${TALVERO_WINEPREFIX:-$build/wineprefix}"
    local wine="$root/cmake/wine-run.sh"
    check "talvero.exe --version prints talvero $version" \
        test "$("$wine" "$program/talvero.exe" --version 2>/dev/null | tr -d '\r')" = "talvero $version"

    # The simulator beside it: the 737 add-on (its manifest; no model files, so nothing is copied and no
    # box waits for a click) and the module's work folder in the wine user's LocalAppData.
    mkdir -p "$community/pmdg-aircraft-738"
    echo '{"title":"PMDG 737-800 (stand-in)"}' >"$community/pmdg-aircraft-738/manifest.json"
    local local_app_data
    local_app_data="$(ls -d "$TALVERO_WINEPREFIX"/drive_c/users/*/AppData/Local | grep -v /Public/ | head -n 1)"
    local work="$local_app_data/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/LocalState/packages/quillbrook-talvero/work"
    local made_work=0
    [ -d "$work" ] || made_work=1
    mkdir -p "$work"
    : >"$work/drf.txt"
    # The captain says one phrase (dropped as a WAV file into the module's utterance folder), then the
    # simulator quits.
    printf 'clock ready\nat 0.5 runways 27L#09R\nat 1 captain runway check\nat +6 quit\n' >"$tmp/quit.scenario"

    (cd "$program" && exec "$wine" "$build/simstandin.exe" --aircraft ./data/PM738 --work "$work" \
        --program "$program" --scenario "$tmp/quit.scenario" --transcript "$tmp/transcript.txt" --once \
        --max-seconds 60 --quiet --ready-file "$tmp/standin.ready") &
    pids+=($!)
    local rc=1
    if wait_for_standin "$tmp/standin.ready" "${pids[-1]}" 60; then
        (cd "$program" && timeout 90 "$wine" "$program/talvero.exe")
        rc=$?
    fi
    wait "${pids[-1]}" 2>/dev/null
    [ "$made_work" = 1 ] && rm -rf "$work"
    local log="$program/data/log.txt"
    [ -f "$log" ] || : >"$log"
    check "the unzipped program ends with exit code 0 (was $rc)" test "$rc" = 0
    check "its log's version line has the build's date and time and version $version" \
        grep -qE "^DVersion: .+ / [0-9:]+ \(version $version\)" "$log"
    check "it connects to the stand-in" logged "$log" "hSimConnect connection Ok"
    check "it loads the 737 profile" logged "$log" "AcfPath=./data/PM738"
    check "the 737 profile's phrases are in its context" profile_loaded "$log"
    check "it ends on the simulator's quit, with no exit reason" not_logged "$log" "EXIT:"
    check "the stand-in saw the start-up-complete message" grep -q "type=36" "$tmp/transcript.txt"
    check "the built-in recogniser hears where Windows' is missing" logged "$log" \
        "the built-in recogniser hears the captain"
    check "the captain's phrase is heard" logged "$log" "recResult = runway check"
    check "and the first officer answers" logged "$log" "---> SPEECH: Departure runway"
}

debian() {
    local deb="$1"
    local usr="$tmp/root/usr"
    dpkg-deb -x "$deb" "$tmp/root"
    local depends
    depends="$(dpkg-deb -f "$deb" Depends)"
    for needed in libespeak-ng1 libpocketsphinx3 pocketsphinx-en-us libpulse0 libx11-6 libx11-xcb1 libcairo2 fonts-liberation; do
        check "the package depends on $needed" grep -qE "(^|, )$needed( |,|$)" <<<"$depends"
    done
    check "the package's version is $version" test "$(dpkg-deb -f "$deb" Version)" = "$version"
    for command in talvero simstandin syscipher hearwav saywav dryflight; do
        check "$command --help" bash -c "'$usr/bin/$command' --help | grep -q ." 
        check "$command has a manual page" test -s "$usr/share/man/man1/$command.1.gz"
    done
    check "talvero --version prints talvero $version" test "$("$usr/bin/talvero" --version)" = "talvero $version"

    # A pilot's HOME: Steam in ~/.local/share/Steam, the simulator in a second library with its Proton
    # prefix, its Community folder and the module's work folder; SimConnect.cfg pointing at the simulator's
    # TCP listener (here the stand-in's).
    local home="$tmp/home"
    local library="$tmp/games/SteamLibrary"
    local roaming="$library/steamapps/compatdata/1250410/pfx/drive_c/users/steamuser/AppData/Roaming"
    local packages="$roaming/Microsoft Flight Simulator/Packages"
    mkdir -p "$home/.local/share/Steam/steamapps" "$home/Documents" "$packages/Community" \
        "$packages/quillbrook-talvero/work" "$tmp/runtime"
    chmod 700 "$tmp/runtime"
    : >"$packages/quillbrook-talvero/work/drf.txt"
    printf '"libraryfolders"\n{\n\t"0"\n\t{\n\t\t"path"\t\t"%s"\n\t}\n\t"1"\n\t{\n\t\t"path"\t\t"%s"\n\t}\n}\n' \
        "$home/.local/share/Steam" "$library" >"$home/.local/share/Steam/steamapps/libraryfolders.vdf"
    local port
    port=$((20000 + RANDOM % 20000))
    printf '[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\nPort=%s\r\n' "$port" >"$home/Documents/SimConnect.cfg"
    printf 'clock ready\nat 1 quit\n' >"$tmp/quit.scenario"
    local program="$packages/Community/quillbrook-talvero"

    (env -i PATH="$PATH" ${LSAN_OPTIONS:+LSAN_OPTIONS="$LSAN_OPTIONS"} HOME="$home" XDG_RUNTIME_DIR="$tmp/runtime" "$usr/bin/simstandin" --no-pipe \
        --port "$port" --aircraft ./data/FN320 --work "$packages/quillbrook-talvero/work" --program "$program" \
        --scenario "$tmp/quit.scenario" --once --max-seconds 60 --quiet --ready-file "$tmp/standin-deb.ready") &
    pids+=($!)
    local rc=1
    : >"$tmp/stderr"
    if wait_for_standin "$tmp/standin-deb.ready" "${pids[-1]}" 60; then
        env -i PATH="$PATH" ${LSAN_OPTIONS:+LSAN_OPTIONS="$LSAN_OPTIONS"} HOME="$home" XDG_RUNTIME_DIR="$tmp/runtime" timeout 60 "$usr/bin/talvero" 2>"$tmp/stderr"
        rc=$?
    fi
    wait "${pids[-1]}" 2>/dev/null
    local log="$program/data/log.txt"
    [ -f "$log" ] || : >"$log"
    check "talvero ends with exit code 0 (was $rc)" test "$rc" = 0
    check "talvero runs in the simulator's Community folder inside the Proton prefix" \
        grep -qF "installation folder $program" "$tmp/stderr"
    check "the profiles are brought into that folder" test -f "$program/data/FN320/systems/_systems.txt"
    check "the module's work folder is found in the prefix, and the prefix is named" \
        logged "$log" "WASM WorkPath found in the Proton prefix of Steam application 1250410 in the Steam library $library"
    check "it connects over TCP as SimConnect.cfg says" logged "$log" "hSimConnect connection Ok"
    check "it loads the 320 profile" profile_loaded "$log"

    # Add-ons kept on another drive of the prefix, as the simulator's UserCfg.opt names it; and no
    # simulator listening: the message names the step on the simulator's side.
    mkdir -p "$tmp/disk-d/Sim Add-ons/Community" "$library/steamapps/compatdata/1250410/pfx/dosdevices"
    ln -s "$tmp/disk-d" "$library/steamapps/compatdata/1250410/pfx/dosdevices/d:"
    printf 'Version 1\r\nInstalledPackagesPath "D:\\Sim Add-ons"\r\n' >"$roaming/Microsoft Flight Simulator/UserCfg.opt"
    env -i PATH="$PATH" ${LSAN_OPTIONS:+LSAN_OPTIONS="$LSAN_OPTIONS"} HOME="$home" XDG_RUNTIME_DIR="$tmp/runtime" timeout 60 "$usr/bin/talvero" 2>"$tmp/stderr"
    rc=$?
    program="$tmp/disk-d/Sim Add-ons/Community/quillbrook-talvero"
    check "talvero runs in the Community folder that the simulator's UserCfg.opt names" \
        grep -qF "installation folder $program" "$tmp/stderr"
    check "without the simulator talvero still ends with exit code 0 (was $rc)" test "$rc" = 0
    check "and says how to open the simulator's TCP listener" grep -q "SimConnect.xml" "$tmp/stderr"
    check "and logs it" logged "$program/data/log.txt" "SimConnect.xml"
}

made() { bash "$root/tools/package/package.sh" "$1" "$2" "$2/package"; }

case "${1:-}" in
build-windows) windows "$(made windows "$2")" "$(cd "$2" && pwd)" ;;
build-debian) debian "$(made debian "$2")" ;;
windows) windows "$(cd "$(dirname "$2")" && pwd)/$(basename "$2")" "$(cd "$3" && pwd)" ;;
debian) debian "$(cd "$(dirname "$2")" && pwd)/$(basename "$2")" ;;
*) echo "usage: package-test.sh windows ZIP BUILD | debian DEB | build-windows BUILD | build-debian BUILD" >&2
   exit 2 ;;
esac
[ "$failures" = 0 ]
