#!/usr/bin/env bash
# Builds a release package from a build folder:
#   package.sh windows BUILD OUT   OUT/talvero-<version>-windows.zip: the quillbrook-talvero folder as the
#                                  simulator's Community folder takes it (talvero.exe, data/, README.txt)
#   package.sh debian BUILD OUT    OUT/talvero_<version>_amd64.deb: the Linux program and its launcher,
#                                  the stand-in, the profile tools, the profiles, manual pages
# The version comes from the file VERSION. Run from the source tree's root; prints the package's path.
set -euo pipefail
kind="$1"
build="$(cd "$2" && pwd)"
mkdir -p "$3"
out="$(cd "$3" && pwd)"
root="$(pwd)"
here="$root/tools/package"
version="$(head -n 1 VERSION)"
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT

# The aircraft profiles: each aircraft folder's systems and poses, nothing the program writes at run time
# (log, settings, fingerprints, the write probe).
copy_profiles() {
    local to="$1"
    for aircraft in "$root"/data/*/; do
        name="$(basename "$aircraft")"
        [ -d "$aircraft/systems" ] || continue
        mkdir -p "$to/$name"
        for part in systems poses; do
            [ -d "$aircraft/$part" ] && cp -R "$aircraft/$part" "$to/$name/"
        done
    done
    find "$to" -type d -exec chmod 755 {} +
    find "$to" -type f -exec chmod 644 {} +
}

# What talvero.exe carries of others' work and under which licences, with Debian's copyright files of each
# (FOLDER holds them, named <package>.copyright).
third_party_notices() {
    local folder="$1"
    cat <<NOTICES
Talvero is free software: you can redistribute it and/or modify it under the terms of the GNU General
Public License as published by the Free Software Foundation, either version 3 of the License, or (at your
option) any later version (LICENSE.txt). talvero.exe contains, built from Debian's source packages:

- eSpeak NG (speech synthesis), GPL-3.0-or-later, with its English and German voice data (speech/espeak-ng-data)
- pocketsphinx and sphinxbase (speech recognition), BSD-2-Clause
- the CMU US English acoustic model and pronunciation dictionary of pocketsphinx-en-us
  (speech/pocketsphinx), BSD-2-Clause

Their copyright files follow.
NOTICES
    for f in "$folder"/*.copyright; do
        printf '\n==== %s ====\n\n' "$(basename "$f" .copyright)"
        cat "$f"
    done
}

windows() {
    local dir="$stage/quillbrook-talvero"
    mkdir -p "$dir/data"
    cp "$build/talvero.exe" "$dir/talvero.exe"
    x86_64-w64-mingw32-strip "$dir/talvero.exe"
    copy_profiles "$dir/data"
    # The built-in speech engines' data (the recogniser's model and dictionary, the voices' data), laid out
    # by the build beside its programs.
    cp -R "$build/speech" "$dir/speech"
    find "$dir/speech" -type d -exec chmod 755 {} +
    find "$dir/speech" -type f -exec chmod 644 {} +
    # Notepad and every other Windows editor read CR LF.
    sed "s/@VERSION@/$version/; s/\$/\r/" "$here/readme-windows.txt" >"$dir/README.txt"
    sed 's/$/\r/' "$root/LICENSE" >"$dir/LICENSE.txt"
    third_party_notices "$build/speech-licenses" | sed 's/$/\r/' >"$dir/THIRD-PARTY-NOTICES.txt"
    local zip="$out/talvero-$version-windows.zip"
    rm -f "$zip"
    (cd "$stage" && cmake -E tar cf "$zip" --format=zip quillbrook-talvero)
    echo "$zip"
}

# A manual page made from a command's own --help text.
manual_page() {
    local command="$1" summary="$2" help="$3" page="$4"
    {
        echo ".TH ${command^^} 1 \"\" \"talvero $version\" \"Talvero\""
        echo ".SH NAME"
        echo "$command \\- $summary"
        echo ".SH DESCRIPTION"
        echo ".nf"
        sed 's/\\/\\e/g; s/^\([.'"'"']\)/\\\&\1/' "$help"
        echo ".fi"
        echo ".SH SEE ALSO"
        echo "/usr/share/doc/talvero/README.md"
    } >"$page"
    gzip -9n "$page"
}

debian() {
    local pkg="$stage/talvero_${version}_amd64"
    local lib="$pkg/usr/lib/talvero" bin="$pkg/usr/bin" share="$pkg/usr/share"
    install -d "$lib" "$bin" "$share/talvero/data" "$share/man/man1" "$share/doc/talvero" "$pkg/DEBIAN"
    install -m 755 "$build/talvero" "$lib/talvero"
    install -m 755 "$here/talvero-launcher.sh" "$bin/talvero"
    for tool in simstandin syscipher hearwav saywav dryflight; do install -m 755 "$build/$tool" "$bin/$tool"; done
    strip --strip-unneeded --remove-section=.comment --remove-section=.note "$lib/talvero" \
        "$bin"/simstandin "$bin"/syscipher "$bin"/hearwav "$bin"/saywav "$bin"/dryflight
    copy_profiles "$share/talvero/data"

    declare -A summaries=(
        [talvero]="a virtual first officer for Microsoft Flight Simulator"
        [simstandin]="the simulator and its module, for trying Talvero without the simulator"
        [syscipher]="seal, open and check the systems files of an aircraft profile"
        [hearwav]="run Talvero's speech recogniser over recordings"
        [saywav]="speak lines into WAV files in Talvero's voices"
        [dryflight]="fly an aircraft profile through a scenario without the simulator")
    for command in talvero simstandin syscipher hearwav saywav dryflight; do
        "$bin/$command" --help >"$stage/$command.help"
        manual_page "$command" "${summaries[$command]}" "$stage/$command.help" "$share/man/man1/$command.1"
    done

    install -m 644 "$root/README.md" "$share/doc/talvero/README.md"
    cat >"$share/doc/talvero/copyright" <<COPYRIGHT
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: talvero
Source: https://www.quillbrook.example/talvero

Files: *
Copyright: $(date -u +%Y) Quillbrook
License: GPL-3+
 This program is free software: you can redistribute it and/or modify it under the terms of the GNU
 General Public License as published by the Free Software Foundation, either version 3 of the License, or
 (at your option) any later version.
 .
 On Debian systems, the complete text of the GNU General Public License version 3 can be found in
 "/usr/share/common-licenses/GPL-3".
 .
 The programs link eSpeak NG (GPL-3+), pocketsphinx and sphinxbase (BSD-2-clause) from Debian's
 packages, which carry their own copyright files.
COPYRIGHT
    {
        echo "talvero ($version) stable; urgency=medium"
        echo
        echo "  * Release $version."
        echo
        echo " -- Quillbrook <talvero@quillbrook.example>  $(date -uR)"
    } | gzip -9n >"$share/doc/talvero/changelog.gz"
    chmod 644 "$share/doc/talvero/changelog.gz" "$share/doc/talvero/copyright" "$share/man/man1"/*

    # The shared libraries the programs link, as Debian names them; then what they load at run time: the
    # recogniser's US English model, the voices' data and the widget's font.
    mkdir -p "$stage/shlibs/debian"
    printf 'Source: talvero\n\nPackage: talvero\nArchitecture: amd64\n' >"$stage/shlibs/debian/control"
    local depends
    depends="$(cd "$stage/shlibs" && dpkg-shlibdeps -O "$lib/talvero" "$bin"/simstandin "$bin"/syscipher \
        "$bin"/hearwav "$bin"/saywav "$bin"/dryflight 2>/dev/null | sed -n 's/^shlibs:Depends=//p')"
    depends="$depends, pocketsphinx-en-us, espeak-ng-data, fonts-liberation"
    local size
    size="$(du -sk --exclude=DEBIAN "$pkg" | cut -f1)"
    cat >"$pkg/DEBIAN/control" <<CONTROL
Package: talvero
Version: $version
Section: misc
Priority: optional
Architecture: amd64
Maintainer: Quillbrook <talvero@quillbrook.example>
Installed-Size: $size
Depends: $depends
Recommends: pulseaudio | pipewire-pulse
Homepage: https://www.quillbrook.example/talvero
Description: virtual first officer for Microsoft Flight Simulator
 Talvero runs beside the simulator, hears the captain through push-to-talk
 speech recognition, answers with its own voice, runs checklists,
 procedures and call-outs written in data files, reads and sets the
 aircraft through an in-simulator module over SimConnect, and shows a small
 overlay over the simulator window.
 .
 The package holds the program (started in the simulator's Community folder
 by the talvero command), the simulator stand-in simstandin, and the tools
 for authors of aircraft profiles: syscipher, hearwav, saywav and dryflight.
CONTROL
    (cd "$pkg" && find usr -type f -print0 | sort -z | xargs -0 md5sum >DEBIAN/md5sums)
    chmod 644 "$pkg/DEBIAN/md5sums"
    local deb="$out/talvero_${version}_amd64.deb"
    rm -f "$deb"
    dpkg-deb --build --root-owner-group "$pkg" "$deb" >/dev/null
    echo "$deb"
}

case "$kind" in
windows) windows ;;
debian) debian ;;
*) echo "usage: package.sh windows|debian BUILD OUT" >&2; exit 2 ;;
esac
