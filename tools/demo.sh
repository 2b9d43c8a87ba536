#!/usr/bin/env bash
# `make demo`: lays out a demo installation under build/demo, starts the simulator stand-in with the demo
# flight, starts the first officer against it and prints a readable timeline while the flight plays.
set -euo pipefail
#
# It ends non-zero, with one line saying why, when the flight did not happen: the stand-in never became
# ready, the first officer ended with an exit reason or a crash, or the stand-in's scenario did not play
# to its end. DEMO_SCENARIO names another scenario, DEMO_FOLDER another folder (the tests use both).
root="$(pwd)"
build="$(cd "${1:-build/linux}" && pwd)"
demo="${DEMO_FOLDER:-$root/build/demo}"
sim="$demo/MSFS"
install="$sim/Community/quillbrook-talvero"
home="$demo/home"
runtime="$demo/runtime"
store="$home/.local/share/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/LocalState/packages"
scenario="${DEMO_SCENARIO:-$root/tools/demo/flight.scenario}"

# A build folder with talvero.exe is the Windows product (`make demo-windows`): its programs run under
# wine, in a wine prefix of the demo's own (made once), where the module's work folder and the 737's
# options file lie in the wine user's LocalAppData.
windows=0
[ -f "$build/talvero.exe" ] && windows=1
prefix="${DEMO_WINEPREFIX:-$root/build/demo-wineprefix}"
if [ "$windows" = 1 ]; then
    export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    wineserver -k 2>/dev/null || true
    if [ ! -f "$prefix/system.reg" ]; then
        echo "demo:              making the demo's wine prefix (once) in $prefix"
        (unset DISPLAY; wineboot -i </dev/null >/dev/null 2>&1) || true
        wineserver -w 2>/dev/null || true
    fi
    # Wine has no Arial, which the widget draws with: Liberation Sans (the same metrics) stands in for it.
    # Windows are left unmanaged, as there is no window manager on a private X server.
    if [ ! -f "$prefix/.talvero-setup" ]; then
        (unset DISPLAY
         wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans' /f &&
             wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f) </dev/null >/dev/null 2>&1 &&
            touch "$prefix/.talvero-setup"
        wineserver -k 2>/dev/null || true
    fi
    local_app_data="$(ls -d "$prefix"/drive_c/users/*/AppData/Local 2>/dev/null | grep -v /Public/ | head -n 1)"
    if [ -z "$local_app_data" ]; then
        echo "demo failed: the wine prefix $prefix has no user folder (wineboot did not make it)"
        exit 1
    fi
    store="$local_app_data/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/LocalState/packages"
    rm -rf "$store/quillbrook-talvero" "$store/pmdg-aircraft-738"
fi
work="$store/quillbrook-talvero/work"
# Runs one of the build's programs: natively, or under wine for the Windows product.
program_of() {
    local name="$1"
    shift
    if [ "$windows" = 1 ]; then
        exec wine "$build/$name.exe" "$@"
    else
        exec "$build/$name" "$@"
    fi
}

rm -rf "$demo"
mkdir -p "$install/data" "$home/.config" "$home/Documents" "$work" "$store/pmdg-aircraft-738/work" "$runtime"
chmod 700 "$runtime"
cp -r "$root/data/." "$install/data/"
rm -f "$install/data/README.md"
: >"$work/drf.txt"
# The 737 add-on as the package set-up finds it: its options file with data broadcast off, its manifest
# and its four cockpit model files; and the companion package the patched copies go to.
addon="$sim/Community/pmdg-aircraft-738"
models="$addon/SimObjects/Airplanes/PMDG 737-800/model.BW"
mkdir -p "$models" "$sim/Community/quillbrook-talvero-pmdg-738/SimObjects/Airplanes/TalVero_PMDG738/model.BW"
echo '{"title":"PMDG 737-800 (demo stand-in)"}' >"$addon/manifest.json"
if [ "$windows" = 1 ]; then
    # The Windows program tells the pilot about the 737's set-up in message boxes that wait for a click:
    # its 737 is already set up (the options on, no model files to copy), so none waits.
    printf '[SDK]\r\nEnableDataBroadcast = 1\r\nEnableCDUBroadcast.0 = 1\r\nEnableCDUBroadcast.1 = 1\r\n' \
        >"$store/pmdg-aircraft-738/work/737_Options.ini"
