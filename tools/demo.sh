#!/usr/bin/env bash
# `make demo`: lays out a demo installation under build/demo and runs the first officer there.
set -euo pipefail
build="${1:-build/linux}"
root="$(pwd)"
demo="$root/build/demo"
install="$demo/Community/quillbrook-talvero"
home="$demo/home"
rm -rf "$demo"
mkdir -p "$install/data" "$home/.local/share" "$home/.config" "$home/Documents"
cp -r "$root/data/." "$install/data/"
mkdir -p "$install/data/PM738"
# The module's work folder of the store edition, under the demo's local application data.
work="$home/.local/share/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/LocalState/packages/quillbrook-talvero/work"
mkdir -p "$work"
: >"$work/drf.txt"

echo "demo installation: $install"
set +e
(cd "$install" && HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
    XDG_RUNTIME_DIR="$demo" "$root/$build/talvero")
rc=$?
set -e
echo "--- the first officer's log ($install/data/log.txt):"
sed 's/\r$//' "$install/data/log.txt"
echo "--- exit code $rc"
echo "log: $install/data/log.txt"
