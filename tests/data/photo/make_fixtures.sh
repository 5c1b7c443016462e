#!/bin/bash
# Remakes the photo decoder fixtures and their reference decodings.
# Needs ImageMagick 6 (/usr/bin/convert), libjpeg-turbo-progs (cjpeg, djpeg,
# jpegtran), a C compiler and libjpeg62-turbo-dev.  Run from anywhere:
#   tests/data/photo/make_fixtures.sh [path/to/astronaut.png]
set -euo pipefail

SOURCE=${1:-/work/shared/testdata/astronaut.png}
HERE=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$HERE"
IM=/usr/bin/convert

# References are what djpeg makes of the same file with the decoder's settings.
ref_colour() { djpeg -dct float -pnm "$1" > "$2"; }
ref_grey() { djpeg -dct float -colors 236 -dither fs -pnm "$1" > "$2"; }

# Upright base photo, 70 x 90: neither side a multiple of the 16-pixel MCU,
# and rows of 70 or 210 bytes, which images pad to a multiple of 4.
$IM "$SOURCE" -gravity center -crop 398x512+0+0 +repage -strip -resize '70x90!' -depth 8 ppm:"$WORK/base.ppm"
# A smaller one, 42 x 54, for the eight orientations.
$IM "$WORK/base.ppm" -resize '42x54!' -depth 8 ppm:"$WORK/base_small.ppm"

cjpeg -quality 90 "$WORK/base.ppm" > colour.jpg
cjpeg -quality 90 -sample 2x1 "$WORK/base.ppm" > colour_422.jpg
cjpeg -quality 90 -progressive "$WORK/base.ppm" > progressive.jpg
cjpeg -quality 90 -grayscale "$WORK/base.ppm" > grey.jpg
cjpeg -quality 90 -grayscale -progressive "$WORK/base.ppm" > grey_progressive.jpg
# Four components: ImageMagick's CMYK, inverted the way Adobe stores it, then
# written by make_cmyk.c once as plain CMYK and once through the YCCK transform.
cc -O2 -o "$WORK/make_cmyk" make_cmyk.c -ljpeg
$IM "$WORK/base.ppm" -colorspace CMYK -negate -depth 8 cmyk:"$WORK/base.cmyk"
"$WORK/make_cmyk" cmyk 70 90 90 < "$WORK/base.cmyk" > cmyk.jpg
"$WORK/make_cmyk" ycck 70 90 90 < "$WORK/base.cmyk" > ycck.jpg

for f in colour colour_422 progressive cmyk ycck; do ref_colour $f.jpg $f.ppm; done
for f in grey grey_progressive; do ref_grey $f.jpg $f.pgm; done

# A file cut off inside its scan data: libjpeg fills in the rest.
head -c 2000 colour.jpg > truncated.jpg
ref_colour truncated.jpg truncated.ppm || true   # djpeg warns (exit 2) but writes the image
# A progressive file cut off halfway has coefficients of low precision left,
# which is where block smoothing acts.
head -c $(($(stat -c %s progressive.jpg) / 2)) progressive.jpg > progressive_truncated.jpg
ref_colour progressive_truncated.jpg progressive_truncated.ppm || true

# Orientations: the raster stored for orientation n is the small photo put
# through the inverse of n's turn; the reference is djpeg's raster turned by n.
turn=(x "" -flop "-rotate 180" -flip -transpose "-rotate 90" -transverse "-rotate 270")
undo=(x "" -flop "-rotate 180" -flip -transpose "-rotate 270" -transverse "-rotate 90")
for n in 1 2 3 4 5 6 7 8; do
    # shellcheck disable=SC2086
    $IM "$WORK/base_small.ppm" ${undo[$n]} -depth 8 ppm:- | cjpeg -quality 90 > "$WORK/stored.jpg"
    # ImageMagick writes no EXIF block of its own, so a minimal one (one IFD
    # entry, Orientation) goes in after the JFIF APP0 segment; odd n in
    # big-endian (MM), even n in little-endian (II) byte order.
    if ((n % 2)); then
        app1="\xff\xe1\x00\x22Exif\x00\x00MM\x00\x2a\x00\x00\x00\x08\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01\x00\x0$n\x00\x00\x00\x00\x00\x00"
    else
        app1="\xff\xe1\x00\x22Exif\x00\x00II\x2a\x00\x08\x00\x00\x00\x01\x00\x12\x01\x03\x00\x01\x00\x00\x00\x0$n\x00\x00\x00\x00\x00\x00\x00"
    fi
    { head -c 20 "$WORK/stored.jpg"; printf "$app1"; tail -c +21 "$WORK/stored.jpg"; } > orient_$n.jpg
    got=$(identify -format '%[EXIF:Orientation]' orient_$n.jpg)
    [ "$got" = "$n" ] || { echo "orient_$n.jpg: EXIF orientation '$got', wanted $n" >&2; exit 1; }
    djpeg -dct float -pnm orient_$n.jpg > "$WORK/raster.ppm"
    # shellcheck disable=SC2086
    $IM "$WORK/raster.ppm" ${turn[$n]} -depth 8 ppm:orient_$n.ppm
    # Cross-check the turns against ImageMagick's own reading of the tag.
    $IM -define jpeg:dct-method=float orient_$n.jpg -auto-orient -depth 8 ppm:"$WORK/auto.ppm"
    /usr/bin/compare -metric AE "$WORK/auto.ppm" orient_$n.ppm null: 2>"$WORK/ae" || true
    [ "$(cat "$WORK/ae")" = 0 ] || { echo "orient_$n: -auto-orient differs" >&2; exit 1; }
done

# Many scans: a 16 x 16 progressive photo with successive approximation on
# every AC coefficient of every component (make_scans.c); 1000 scans are
# allowed, the 1001st is not.
cc -O2 -o "$WORK/make_scans" make_scans.c -ljpeg
$IM "$WORK/base.ppm" -strip -resize '16x16!' -depth 8 ppm:"$WORK/small.ppm"
for n in 1000 1001; do "$WORK/make_scans" $n < "$WORK/small.ppm" > scans_$n.jpg; done
djpeg -maxscans 1000 -dct float -pnm scans_1000.jpg > scans_1000.ppm 2>/dev/null
if djpeg -maxscans 1000 scans_1001.jpg > /dev/null 2>&1; then
    echo "scans_1001.jpg passed djpeg -maxscans 1000" >&2; exit 1
fi

# Headers patched in the SOF0 frame of a tiny greyscale JPEG (8 x 8):
# precision at +4, height at +5, width at +7 after the marker.
$IM "$WORK/base.ppm" -resize '8x8!' -colorspace Gray -depth 8 pgm:"$WORK/tiny.pgm"
cjpeg -quality 50 "$WORK/tiny.pgm" > "$WORK/tiny.jpg"
sof=$(LC_ALL=C grep -obUaP '\xff\xc0' "$WORK/tiny.jpg" | head -n1 | cut -d: -f1)
patch_sof() {  # out precision height width
    cp "$WORK/tiny.jpg" "$1"
    printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x\\x%02x' "$2" $(($3 >> 8)) $(($3 & 255)) $(($4 >> 8)) $(($4 & 255)))" |
        dd of="$1" bs=1 seek=$((sof + 4)) conv=notrunc status=none
}
patch_sof header_30000x8.jpg 8 8 30000
patch_sof header_30001x8.jpg 8 8 30001
patch_sof header_8x30001.jpg 8 30001 8
patch_sof header_20000x10000.jpg 8 10000 20000
patch_sof header_20000x10001.jpg 8 10001 20000
patch_sof header_12bit.jpg 12 8 8

ls -l "$HERE"
