#!/usr/bin/env bash
# Runs a Windows program under wine, headless and quiet, in a prefix kept inside the build folder.
# TALVERO_WINEPREFIX overrides the prefix; the default sits next to the program's build folder.
# TALVERO_WINE_XVFB=1 (set by the tests that open windows) gives the program a private virtual X server
# for its run instead of no display at all.
set -u
exe="$1"
shift
if [ -z "${TALVERO_WINEPREFIX:-}" ]; then
    dir=$(cd "$(dirname "$exe")" && pwd)
    while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
    [ "$dir" = "/" ] && dir=$(cd "$(dirname "$exe")" && pwd)
    TALVERO_WINEPREFIX="$dir/wineprefix"
fi
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
export WINEPREFIX="$TALVERO_WINEPREFIX"

xvfb=""
if [ "${TALVERO_WINE_XVFB:-}" = 1 ]; then
    # A private X server on the first free display number, large enough for a simulator window with the
    # widget at its home position (1000 pixels right of and below the window's corner).
    # Its screen is also a file (XWD format) the program may read back: TALVERO_XVFB_SCREEN names it.
    displayfile=$(mktemp)
    screendir=$(mktemp -d)
    Xvfb -displayfd 3 -screen 0 2560x1600x24 -fbdir "$screendir" -nolisten tcp 3>"$displayfile" \
        </dev/null >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do
        [ -s "$displayfile" ] && break
        kill -0 "$xvfb" 2>/dev/null || break
        sleep 0.1
    done
    number=$(tr -dc '0-9' <"$displayfile")
    rm -f "$displayfile"
    if [ -z "$number" ]; then
        echo "wine-run.sh: the virtual X server (Xvfb) did not start" >&2
        kill "$xvfb" 2>/dev/null
        rm -rf "$screendir"
        exit 1
    fi
    export DISPLAY=":$number"
    export TALVERO_XVFB_SCREEN="$screendir/Xvfb_screen0"
    # A prefix of its own: wine's desktop, started by the first program of a wine server, keeps the
    # display it started with, and the headless one of the main prefix cannot show windows.
    export WINEPREFIX="$TALVERO_WINEPREFIX-display"
    wineserver -k 2>/dev/null # what an interrupted run may have left on a display that is gone
fi
mkdir -p "$WINEPREFIX"

# Once per prefix. Wine has no Arial, which the widget draws with: Liberation Sans (fonts-liberation,
# the same metrics) stands in for it; wine reads the replacements when a program starts, so this comes
# first. Windows are left unmanaged: without a window manager on the X server, wine would otherwise
# wait two seconds for one at every window it hides or destroys.
if [ ! -f "$WINEPREFIX/.talvero-setup" ]; then
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans' /f \
        </dev/null >/dev/null 2>&1 &&
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1 &&
        touch "$WINEPREFIX/.talvero-setup"
fi

# A test program that failed without writing a single line never reached its main (wine itself did not
# start it): it is started once more, and says so. A program that wrote anything keeps its verdict.
run() {
    if [ "${TALVERO_WINE_RETRY_UNSTARTED:-}" != 1 ]; then
        wine "$exe" "$@"
        return
    fi
    local out attempt code
    out=$(mktemp)
    for attempt in 1 2; do
        wine "$exe" "$@" | tee "$out"
        code=${PIPESTATUS[0]}
        if [ "$code" -eq 0 ] || [ -s "$out" ] || [ "$attempt" -eq 2 ]; then break; fi
        echo "wine-run.sh: $(basename "$exe") ended with $code before writing anything; starting it once more" >&2
    done
    rm -f "$out"
    return "$code"
}

if [ -z "$xvfb" ] && [ "${TALVERO_WINE_RETRY_UNSTARTED:-}" != 1 ]; then
    exec wine "$exe" "$@"
fi
run "$@"
rc=$?
[ -z "$xvfb" ] && exit $rc
# The display prefix's wine server and desktop end with the X server they were started on.
wineserver -k 2>/dev/null
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
rm -rf "$screendir"
exit $rc
