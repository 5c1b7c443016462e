#!/bin/bash
# Remakes the hostile and broken input corpus and its manifest (manifest.tsv).
# Needs ImageMagick 6 (/usr/bin/convert), libjpeg-turbo-progs (cjpeg) and
# python3. Run from anywhere:
#   tests/data/hostile/make_corpus.sh path/to/astronaut.png
# The output is the same byte for byte on every run: the damage is done at
# fixed places, and the "random" bytes come from a fixed seed.
#
# Every file's expected outcome is written here, next to how the file is made,
# with the reason for it. The outcome follows from the order in which a photo
# is read: the header is parsed first (a failure there means the format
# message whatever the size), then files of 8192 bytes or less are refused,
# then the photo is decoded (libjpeg's warnings are ignored, its errors and
# our limits fail), then the face check decides.
set -euo pipefail

SOURCE=${1:?usage: make_corpus.sh path/to/astronaut.png}
HERE=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
IM=/usr/bin/convert

# The photo that the damaged files start from: an upright 180 x 230 portrait
# (neither side a multiple of the 16-pixel MCU), about 16 KB as a JPEG, so
# that cutting a part of it off still leaves more than 8192 bytes.
$IM "$SOURCE" -gravity center -crop 400x512+0+0 +repage -strip -resize '180x230!' -depth 8 ppm:"$WORK/base.ppm"
cjpeg -quality 90 "$WORK/base.ppm" > "$WORK/photo.jpg"
cjpeg -quality 90 -progressive "$WORK/base.ppm" > "$WORK/progressive.jpg"
cjpeg -quality 90 -arithmetic "$WORK/base.ppm" > "$WORK/arith.jpg"
cjpeg -quality 90 -restart 1 "$WORK/base.ppm" > "$WORK/restart.jpg"
# Stored turned by the inverse of EXIF orientation 6, so that the tag makes
# it upright again.
$IM "$WORK/base.ppm" -rotate 270 -depth 8 ppm:- | cjpeg -quality 90 > "$WORK/stored_6.jpg"
# A tiny greyscale JPEG for headers that are meant to fail, and a tiny
# progressive one for the file with thousands of scans (one block: each scan
# costs a dozen bytes).
$IM "$WORK/base.ppm" -resize '8x8!' -colorspace Gray -depth 8 pgm:"$WORK/tiny.pgm"
cjpeg -quality 50 "$WORK/tiny.pgm" > "$WORK/tiny.jpg"
cjpeg -quality 50 -progressive "$WORK/tiny.pgm" > "$WORK/tiny_progressive.jpg"
# Not a JPEG: a small PNG of the photo (more than 8 KB). No time stamps, so
# that the bytes do not change from run to run.
$IM "$WORK/base.ppm" -resize '64x82!' -define png:exclude-chunks=date,time png:"$WORK/photo.png"

