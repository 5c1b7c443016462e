// SPDX-License-Identifier: GPL-3.0-or-later
#include "photo/orientation.h"

#include <QBuffer>
#include <QImageIOHandler>
#include <QImageReader>

#include "photo/jpeg_decoder.h"

namespace photo {

int ReadOrientation(const QByteArray& file) {
    // Qt's JPEG reader reports libjpeg's complaints as warnings; bytes that
    // libjpeg cannot read at all never reach it.
    if (!IsReadableJpeg(file))
        return 1;
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

namespace {

// Orientations 5 to 8 swap the sides. Upright pixel (x, y) comes from the
// stored pixel given by the tag's meaning:
//   5 transpose        (y, x)
//   6 rotate 90 cw     (y, h-1-x)
//   7 transverse       (w-1-y, h-1-x)
//   8 rotate 90 ccw    (w-1-y, x)
// where w and h are the stored width and height. Whole pixels are copied as
// bytes, so any 8-, 24- or 32-bit format (palette included) stays as it is.
QImage Transpose(const QImage& image, int orientation) {
    const int w = image.width(), h = image.height();
    QImage out(h, w, image.format());
    if (out.isNull())
        return out;
    out.setColorTable(image.colorTable());
    const int bpp = image.depth() / 8;
    const qsizetype stride = image.bytesPerLine();
    const bool from_right = orientation == 7 || orientation == 8;
    const bool from_bottom = orientation == 6 || orientation == 7;
    for (int y = 0; y < w; ++y) {
        const int sx = from_right ? w - 1 - y : y;
        const uchar* src = image.constBits() + static_cast<qsizetype>(sx) * bpp +
                           (from_bottom ? (h - 1) * stride : 0);
        const qsizetype step = from_bottom ? -stride : stride;
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < h; ++x, src += step, dst += bpp)
            for (int b = 0; b < bpp; ++b)
                dst[b] = src[b];
    }
    return out;
}

}  // namespace

QImage ApplyOrientation(const QImage& image, int orientation) {
    if (image.isNull() || orientation < 2 || orientation > 8)
        return image;
    switch (orientation) {
    case 2: return image.mirrored(true, false);
    case 3: return image.mirrored(true, true);
    case 4: return image.mirrored(false, true);
    default:
        break;
    }
    if (image.depth() % 8 != 0)  // 1-bit images: whole bytes are needed
        return Transpose(image.convertToFormat(QImage::Format_Indexed8), orientation);
    return Transpose(image, orientation);
}

}  // namespace photo
