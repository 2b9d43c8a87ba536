#!/usr/bin/env bash
# `make demo`: lays out a demo installation under build/demo, starts the simulator stand-in with the demo
# flight, starts the first officer against it and prints a readable timeline while the flight plays.
set -euo pipefail
build="${1:-build/linux}"
root="$(pwd)"
demo="$root/build/demo"
sim="$demo/MSFS"
install="$sim/Community/quillbrook-talvero"
home="$demo/home"
runtime="$demo/runtime"
store="$home/.local/share/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/LocalState/packages"
work="$store/quillbrook-talvero/work"
scenario="${DEMO_SCENARIO:-$root/tools/demo/flight.scenario}"

rm -rf "$demo"
mkdir -p "$install/data" "$home/.config" "$home/Documents" "$work" "$store/pmdg-aircraft-738/work" "$runtime"
chmod 700 "$runtime"
cp -r "$root/data/." "$install/data/"
rm -f "$install/data/README.md"
: >"$work/drf.txt"
# The 737 add-on as the package set-up finds it: its options file with data broadcast off, its manifest
# and its four cockpit model files; and the companion package the patched copies go to.
printf '[SDK]\r\nEnableDataBroadcast = 0\r\n' >"$store/pmdg-aircraft-738/work/737_Options.ini"
addon="$sim/Community/pmdg-aircraft-738"
models="$addon/SimObjects/Airplanes/PMDG 737-800/model.BW"
mkdir -p "$models" "$sim/Community/quillbrook-talvero-pmdg-738/SimObjects/Airplanes/TalVero_PMDG738/model.BW"
echo '{"title":"PMDG 737-800 (demo stand-in)"}' >"$addon/manifest.json"
gltf='{"asset":{"version":"2.0"},"nodes":[{"name":"yoke"},{"name":"mcp"}],"scene":0,"scenes":[{"nodes":[0,1]}],"skins":[]}'
printf '%s' "$gltf" >"$models/PMDG_737-800NG_VC.gltf"
printf '%s' "$gltf" >"$models/PMDG_737-800NG_VC_LOD1.gltf"
head -c 4096 /dev/zero >"$models/PMDG_737-800NG_VC.bin"
head -c 2048 /dev/zero >"$models/PMDG_737-800NG_VC_LOD1.bin"

export HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
    XDG_RUNTIME_DIR="$runtime" XDG_DOCUMENTS_DIR="$home/Documents"

echo "demo installation: $install"
"$root/$build/simstandin" --aircraft ./data/PM738 --work "$work" --program "$install" \
    --scenario "$scenario" --transcript "$demo/transcript.txt" --once --max-seconds 170 \
    2>"$demo/standin.log" &
standin=$!
sleep 0.5

(cd "$install" && exec "$root/$build/talvero") &
program=$!

# The timeline: what the captain said (the stand-in), what the first officer said and sent (its log).
: >"$install/data/log.txt"
tail -n +1 -s 0.2 --pid=$program -F "$demo/standin.log" "$install/data/log.txt" 2>/dev/null |
    bash "$root/tools/demo/timeline.sh" &
timeline=$!

set +e
wait $program
rc=$?
wait $standin
set -e
wait $timeline 2>/dev/null || true
echo
echo "the first officer ended with exit code $rc"
echo "log:        $install/data/log.txt"
echo "transcript: $demo/transcript.txt"
echo "settings:   $install/data/settings.txt"
[ "$rc" -eq 0 ]
