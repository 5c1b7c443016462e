// SPDX-License-Identifier: GPL-3.0-or-later
#include "photo/orientation.h"

#include <QBuffer>
#include <QImageIOHandler>
#include <QImageReader>

#include <cstring>
#include <stdexcept>

#include "photo/jpeg_decoder.h"

namespace photo {

int ReadOrientation(const QByteArray& file) {
    // Qt's JPEG reader reports libjpeg's complaints as warnings; bytes that
    // libjpeg cannot read at all never reach it.
    return IsReadableJpeg(file) ? ReadOrientationOfJpeg(file) : 1;
}

int ReadOrientationOfJpeg(const QByteArray& file) {
    QBuffer buffer;
    buffer.setData(file);  // shared, not copied
    if (!buffer.open(QIODevice::ReadOnly))
        return 1;
    QImageReader reader(&buffer, "jpeg");
    switch (reader.transformation()) {
    case QImageIOHandler::TransformationMirror: return 2;
    case QImageIOHandler::TransformationRotate180: return 3;
    case QImageIOHandler::TransformationFlip: return 4;
    case QImageIOHandler::TransformationFlipAndRotate90: return 5;
    case QImageIOHandler::TransformationRotate90: return 6;
    case QImageIOHandler::TransformationMirrorAndRotate90: return 7;
    case QImageIOHandler::TransformationRotate270: return 8;
    default: return 1;
    }
}

QSize UprightSize(QSize stored, int orientation) {
    return orientation >= 5 && orientation <= 8 ? stored.transposed() : stored;
}

namespace {

// A whole pixel of a size known when compiling, so that the copy is a move
// of a few bytes rather than a call.
template <int Bytes>
inline void CopyPixel(uchar* to, const uchar* from) {
    std::memcpy(to, from, Bytes);
}

// Orientations 1 to 4: each stored row is an upright row, mirrored or not.
template <int Bytes>
void PlaceAsRows(const uchar* const* rows, int first, int count, QSize stored, int orientation, uchar* upright,
                 qsizetype stride) {
    const int w = stored.width(), h = stored.height();
    const bool mirrored = orientation == 2 || orientation == 3;
    const bool upsideDown = orientation == 3 || orientation == 4;
    for (int i = 0; i < count; ++i) {
        const int y = first + i;
        uchar* line = upright + qsizetype(upsideDown ? h - 1 - y : y) * stride;
        if (!mirrored) {
            std::memcpy(line, rows[i], size_t(w) * Bytes);
            continue;
        }
        for (int x = 0; x < w; ++x)
            CopyPixel<Bytes>(line + qsizetype(w - 1 - x) * Bytes, rows[i] + qsizetype(x) * Bytes);
    }
}

// One run of a column, `count` pixels upwards through memory from `out`,
// each pixel moved as `Moved` bytes: a three-byte pixel goes faster as four,
// the fourth landing on the run's next pixel, which is written right after.
// The run's last pixel is moved exactly.
template <int Bytes, int Moved>
inline void PlaceRun(const uchar* const* rows, int count, bool fromBottom, qsizetype at, uchar* out) {
    for (int k = 0; k + 1 < count; ++k, out += Bytes)
        CopyPixel<Moved>(out, rows[fromBottom ? count - 1 - k : k] + at);
    CopyPixel<Bytes>(out, rows[fromBottom ? 0 : count - 1] + at);
}

// Orientations 5 to 8: stored column x becomes upright line x (or w-1-x),
// so the strip's column is one run of neighbouring pixels in that line. The
// strip's rows stay in the cache while the columns are walked across them;
// the lines lie far apart, so each one's run is fetched a few columns ahead
// (without that a turned photo took twice the upright one's decode).
template <int Bytes>
void PlaceAsColumns(const uchar* const* rows, int first, int count, QSize stored, int orientation, uchar* upright,
                    qsizetype stride) {
    constexpr int kAhead = 8;
    const int w = stored.width(), h = stored.height();
    const bool fromBottom = orientation == 6 || orientation == 7;
    const bool fromRight = orientation == 7 || orientation == 8;
    // Where the run starts in its line: rows from the bottom go right to left.
    const qsizetype lowest = qsizetype(fromBottom ? h - first - count : first) * Bytes;
    const auto line = [&](int x) { return upright + qsizetype(fromRight ? w - 1 - x : x) * stride + lowest; };
    for (int x = 0; x < w; ++x) {
        if (x + kAhead < w)
            for (qsizetype at = 0; at < qsizetype(count) * Bytes + 64; at += 64)
                __builtin_prefetch(line(x + kAhead) + at, 1);
        // The last column's fourth byte would lie past its row.
        if (Bytes == 3 && x + 1 < w)
            PlaceRun<Bytes, 4>(rows, count, fromBottom, qsizetype(x) * Bytes, line(x));
        else
            PlaceRun<Bytes, Bytes>(rows, count, fromBottom, qsizetype(x) * Bytes, line(x));
    }
}

template <int Bytes>
void Place(const uchar* const* rows, int first, int count, QSize stored, int orientation, uchar* upright,
           qsizetype stride) {
    if (orientation >= 5 && orientation <= 8)
        PlaceAsColumns<Bytes>(rows, first, count, stored, orientation, upright, stride);
    else
        PlaceAsRows<Bytes>(rows, first, count, stored, orientation, upright, stride);
}

}  // namespace

// Stored pixel (x, y) of a w x h raster lands at upright
//   1 (x, y)            2 (w-1-x, y)        3 (w-1-x, h-1-y)    4 (x, h-1-y)
//   5 (y, x)            6 (h-1-y, x)        7 (h-1-y, w-1-x)    8 (y, w-1-x)
void PlaceRows(const uchar* const* rows, int first, int count, QSize stored, int orientation, int bytesPerPixel,
               uchar* upright, qsizetype uprightStride) {
    switch (bytesPerPixel) {
    case 1:
        return Place<1>(rows, first, count, stored, orientation, upright, uprightStride);
    case 3:
        return Place<3>(rows, first, count, stored, orientation, upright, uprightStride);
    case 4:
        return Place<4>(rows, first, count, stored, orientation, upright, uprightStride);
    default:
        throw std::invalid_argument("PlaceRows: 1, 3 or 4 bytes a pixel");
    }
}

}  // namespace photo