rm -f "$HERE"/*.jpg
python3 - "$WORK" "$HERE" <<'PY'
import random
import struct
import sys

work, here = sys.argv[1], sys.argv[2]


def load(name):
    with open(f"{work}/{name}", "rb") as f:
        return f.read()


photo = load("photo.jpg")
progressive = load("progressive.jpg")
arith = load("arith.jpg")
restart = load("restart.jpg")
stored_6 = load("stored_6.jpg")
tiny = load("tiny.jpg")
tiny_progressive = load("tiny_progressive.jpg")
png = load("photo.png")


def segments(data):
    """(marker, offset, total length) of each marker segment up to the first SOS."""
    assert data[:2] == b"\xff\xd8"
    out, i = [], 2
    while True:
        assert data[i] == 0xFF
        marker = data[i + 1]
        length = struct.unpack(">H", data[i + 2:i + 4])[0]
        out.append((marker, i, 2 + length))
        if marker == 0xDA:
            return out
        i += 2 + length


def first(data, marker):
    for m, offset, size in segments(data):
        if m == marker:
            return offset, size
    raise KeyError(hex(marker))


def scan_start(data):
    offset, size = first(data, 0xDA)
    return offset + size


def patch(data, offset, new):
    return data[:offset] + new + data[offset + len(new):]


def insert(data, offset, new):
    return data[:offset] + new + data[offset:]


def after_app0(data):
    offset, size = first(data, 0xE0)
    return offset + size


def sof_patch(data, precision=None, height=None, width=None, marker=None):
    offset, _ = first(data, 0xC0)
    if precision is not None:
        data = patch(data, offset + 4, bytes([precision]))
    if height is not None:
        data = patch(data, offset + 5, struct.pack(">H", height))
    if width is not None:
        data = patch(data, offset + 7, struct.pack(">H", width))
    if marker is not None:
        data = patch(data, offset + 1, bytes([marker]))
    return data


def sof_components(data, count):
    """The SOF0 rewritten to `count` components: the existing ones, then copies
    of the last one under new ids (or none at all for 0)."""
    offset, size = first(data, 0xC0)
    nf = data[offset + 9]
    comps = [data[offset + 10 + 3 * k:offset + 13 + 3 * k] for k in range(nf)]
    while len(comps) < count:
        comps.append(bytes([len(comps) + 1]) + comps[-1][1:])
    comps = comps[:count]
    body = data[offset + 4:offset + 9] + bytes([count]) + b"".join(comps)
    segment = b"\xff\xc0" + struct.pack(">H", 2 + len(body)) + body
    return data[:offset] + segment + data[offset + size:]


def com(text_bytes):
    return b"\xff\xfe" + struct.pack(">H", 2 + len(text_bytes)) + text_bytes


def app1_exif(tiff):
    body = b"Exif\x00\x00" + tiff
    return b"\xff\xe1" + struct.pack(">H", 2 + len(body)) + body


def ifd_entry(order, tag, kind, count, value):
    # value: 4 bytes as stored (short values left-aligned)
    return struct.pack(order + "HHI", tag, kind, count) + value


def short_value(order, v):
    return struct.pack(order + "HH", v, 0)


def with_exif(data, tiff):
    return insert(data, after_app0(data), app1_exif(tiff))


rng = random.Random(7)


def noise(n, no_ff=True):
    top = 0xFE if no_ff else 0xFF
    return bytes(rng.randint(0, top) for _ in range(n))


text_line = b"Candidate photo checklist: blue background, frontal face, no hat.\n"
text_large = text_line * 150

rows = []


def put(name, data, expected, face, orientation, what):
    """expected: header-fails | size-refused | decode-fails | decoded;
    face (decoded files only): face | no-face | check-fails;
    orientation: the EXIF orientation read with a header that passes."""
    assert expected in ("header-fails", "size-refused", "decode-fails", "decoded")
    assert (face != "-") == (expected == "decoded")
    assert (orientation == "-") == (expected == "header-fails")
    with open(f"{here}/{name}", "wb") as f:
        f.write(data)
    rows.append((name, expected, face, str(orientation), what))


# --- Not a JPEG at all -------------------------------------------------------
put("empty.jpg", b"", "header-fails", "-", "-",
    "zero bytes (libjpeg: empty input)")
put("text_small.jpg", b"This is a note, not a photo.\n" * 3, "header-fails", "-", "-",
    "a short text file: no SOI marker")
put("text_large.jpg", text_large, "header-fails", "-", "-",
    "a text file over 8192 bytes: no SOI marker, refused as a format error, not for its size")
put("png.jpg", png, "header-fails", "-", "-",
    "a PNG of the photo over 8192 bytes, named .jpg: no SOI marker")
put("zeros.jpg", bytes(16384), "header-fails", "-", "-",
    "16384 zero bytes, as left by a failed transfer: no SOI marker")
put("soi_then_text.jpg", b"\xff\xd8" + text_large, "header-fails", "-", "-",
    "an SOI marker and then text: no marker follows, the end reads as EOI before any image")

# --- Only a header, or cut off inside it ------------------------------------
sof, _ = first(photo, 0xC0)
sos, sos_size = first(photo, 0xDA)
dht, _ = first(photo, 0xC4)
put("soi_only.jpg", b"\xff\xd8", "header-fails", "-", "-",
    "the SOI marker alone: EOI before any image")
put("header_no_sof.jpg", photo[:sof], "header-fails", "-", "-",
    "SOI, APP0 and the DQT segments, ending before SOF: a tables-only stream, no image")
put("header_no_sos.jpg", photo[:sos], "header-fails", "-", "-",
    "every segment up to SOF and DHT, ending before SOS: SOF without SOS")
put("trunc_in_sof.jpg", photo[:sof + 6], "header-fails", "-", "-",
    "cut inside the SOF segment: the size and component count are read from the "
    "EOI that libjpeg inserts at the end, and the segment length no longer fits")
put("trunc_in_dht.jpg", photo[:dht + 10], "header-fails", "-", "-",
    "cut inside the first DHT segment: its code counts are read from the inserted "
    "EOI bytes and add up to more than 256")
put("trunc_after_sos.jpg", photo[:sos + sos_size], "size-refused", "-", 1,
    "cut right after the SOS header: the header is complete, and the file is far under 8192 bytes")

# --- Cut off or damaged in the scan: libjpeg warns and fills in -------------
padded = insert(photo, after_app0(photo), com(text_large[:9000]))
p_sos, p_sos_size = first(padded, 0xDA)
put("trunc_after_sos_padded.jpg", padded[:p_sos + p_sos_size], "decoded", "no-face", 1,
    "a 9000-byte comment segment, then cut right after the SOS header: over 8192 bytes, "
    "no scan data at all, so every pixel decodes to the same grey and no face is found")
put("trunc_mid_scan.jpg", photo[:9000], "decoded", "face", 1,
    "the first 9000 of 16558 bytes: the upper half of the rows, where the face is, "
    "decodes; the rest is grey")
put("trunc_before_eoi.jpg", photo[:-2], "decoded", "face", 1,
    "the complete photo without its EOI marker")
put("progressive_truncated.jpg", progressive[:9500], "decoded", "check-fails", 1,
    "a progressive photo cut after the first full-image scans: libjpeg shows a blurred "
    "but whole face, but OpenCV's loader, which the face check uses, gives up on the "
    "missing scans, so the check fails after the photo is shown")
s0 = scan_start(photo)
corrupt_at = s0 + (len(photo) - s0) * 4 // 5
put("corrupt_scan.jpg", patch(photo, corrupt_at, noise(48)), "decoded", "face", 1,
    "48 bytes of noise (no 0xFF) four fifths into the scan data: the rows below "
    "the face come out garbled")
stray_at = s0 + (len(photo) - s0) * 7 // 10
put("stray_rst.jpg", insert(photo, stray_at, b"\xff\xd3"), "decoded", "face", 1,
    "an RST3 marker in a scan without restart interval, seven tenths in: the decoder "
    "stops there and fills the remaining rows with grey")
a0 = scan_start(arith)
put("arith_corrupt.jpg", patch(arith, a0 + (len(arith) - a0) * 4 // 5, noise(48)),
    "decoded", "face", 1,
    "arithmetic-coded, with 48 bytes of noise four fifths into the scan")

# --- Real-world variants that must read normally ------------------------------
put("arith.jpg", arith, "decoded", "face", 1, "arithmetic-coded (cjpeg -arithmetic)")
put("restart.jpg", restart, "decoded", "face", 1, "restart marker after every MCU row (cjpeg -restart 1)")
r0 = scan_start(restart)
rst_positions = [i for i in range(r0, len(restart) - 1)
                 if restart[i] == 0xFF and 0xD0 <= restart[i + 1] <= 0xD7]
damaged = restart
# Remove the fourth-last restart marker and garble the interval before the
# third-last: libjpeg resynchronises at the next marker.
drop = rst_positions[-4]
damaged = damaged[:drop] + damaged[drop + 2:]
garble = rst_positions[-3] - 2 - 30
damaged = patch(damaged, garble, noise(24))
put("restart_damaged.jpg", damaged, "decoded", "face", 1,
    "restart markers with one marker missing and one interval garbled near the bottom: "
    "libjpeg resynchronises")
put("trailing_garbage.jpg", photo + noise(3000, no_ff=False), "decoded", "face", 1,
    "3000 random bytes after the EOI marker")

# --- Absurd or unsupported frame headers --------------------------------------
put("size_65535x65535.jpg", sof_patch(photo, height=65535, width=65535), "header-fails", "-", "-",
    "the photo with SOF claiming 65535 x 65535 pixels: over the side limit, refused before any allocation")
put("size_30001x8.jpg", sof_patch(tiny, height=8, width=30001), "header-fails", "-", "-",
    "an 8 x 8 JPEG claiming 30001 x 8: over the 30000 side limit; under 8192 bytes, "
    "still the format message")
put("size_14143x14143.jpg", sof_patch(photo, height=14143, width=14143), "header-fails", "-", "-",
    "the photo claiming 14143 x 14143 = 200,024,449 pixels: both sides legal, over 200 million in all")
put("size_zero_width.jpg", sof_patch(photo, width=0), "header-fails", "-", "-",
    "the photo with width 0 in SOF: libjpeg refuses an empty image")
put("size_zero_height.jpg", sof_patch(tiny, height=0), "header-fails", "-", "-",
    "an 8 x 8 JPEG with height 0 in SOF (a DNL marker would be needed, which libjpeg does not support)")
put("precision_12bit.jpg", sof_patch(photo, precision=12, marker=0xC1), "header-fails", "-", "-",
    "the photo's frame turned into a 12-bit extended-sequential SOF1: libjpeg 62 reads only 8 bits")
put("sof3_lossless.jpg", sof_patch(photo, marker=0xC3), "header-fails", "-", "-",
    "the photo's frame marked SOF3 (lossless): not supported by libjpeg")
sof_off, sof_size = first(photo, 0xC0)
put("sof_duplicate.jpg", insert(photo, sof_off + sof_size, photo[sof_off:sof_off + sof_size]),
    "header-fails", "-", "-", "two SOF segments before the scan")
put("sof_0_components.jpg", sof_components(tiny, 0), "header-fails", "-", "-",
    "SOF with 0 components: libjpeg refuses an empty image")
put("sof_5_components.jpg", sof_components(photo, 5), "header-fails", "-", "-",
    "the photo's SOF with 5 components (the scan uses 3): libjpeg reads it as an unknown "
    "colour space, which the tool refuses; over 8192 bytes")

# --- Lying segment lengths and bad tables -------------------------------------
dqt, _ = first(photo, 0xDB)
dqt_len = struct.unpack(">H", photo[dqt + 2:dqt + 4])[0]
put("dqt_length_lie.jpg", patch(photo, dqt + 2, struct.pack(">H", dqt_len + 13)),
    "header-fails", "-", "-",
    "the first DQT's length 13 bytes too long: a second table is read from the next "
    "marker's bytes, with table number 15")
app0, app0_size = first(photo, 0xE0)
swallow = first(photo, 0xC0)[0] - app0 - 2  # APP0 then covers every DQT segment
put("app0_length_lie.jpg", patch(photo, app0 + 2, struct.pack(">H", swallow)),
    "decode-fails", "-", 1,
    "APP0's length stretched over the DQT segments: the header parses, but the "
    "decoder has no quantisation table")
put("app1_past_end.jpg", insert(photo, after_app0(photo), b"\xff\xe1\xff\xffExif\x00\x00"),
    "header-fails", "-", "-",
    "an APP1 segment claiming 65535 bytes in a 16 KB file: it swallows the frame, "
    "and the end of the data comes before any image")
dht_len = struct.unpack(">H", photo[dht + 2:dht + 4])[0]
counts = photo[dht + 5:dht + 21]
put("dht_bad_counts.jpg", patch(photo, dht + 20, bytes([255])), "header-fails", "-", "-",
    "the first DHT's count of 16-bit codes set to 255: the counts add up to more than 256")
overflow = bytes([sum(counts)]) + bytes(15)  # every code 1 bit long
put("dht_code_overflow.jpg", patch(photo, dht + 5, overflow), "decode-fails", "-", 1,
    "the first DHT with all its codes 1 bit long: the counts fit the segment, but the "
    "codes overflow when the decoder builds its table")
put("dht_bad_index.jpg", patch(photo, dht + 4, bytes([0x04])), "header-fails", "-", "-",
    "the first DHT numbered 4: only tables 0 to 3 exist")
put("sos_bad_component.jpg", patch(photo, sos + 5, bytes([9])), "header-fails", "-", "-",
    "the scan names component 9, which the frame does not have")

# --- Progression -----------------------------------------------------------------
t_sos, t_sos_size = first(tiny_progressive, 0xDA)
dc_end = t_sos + t_sos_size
while not (tiny_progressive[dc_end] == 0xFF and tiny_progressive[dc_end + 1] not in (0x00,)):
    dc_end += 1
# The first scan (the DC scan: its SOS header and data) repeated: every copy
# after the first is a bogus progression, which libjpeg only warns about.
dc_scan = tiny_progressive[t_sos:dc_end]
many = tiny_progressive[:dc_end] + dc_scan * 2500 + tiny_progressive[dc_end:]
put("scans_2500.jpg", many, "decode-fails", "-", 1,
    "an 8 x 8 greyscale progressive JPEG whose DC scan is repeated to make 2500+ scans: "
    "the decoder stops when scan 1001 starts")
p_sos = progressive.index(b"\xff\xda", scan_start(progressive))
# The second scan's spectral selection (Ss, Se) set to 10, 5: Ss > Se.
ns = progressive[p_sos + 4]
put("progressive_bad_band.jpg", patch(progressive, p_sos + 5 + 2 * ns, bytes([10, 5])),
    "decode-fails", "-", 1,
    "a progressive photo whose second scan has spectral selection 10 to 5: libjpeg "
    "refuses the progression when it reaches that scan")

# --- Broken EXIF blocks (the orientation is read through Qt's EXIF parser) --
M, I = ">", "<"
put("exif_bad_offset.jpg",
    with_exif(photo, b"MM\x00\x2a" + struct.pack(">I", 0x7FFFFF00) + bytes(16)),
    "decoded", "face", 1, "EXIF whose first IFD lies 2 GB past the segment")
loop = (b"II\x2a\x00" + struct.pack("<I", 8) + struct.pack("<H", 1)
        + ifd_entry(I, 0x010F, 2, 4, b"Cam\x00") + struct.pack("<I", 8))
put("exif_ifd_loop.jpg", with_exif(photo, loop), "decoded", "face", 1,
    "EXIF whose first IFD (no orientation) names itself as the next IFD: a loop")
entries = (b"MM\x00\x2a" + struct.pack(">I", 8) + struct.pack(">H", 0xFFFF)
           + ifd_entry(M, 0x010F, 2, 4, b"Cam\x00") * 3)
put("exif_entries_overflow.jpg", with_exif(photo, entries), "decoded", "face", 1,
    "EXIF IFD claiming 65535 entries in a segment that holds 3")
count = (b"II\x2a\x00" + struct.pack("<I", 8) + struct.pack("<H", 2)
         + ifd_entry(I, 0x010F, 2, 0xFFFFFFFF, struct.pack("<I", 0xFFFFFFF0))
         + ifd_entry(I, 0x0112, 3, 0xFFFFFFFF, short_value(I, 6)) + bytes(4))
put("exif_count_overflow.jpg", with_exif(photo, count), "decoded", "face", 1,
    "EXIF entries with count 0xFFFFFFFF (a string far past the segment, and an "
    "orientation of 6 with that count, which is not a valid tag)")
put("exif_truncated.jpg", with_exif(photo, b"MM\x00\x2a\x00\x00"), "decoded", "face", 1,
    "EXIF segment ending inside the TIFF header's IFD offset")
put("exif_orientation_9.jpg",
    with_exif(photo, b"MM\x00\x2a" + struct.pack(">IH", 8, 1)
              + ifd_entry(M, 0x0112, 3, 1, short_value(M, 9)) + bytes(4)),
    "decoded", "face", 1, "EXIF orientation 9, which does not exist: read as 1")
backward = (b"MM\x00\x2a" + struct.pack(">IH", 8, 1)
            + ifd_entry(M, 0x0112, 3, 1, short_value(M, 6)) + struct.pack(">I", 8))
put("exif_orientation_6_loop.jpg", with_exif(stored_6, backward), "decoded", "face", 6,
    "a sideways photo with EXIF orientation 6 in an IFD that names itself as the next: "
    "the tag is found first, and the photo turns upright")

with open(f"{here}/manifest.tsv", "w") as f:
    f.write("# file\texpected\tface\torientation\twhat\n")
    for row in rows:
        f.write("\t".join(row) + "\n")
print(f"{len(rows)} files")
PY
ls -l "$HERE"
