#!/usr/bin/env bash
# Scales the 16-pixel icon drawing to the usual icon sizes, pixel for pixel
# (nearest neighbour), into the hicolor theme layout. Needs ImageMagick.
# The PNG files are committed; run this again after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
  mkdir -p "hicolor/${size}x${size}/apps"
  convert ledgerlift.xpm -filter point -resize "${size}x${size}" \
    -strip "PNG32:hicolor/${size}x${size}/apps/ledgerlift.png"
done
