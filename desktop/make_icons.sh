#!/usr/bin/env bash
# The program's icon at 48, 128 and 256 pixels: thumbnails of a small gold
# torus knot, drawn by the program itself. Where it cannot draw here (no EGL
# and no display), the copies made the same way in desktop/icons/ are taken.
#   make_icons.sh PROGRAM MAKE_ICON_MODEL OUTDIR
set -u
program=$1 maker=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
"$maker" "$out/icon.3ds" || exit 1
for size in 48 128 256; do
  "$program" --thumbnail "$size" --screenshot \
    "$out/modelviewer-$size.png" "$out/icon.3ds" 2>/dev/null ||
    cp "$here/icons/modelviewer-$size.png" "$out/modelviewer-$size.png"
done
