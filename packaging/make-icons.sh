#!/usr/bin/env bash
# Makes every icon image from the one drawing, packaging/ledgerlift.svg: the
# PNG sizes of the hicolor theme (packaging/linux/icons/hicolor/, also
# compiled into the GTK module) and the Windows icon src/window/win32/ledgerlift.ico.
# The outputs are committed so that a build needs no image tools; run this
# again after changing the drawing. Needs rsvg-convert (librsvg2-bin),
# ImageMagick and icotool (icoutils).
# Usage: packaging/make-icons.sh [ROOT]   writes below ROOT (default: the
# repository), in the same layout.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="${1:-$here/..}"
svg="$here/ledgerlift.svg"
work="$(mktemp -d /tmp/ledgerlift-icons-XXXXXX)"
trap 'rm -rf "$work"' EXIT

sizes=(16 32 48 64 128 256)
# The drawing's flat colours: frame, paper, rules, arrow outline, arrow.
palette=('#33383D' '#FFFFFF' '#5B8FD0' '#1B662B' '#2F9E44')
# shellcheck disable=SC2054  # the comma belongs to ImageMagick's list
png_options=(-strip -define png:exclude-chunks=date,time)

convert "${palette[@]/#/xc:}" +append "$work/palette.png"

# At 16 and 32 pixels the drawing's edges fall on whole pixels and its
# slopes cover the pixels they cross by 7/8 or 1/8: keeping the pixels
# covered by half or more turns the slopes into clean steps, and the flat
# colours drop the gradients and the blends at inner edges, which at these
# sizes only blur.
sharpen() {  # sharpen IN OUT
  convert "$1" \( +clone -alpha extract -threshold 50% \) \
    \( -clone 0 -alpha off -dither None -remap "$work/palette.png" \) \
    -delete 0 +swap -compose CopyOpacity -composite "${png_options[@]}" "PNG32:$2"
}

for size in "${sizes[@]}"; do
  rsvg-convert --width "$size" --height "$size" "$svg" -o "$work/drawn-$size.png"
  case "$size" in
    16 | 32) sharpen "$work/drawn-$size.png" "$work/$size.png" ;;
    *) convert "$work/drawn-$size.png" "${png_options[@]}" "PNG32:$work/$size.png" ;;
  esac
  theme="$root/packaging/linux/icons/hicolor/${size}x$size/apps"
  mkdir -p "$theme"
  cp "$work/$size.png" "$theme/ledgerlift.png"
done

# Windows picks the size it needs; 256 pixels is kept as PNG, as Windows
# expects for that size.
mkdir -p "$root/src/window/win32"
icotool --create --output "$root/src/window/win32/ledgerlift.ico" \
  "$work/16.png" "$work/32.png" "$work/48.png" "$work/64.png" \
  --raw="$work/256.png"
