// SPDX-License-Identifier: GPL-3.0-or-later
#include "photo/orientation.h"

#include <QBuffer>
#include <QImageIOHandler>
#include <QImageReader>

#include <cstring>

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

// Stored pixel (x, y) of a w x h raster lands at upright
//   1 (x, y)            2 (w-1-x, y)        3 (w-1-x, h-1-y)    4 (x, h-1-y)
//   5 (y, x)            6 (h-1-y, x)        7 (h-1-y, w-1-x)    8 (y, w-1-x)
void PlaceRows(const uchar* const* rows, int first, int count, QSize stored, int orientation, int bytesPerPixel,
               uchar* upright, qsizetype uprightStride) {
    const int w = stored.width(), h = stored.height();
    const size_t bpp = static_cast<size_t>(bytesPerPixel);
    if (orientation < 5 || orientation > 8) {
        const bool mirrored = orientation == 2 || orientation == 3;
        const bool upsideDown = orientation == 3 || orientation == 4;
        for (int i = 0; i < count; ++i) {
            const int y = first + i;
            uchar* line = upright + static_cast<qsizetype>(upsideDown ? h - 1 - y : y) * uprightStride;
            if (!mirrored) {
                std::memcpy(line, rows[i], static_cast<size_t>(w) * bpp);
                continue;
            }
            for (int x = 0; x < w; ++x)
                std::memcpy(line + (w - 1 - x) * bpp, rows[i] + x * bpp, bpp);
        }
        return;
    }
    // A stored row becomes an upright column. Column by column, the strip's
    // rows give a run of neighbouring pixels in one upright line, so each
    // line is touched once a strip rather than once a pixel.
    const bool fromBottom = orientation == 6 || orientation == 7;
    const bool fromRight = orientation == 7 || orientation == 8;
    for (int x = 0; x < w; ++x) {
        uchar* line = upright + static_cast<qsizetype>(fromRight ? w - 1 - x : x) * uprightStride;
        for (int i = 0; i < count; ++i) {
            const int y = first + i;
            std::memcpy(line + (fromBottom ? h - 1 - y : y) * bpp, rows[i] + x * bpp, bpp);
        }
    }
}

}  // namespace photo
