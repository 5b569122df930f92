#!/usr/bin/env bash
# make-icons.sh -- draws the application icons from the demo's own frame 450 (run by hand)
#
# Run from the repository root, with quorvex-capture built:
#   tools/make-icons.sh build/capture/quorvex-capture
# Writes packaging/icons/quorvex-{48,128,256}.png (the hicolor theme's sizes) and
# packaging/icons/quorvex.ico (16, 32, 48 and 256 pixels, for the Windows build); both are
# committed. Frame 450 is Scene B with the torus's pinch in the middle, which still
# reads at 48 pixels. The capture is frame-exact and ImageMagick is told to leave
# out its time stamps, so a rerun on the same Mesa writes the same pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
capture=${1:-build/capture/quorvex-capture}
out=packaging/icons

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$capture" --frames 450 --out "$tmp" --best
# The pinch sits at (440, 390); the square around it stops above the logo.
convert "$tmp/frame-000450.png" -crop 460x460+210+80 +repage "$tmp/square.png"
# Rounded corners, as the desktops' own icons have.
convert -size 460x460 xc:none -fill white -draw "roundrectangle 0,0 459,459 64,64" "$tmp/mask.png"
convert "$tmp/square.png" "$tmp/mask.png" -alpha off -compose CopyOpacity -composite "$tmp/rounded.png"

for size in 16 32 48 256; do
  convert "$tmp/rounded.png" -filter Lanczos -resize "${size}x${size}" -strip \
    -define png:exclude-chunks=date,time "$tmp/quorvex-$size.png"
done
convert "$tmp/rounded.png" -filter Lanczos -resize 128x128 -strip \
  -define png:exclude-chunks=date,time "$tmp/quorvex-128.png"
for size in 48 128 256; do
  cp "$tmp/quorvex-$size.png" "$out/quorvex-$size.png"
done
# The largest is stored as PNG, as Windows reads it; the others as bitmaps.
icotool -c -o "$out/quorvex.ico" "$tmp/quorvex-16.png" "$tmp/quorvex-32.png" "$tmp/quorvex-48.png" \
  -r "$tmp/quorvex-256.png"
echo "wrote $out/quorvex-{48,128,256}.png and $out/quorvex.ico"
