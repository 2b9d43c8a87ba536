#!/usr/bin/env bash
# Runs a Windows program under wine, headless and quiet, in a prefix kept inside the build folder.
# TALVERO_WINEPREFIX overrides the prefix; the default sits next to the program's build folder.
set -u
exe="$1"
shift
if [ -z "${TALVERO_WINEPREFIX:-}" ]; then
    dir=$(cd "$(dirname "$exe")" && pwd)
    while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
    [ "$dir" = "/" ] && dir=$(cd "$(dirname "$exe")" && pwd)
    TALVERO_WINEPREFIX="$dir/wineprefix"
fi
export WINEPREFIX="$TALVERO_WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX"
exec wine "$exe" "$@"
