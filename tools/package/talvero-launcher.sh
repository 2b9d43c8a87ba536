#!/bin/sh
# talvero: starts the first officer in its installation folder. The program works in a folder named
# quillbrook-talvero inside the simulator's Community folder (it writes its log and settings to data/ there
# and finds the 737 add-on beside it). This launcher picks that folder, brings the aircraft profiles of
# the package into it, and starts the program there.
#
# The folder, in this order:
#   1. $TALVERO_FOLDER, when set;
#   2. the Community folder of the simulator running under Steam's Proton: in every Steam library, the
#      prefixes of the 2020 (1250410) and 2024 (2537590) editions, at the add-on folder named in the
#      simulator's UserCfg.opt (InstalledPackagesPath), else at its default place;
#   3. ~/.local/share/talvero/Community/quillbrook-talvero (for a simulator elsewhere, or the stand-in).
set -eu
# Installed as /usr/bin/talvero: the program and the profiles are found from there.
usr="$(dirname "$(readlink -f "$0")")/.."
program="$usr/lib/talvero/talvero"
profiles="$usr/share/talvero/data"

case "${1:-}" in
--help | -h)
    "$program" --help
    cat <<'HELP'
The talvero command picks that folder and brings the aircraft profiles into it before each start: the
folder named by the environment variable TALVERO_FOLDER; else quillbrook-talvero in the Community folder
of the simulator running under Steam's Proton (looked for in the Proton prefixes of every Steam library);
else ~/.local/share/talvero/Community/quillbrook-talvero.
HELP
    exit 0
    ;;
?*) exec "$program" "$@" ;; # --version, and what the program refuses
esac

# A Windows path of a prefix (C:\Users\...) as a Linux path, through the prefix's drive links.
prefix_path() {
    pfx=$1
    windows=$2
    drive=$(printf '%s' "$windows" | cut -c1 | tr 'A-Z' 'a-z')
    rest=$(printf '%s' "$windows" | cut -c3- | tr '\\' '/')
    root=$(readlink -f "$pfx/dosdevices/$drive:" 2>/dev/null) || return 1
    printf '%s%s\n' "$root" "$rest"
}

steam_libraries() {
    for root in "$HOME/.steam/steam" "${XDG_DATA_HOME:-$HOME/.local/share}/Steam" "$HOME/.local/share/Steam" \
        "$HOME/.var/app/com.valvesoftware.Steam/.local/share/Steam"; do
        [ -d "$root/steamapps" ] || continue
        printf '%s\n' "$root"
        sed -n 's/^[[:space:]]*"path"[[:space:]]*"\(.*\)"[[:space:]]*$/\1/p' "$root/steamapps/libraryfolders.vdf" \
            2>/dev/null || true
    done
}

proton_community() {
    steam_libraries | while IFS= read -r library; do
        for app in 1250410 2537590; do
            pfx="$library/steamapps/compatdata/$app/pfx"
            roaming="$pfx/drive_c/users/steamuser/AppData/Roaming"
            [ -d "$roaming" ] || continue
            for sim in "Microsoft Flight Simulator" "Microsoft Flight Simulator 2024"; do
                [ -d "$roaming/$sim" ] || continue
                packages="$roaming/$sim/Packages"
                configured=$(sed -n 's/^InstalledPackagesPath[[:space:]]*"\(.*\)".*$/\1/p' "$roaming/$sim/UserCfg.opt" \
                    2>/dev/null | tr -d '\r' | head -n 1)
                if [ -n "$configured" ]; then
                    packages=$(prefix_path "$pfx" "$configured") || packages="$roaming/$sim/Packages"
                fi
                if [ -d "$packages/Community" ]; then
                    printf '%s\n' "$packages/Community"
                    return 0
                fi
            done
        done
    done
}

folder=${TALVERO_FOLDER:-}
if [ -z "$folder" ]; then
    community=$(proton_community | head -n 1)
    if [ -n "$community" ]; then
        folder="$community/quillbrook-talvero"
    else
        folder="${XDG_DATA_HOME:-$HOME/.local/share}/talvero/Community/quillbrook-talvero"
    fi
fi

# The package's profiles replace the folder's copies (an update brings new ones); the program's own files
# there (log, settings, fingerprints) stay.
mkdir -p "$folder/data"
cp -R "$profiles/." "$folder/data/"
chmod -R u+w "$folder/data"
echo "talvero: installation folder $folder (log: $folder/data/log.txt)" >&2
cd "$folder"
exec "$program" "$@"