else
    printf '[SDK]\r\nEnableDataBroadcast = 0\r\n' >"$store/pmdg-aircraft-738/work/737_Options.ini"
    gltf='{"asset":{"version":"2.0"},"nodes":[{"name":"yoke"},{"name":"mcp"}],"scene":0,"scenes":[{"nodes":[0,1]}],"skins":[]}'
    printf '%s' "$gltf" >"$models/PMDG_737-800NG_VC.gltf"
    printf '%s' "$gltf" >"$models/PMDG_737-800NG_VC_LOD1.gltf"
    head -c 4096 /dev/zero >"$models/PMDG_737-800NG_VC.bin"
    head -c 2048 /dev/zero >"$models/PMDG_737-800NG_VC_LOD1.bin"
fi

# The first officer speaks through the user's own sound server, found before the demo's private runtime
# folder takes its place.
if [ -z "${PULSE_SERVER:-}" ] && [ -S "${XDG_RUNTIME_DIR:-/run/user/$(id -u)}/pulse/native" ]; then
    export PULSE_SERVER="unix:${XDG_RUNTIME_DIR:-/run/user/$(id -u)}/pulse/native"
fi
sound_server="${PULSE_SERVER:-}"
export HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
    XDG_RUNTIME_DIR="$runtime" XDG_DOCUMENTS_DIR="$home/Documents"
# The demo runs the sanitized build: the system libraries' own caches are not our leaks.
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# The widget needs a desktop: the one there is, else a private Xvfb for the run. The program writes a
# picture of the widget into data/widget-snapshots each time the answers it waits for change.
xserver=""
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    widget_desktop="the desktop at $DISPLAY"
elif command -v Xvfb >/dev/null 2>&1; then
    # Xvfb writes its display number to the descriptor once it takes connections.
    displayfile="$demo/xvfb.display"
    Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp -noreset 3>"$displayfile" </dev/null >/dev/null 2>&1 &
    xserver=$!
    while [ ! -s "$displayfile" ] && kill -0 "$xserver" 2>/dev/null; do sleep 0.02; done
    n=$(tr -dc '0-9' <"$displayfile")
    if [ -z "$n" ]; then
        echo "demo failed: the private X server (Xvfb) for the widget did not start"
        exit 1
    fi
    export DISPLAY=":$n"
    widget_desktop="a private Xvfb at $DISPLAY"
else
    unset DISPLAY
    widget_desktop=""
fi
standin=""
program=""
cleanup() {
    for pid in $program $standin; do kill "$pid" 2>/dev/null || true; done
    # Wine's server and its desktop hold the display: they go before it.
    if [ "$windows" = 1 ]; then wineserver -k 2>/dev/null || true; fi
    [ -n "$xserver" ] && kill "$xserver" 2>/dev/null || true
}
trap cleanup EXIT
source "$root/tools/wait-ready.sh"
mkdir -p "$install/data/widget-snapshots"

echo "demo installation: $install"
[ -n "$widget_desktop" ] && echo "widget:            on $widget_desktop, over the stand-in's simulator window"
(program_of simstandin --aircraft ./data/PM738 --work "$work" --program "$install" \
    --scenario "$scenario" --transcript "$demo/transcript.txt" --once --max-seconds "${DEMO_MAX_SECONDS:-170}" \
    --window "Microsoft Flight Simulator - 1.37.19.0" --window-size 1600x1150 \
    --ready-file "$demo/standin.ready") 2>"$demo/standin.log" &
standin=$!
if ! wait_for_standin "$demo/standin.ready" "$standin" "${DEMO_READY_SECONDS:-60}" "$demo/standin.log" 2>"$demo/why"; then
    echo "demo failed: $(cat "$demo/why")"
    exit 1
fi
echo "simulator:         the stand-in was ready after $STANDIN_READY_SECONDS s"

# Wine's own complaints (no sound card, ...) go to a file of their own rather than into the timeline.
if [ "$windows" = 1 ]; then
    (cd "$install" && program_of talvero) 2>"$demo/wine.log" &
