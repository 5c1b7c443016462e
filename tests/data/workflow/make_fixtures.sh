#!/usr/bin/env bash
# Remakes the fixtures of the workflow tests from the public-domain astronaut
# portrait (scikit-image's sample data). Needs ImageMagick and cjpeg.
set -euo pipefail
src=${1:?usage: make_fixtures.sh astronaut.png}
im=/usr/bin/convert
cd "$(dirname "$0")"

jpeg() { "$im" "$1" ppm:- | cjpeg -quality "$2" > "$3"; }

# The head on a plain blue studio background, 300 x 400.
"$im" -size 300x400 'xc:rgb(20,50,210)' \
  \( "$src" -crop 170x200+140+10 +repage -resize 130x \) -geometry +85+100 -composite /tmp/studio.ppm
jpeg /tmp/studio.ppm 92 studio_blue.jpg
# The same head on a light grey that counts as white but not as bright white.
"$im" -size 300x400 'xc:rgb(230,230,230)' \
  \( "$src" -crop 170x200+140+10 +repage -resize 130x \) -geometry +85+100 -composite /tmp/white.ppm
jpeg /tmp/white.ppm 92 studio_white.jpg
# The whole portrait at 241 x 250 (fits the viewport's width with half a pixel to spare).
"$im" "$src" -resize '241x250!' /tmp/p241.ppm
jpeg /tmp/p241.ppm 90 portrait_241x250.jpg
# A portrait larger than the viewport in both directions.
"$im" "$src" -resize '400x500!' /tmp/p400.ppm
jpeg /tmp/p400.ppm 90 portrait_400x500.jpg
# No face: the lower right of the picture (helmet and suit).
"$im" "$src" -crop 240x240+272+272 +repage /tmp/noface.ppm
jpeg /tmp/noface.ppm 90 no_face.jpg
# A JPEG of under 8192 bytes; the tests pad copies of it to exact sizes.
"$im" "$src" -resize 64x64 /tmp/small.ppm
jpeg /tmp/small.ppm 75 small.jpg
# A PNG under a JPEG name, large and small.
"$im" "$src" -resize 200x200 png:not_a_jpeg.jpg
"$im" "$src" -resize 16x16 png:small_not_a_jpeg.jpg
rm -f /tmp/studio.ppm /tmp/white.ppm /tmp/p241.ppm /tmp/p400.ppm /tmp/noface.ppm /tmp/small.ppm
