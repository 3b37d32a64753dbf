#!/bin/sh
# Draws the SVG icon SVG as an .ico of 16 × 16 and 32 × 32 pixels in 16 colours, each pixel
# either drawn or clear, as the classic icon format holds them: sixteen_colour_icon.sh SVG ICO
set -eu
svg=$1 ico=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 16 32; do
  rsvg-convert --width=$size --height=$size --output="$work/$size.png" "$svg"
  pngtopnm "$work/$size.png" | pnmquant -quiet 16 >"$work/$size.ppm"
  # A pixel more than half covered is drawn; the rest shows what is behind the icon.
  pngtopnm -alpha "$work/$size.png" | pgmtopbm -threshold -value 0.5 >"$work/$size.pbm"
  pnmtopng -alpha="$work/$size.pbm" "$work/$size.ppm" >"$work/$size-16.png"
done
icotool --create --bit-depth=4 --output="$ico" "$work/16-16.png" "$work/32-16.png"
