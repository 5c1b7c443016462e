#!/bin/bash
# Remakes the photos "as they come" from phones, scanners and chat apps: the
# same portrait in every JPEG flavour the tool has to read like a photo viewer.
# Needs ImageMagick 6 (/usr/bin/convert), libjpeg-turbo-progs (cjpeg), a C
# compiler with libjpeg62-turbo-dev, and python3. Run from anywhere:
#   tests/data/realworld/make_fixtures.sh path/to/astronaut.png
# The output is the same byte for byte on every run.
set -euo pipefail

SOURCE=${1:?usage: make_fixtures.sh path/to/astronaut.png}
HERE=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
IM=/usr/bin/convert
Q=88

# The upright portrait: 180 x 230, neither side a multiple of the 16-pixel MCU.
$IM "$SOURCE" -gravity center -crop 400x512+0+0 +repage -strip -resize '180x230!' -depth 8 ppm:"$WORK/base.ppm"
$IM "$WORK/base.ppm" -colorspace Gray -depth 8 pgm:"$WORK/base.pgm"

rm -f "$HERE"/*.jpg
cjpeg -quality $Q "$WORK/base.ppm" > "$HERE/baseline.jpg"
cjpeg -quality $Q -progressive "$WORK/base.ppm" > "$HERE/progressive.jpg"
cjpeg -quality $Q -arithmetic "$WORK/base.ppm" > "$HERE/arithmetic.jpg"
cjpeg -quality $Q -arithmetic -progressive "$WORK/base.ppm" > "$HERE/arithmetic_progressive.jpg"
cjpeg -quality $Q -sample 1x1 "$WORK/base.ppm" > "$HERE/sampling_444.jpg"
cjpeg -quality $Q "$WORK/base.pgm" > "$HERE/greyscale.jpg"
cjpeg -quality $Q -progressive "$WORK/base.pgm" > "$HERE/greyscale_progressive.jpg"
cjpeg -quality $Q -restart 1 "$WORK/base.ppm" > "$HERE/restart_rows.jpg"
cjpeg -quality $Q -restart 5B "$WORK/base.ppm" > "$HERE/restart_blocks.jpg"
# Four components, as scanners and print workflows write them: ImageMagick's
# CMYK, inverted the way Adobe stores it, written by the photo fixtures' small
# libjpeg tool once as plain CMYK and once through the YCCK transform (Adobe
# APP14 segment, transform 0 and 2). A lower quality keeps them small.
cc -O2 -o "$WORK/make_cmyk" "$HERE/../photo/make_cmyk.c" -ljpeg
$IM "$WORK/base.ppm" -colorspace CMYK -negate -depth 8 cmyk:"$WORK/base.cmyk"
"$WORK/make_cmyk" cmyk 180 230 75 < "$WORK/base.cmyk" > "$HERE/cmyk.jpg"
"$WORK/make_cmyk" ycck 180 230 75 < "$WORK/base.cmyk" > "$HERE/ycck.jpg"
# A small thumbnail, as phones embed one in the EXIF block.
$IM "$WORK/base.ppm" -resize '40x51!' -depth 8 ppm:- | cjpeg -quality 70 > "$WORK/thumbnail.jpg"
# The stored rasters of EXIF orientations 1 to 8: the portrait turned by the
# inverse of what the tag asks the viewer to do.
inverse=("" "" "-flop" "-rotate 180" "-flip" "-transpose" "-rotate 270" "-transverse" "-rotate 90")
for n in 1 2 3 4 5 6 7 8; do
  # shellcheck disable=SC2086
  $IM "$WORK/base.ppm" ${inverse[$n]} -depth 8 ppm:- | cjpeg -quality $Q > "$WORK/stored_$n.jpg"
done

python3 - "$WORK" "$HERE" <<'PY'
import random
import struct
import sys

work, here = sys.argv[1], sys.argv[2]


def load(path):
    with open(path, "rb") as f:
        return f.read()


def save(name, data):
    with open(f"{here}/{name}", "wb") as f:
        f.write(data)


def app0_end(data):
    assert data[:4] == b"\xff\xd8\xff\xe0"
    return 4 + struct.unpack(">H", data[4:6])[0]


def app1(tiff):
    body = b"Exif\x00\x00" + tiff
    return b"\xff\xe1" + struct.pack(">H", 2 + len(body)) + body


def entry(order, tag, kind, count, value):
    return struct.pack(order + "HHI", tag, kind, count) + value


def orientation_tiff(order, n):
    """A TIFF header and one IFD holding only the Orientation tag."""
    head = (b"MM\x00\x2a" if order == ">" else b"II\x2a\x00") + struct.pack(order + "I", 8)
    return (head + struct.pack(order + "H", 1)
            + entry(order, 0x0112, 3, 1, struct.pack(order + "HH", n, 0))
            + struct.pack(order + "I", 0))


baseline = load(f"{here}/baseline.jpg")
rng = random.Random(11)

# Each orientation after the JFIF segment; odd ones big-endian (Motorola, as
# some cameras write), even ones little-endian (Intel, as most phones write).
for n in range(1, 9):
    stored = load(f"{work}/stored_{n}.jpg")
    end = app0_end(stored)
    tiff = orientation_tiff(">" if n % 2 else "<", n)
    save(f"orient_{n}.jpg", stored[:end] + app1(tiff) + stored[end:])

# Straight from a phone: no JFIF segment, an EXIF block first with a Make tag,
# orientation 1, and a second IFD pointing at an embedded JPEG thumbnail
# (its own SOI and EOI markers inside the APP1 segment).
thumb = load(f"{work}/thumbnail.jpg")
I = "<"
make = b"ExamPhone\x00"
ifd0_at = 8
ifd0 = 2 + 2 * 12 + 4
make_at = ifd0_at + ifd0
ifd1_at = make_at + len(make)
ifd1 = 2 + 2 * 12 + 4
thumb_at = ifd1_at + ifd1
tiff = (b"II\x2a\x00" + struct.pack(I + "I", ifd0_at)
        + struct.pack(I + "H", 2)
        + entry(I, 0x010F, 2, len(make), struct.pack(I + "I", make_at))
        + entry(I, 0x0112, 3, 1, struct.pack(I + "HH", 1, 0))
        + struct.pack(I + "I", ifd1_at)
        + make
        + struct.pack(I + "H", 2)
        + entry(I, 0x0201, 4, 1, struct.pack(I + "I", thumb_at))
        + entry(I, 0x0202, 4, 1, struct.pack(I + "I", len(thumb)))
        + struct.pack(I + "I", 0)
        + thumb)
save("exif_thumbnail.jpg", b"\xff\xd8" + app1(tiff) + baseline[app0_end(baseline):])

# Chat apps and broken uploaders leave bytes after the EOI marker.
save("trailing_garbage.jpg", baseline + bytes(rng.randint(0, 255) for _ in range(3000)))
save("trailing_jpeg.jpg", baseline + thumb)
PY

for f in "$HERE"/*.jpg; do
  size=$(stat -c %s "$f")
  if [ "$size" -le 8192 ]; then
    echo "$f: $size bytes, not over the 8192-byte size limit" >&2
    exit 1
  fi
done
ls -l "$HERE"
