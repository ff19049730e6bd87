#!/usr/bin/env bash
# Renders the SVG icon into a Windows .ico: 48, 32, 24 and 16 pixels, each in 256 colours with a
# transparency mask. Usage: make-icon.sh icon.svg out.ico
set -euo pipefail
svg=$1
out=$2
# Debian's ImageMagick 6 names its convert this way; a plain `convert` may be another program.
magick=$(command -v convert-im6.q16 || command -v magick || command -v convert)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

args=()
for size in 48 32 24 16; do
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$work/$size.png"
  args+=("(" "$work/$size.png" -colors 255 -type PaletteAlpha ")")
done
"$magick" "${args[@]}" "$out"
