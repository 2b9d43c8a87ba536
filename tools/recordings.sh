#!/bin/bash
# Recordings of people for the recognition benchmarks, beside the speech library's own test recordings
# (which the Windows product's engine build unpacks from Debian's source packages): the channel names the
# sound system's speaker test says ("Front Left", ...), unpacked from Debian's alsa-utils package without
# installing it, and the spoken sentence of sphinxtrain's tests, unpacked the same way.
# Usage: tools/recordings.sh OUTDIR
set -euo pipefail
out=${1:?usage: tools/recordings.sh OUTDIR}
if [ -f "$out/alsa/Front_Left.wav" ] && [ -f "$out/sphinxtrain/sa1.wav" ]; then exit 0; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
download() { (cd "$work" && apt-get -o APT::Sandbox::User=root download alsa-utils sphinxtrain >>download.log 2>&1); }
# A machine whose package lists were never fetched (its packages came with its image) knows no
# download yet: the lists are fetched once and the download tried again.
download || { apt-get update -qq >>"$work/download.log" 2>&1 && download; } ||
  { tail -n 5 "$work/download.log" >&2; echo "recordings: apt-get download failed" >&2; exit 1; }
dpkg-deb -x "$work"/alsa-utils_*.deb "$work/x"
dpkg-deb -x "$work"/sphinxtrain_*.deb "$work/x"
mkdir -p "$out/alsa"
cp "$work"/x/usr/share/sounds/alsa/*.wav "$out/alsa/"
cp "$work"/x/usr/share/doc/alsa-utils/copyright "$out/alsa/copyright" 2>/dev/null || true
mkdir -p "$out/sphinxtrain"
cp "$work"/x/usr/lib/*/sphinxtrain/python/cmusphinx/test/sa1.wav "$out/sphinxtrain/"
cp "$work"/x/usr/share/doc/sphinxtrain/copyright "$out/sphinxtrain/copyright" 2>/dev/null || true
echo "recordings: the sound system's channel names in $out/alsa, sphinxtrain's sentence in $out/sphinxtrain"