else
    (cd "$install" && program_of talvero) &
fi
program=$!

# The timeline: what the captain said (the stand-in), what the first officer said and sent (its log).
: >"$install/data/log.txt"
tail -n +1 -s 0.2 --pid=$program -F "$demo/standin.log" "$install/data/log.txt" 2>/dev/null |
    bash "$root/tools/demo/timeline.sh" &
timeline=$!

set +e
wait $program
rc=$?
program=""
# With --once the stand-in ends as soon as the first officer has gone; one that is still there a while
# later never had her as a client.
for _ in $(seq 250); do kill -0 "$standin" 2>/dev/null || break; sleep 0.02; done
kill "$standin" 2>/dev/null
wait $standin
standin=""
set -e
wait $timeline 2>/dev/null || true
log="$install/data/log.txt"
echo
echo "the first officer ended with exit code $rc"
echo "log:        $log"
echo "transcript: $demo/transcript.txt"
echo "settings:   $install/data/settings.txt"
said=$(grep -c 'scenario line [0-9]*: captain-press' "$demo/standin.log" || true)
heard=$(grep -c '^recResult = ' "$log" || true)
[ "$said" -gt 0 ] && echo "captain:    $said phrases said, $heard heard"
# What the first officer said: aloud through the sound server, or else as WAV files in her voice.
lines=$(grep -c '^---> SPEECH: ' "$log" || true)
if [ "$lines" -eq 0 ]; then
    echo "voice:      the first officer said nothing"
elif [ -n "$sound_server" ]; then
    echo "voice:      the first officer spoke $lines lines through $sound_server"
else
    voice="$demo/first-officer"
    mkdir -p "$voice"
    sed -n 's/\r$//; s/^---> SPEECH: //p' "$log" >"$voice/lines.txt"
    if (program_of saywav --voice Zira --lines "$voice/lines.txt" --out-dir "$voice") >/dev/null 2>&1; then
        echo "voice:      no sound server; the first officer's $(ls "$voice"/*.wav | wc -l) lines are WAV files in $voice/ (index.txt names them)"
    else
        echo "voice:      no sound server, and her $lines lines could not be written as WAV files"
    fi
fi
pictures=$(find "$install/data/widget-snapshots" -name '*.png' | wc -l)
if [ "$pictures" -gt 0 ]; then
    echo "widget:     $install/data/widget-snapshots/ ($pictures pictures, one each time the expected answers changed)"
elif [ -z "$widget_desktop" ]; then
    echo "widget:     not shown (no display and no Xvfb)"
else
    echo "widget:     not shown on $widget_desktop"
fi

# Did the flight happen? The first reason found is the one line that says why not.
why=""
exit_reason=$(sed -n 's/\r$//; s/^EXIT: //p' "$log" | head -n 1)
unplayed=""
grep -q 'scenario played to its end' "$demo/standin.log" ||
    unplayed="the stand-in's scenario did not play to its end ($(grep -o 'scenario not played to its end.*' "$demo/standin.log" | head -n 1 || true))"
# A stand-in that stopped at its time limit ended the flight: what the first officer did after (she quits
# when the simulator's window or connection goes) follows from it.
if [ -n "$unplayed" ] && grep -q 'time limit reached' "$demo/standin.log"; then
    why="$unplayed"
elif [ -n "$exit_reason" ]; then
    why="the first officer ended with the reason \"$exit_reason\""
elif [ "$rc" -ne 0 ]; then
    why="the first officer ended with exit code $rc$([ "$rc" -gt 128 ] && echo " (signal $((rc - 128)))")"
elif ! grep -q 'hSimConnect connection Ok' "$log"; then
    why="the first officer never connected to the simulator stand-in"
elif [ -n "$unplayed" ]; then
    why="$unplayed"
elif [ -n "$widget_desktop" ] && [ "$pictures" -eq 0 ]; then
    why="the widget never showed on $widget_desktop"
fi
if [ -n "$why" ]; then
    echo "demo failed: $why"
    exit 1
fi
echo "demo flown: the scenario played to its end"
