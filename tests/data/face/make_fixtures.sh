#!/bin/sh
# Remakes the face-check fixtures from the astronaut portrait (512 x 512).
# Usage: make_fixtures.sh /path/to/astronaut.png
set -eu
src=${1:?usage: make_fixtures.sh astronaut.png}
out=$(dirname "$0")
convert=/usr/bin/convert

jpeg() { cjpeg -quality 90 -optimize > "$out/$1"; }

$convert "$src" -resize 256x256 ppm:- | jpeg portrait.jpg
$convert "$src" -resize 256x256 -colorspace Gray pgm:- | jpeg grey_portrait.jpg
$convert "$src" -crop 256x256+0+256 +repage ppm:- | jpeg no_face.jpg
$convert "$src" -resize 256x256 \( +clone \) +append ppm:- | jpeg two_faces.jpg
$convert "$src" -resize 96x96 ppm:- | jpeg tiny_face.jpg

# Sideways: the pixels turned 90 degrees clockwise, tagged with EXIF
# orientation 8 (left-bottom), which turns them back upright.
$convert "$src" -resize 256x256 -rotate 90 ppm:- | jpeg sideways.raw.jpg
python3 - "$out/sideways.raw.jpg" "$out/sideways_exif8.jpg" <<'PY'
import struct, sys
src, dst = sys.argv[1], sys.argv[2]
data = open(src, 'rb').read()
assert data[:2] == b'\xff\xd8'
# Little-endian TIFF header and one IFD entry: Orientation (0x0112), SHORT, 8.
tiff = (b'II*\x00' + struct.pack('<I', 8) + struct.pack('<H', 1)
        + struct.pack('<HHIHH', 0x0112, 3, 1, 8, 0) + struct.pack('<I', 0))
payload = b'Exif\x00\x00' + tiff
app1 = b'\xff\xe1' + struct.pack('>H', len(payload) + 2) + payload
open(dst, 'wb').write(data[:2] + app1 + data[2:])
PY
rm "$out/sideways.raw.jpg"
