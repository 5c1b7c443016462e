// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// EXIF orientation: phones store an upright portrait as a sideways raster plus
// a tag. The screen and the face check both turn the photo upright through
// PlaceRows, so that they always agree; the decoders place each strip of rows
// where it belongs as they decode it, so no sideways copy is ever held.
#include <QByteArray>
#include <QSize>
#include <QtGlobal>

namespace photo {

// The EXIF orientation (1 to 8) of a JPEG file's bytes; 1 when it has none or
// the tag cannot be read.
int ReadOrientation(const QByteArray& file);
// The same for bytes from which libjpeg has already read a header.
int ReadOrientationOfJpeg(const QByteArray& file);

// The upright size of a stored raster: the sides swapped for 5 to 8.
QSize UprightSize(QSize stored, int orientation);

// Copies `count` rows of a stored raster of size `stored`, from stored row
// `first` on (rows[i] is row first + i), into the upright image for the
// orientation. Each pixel is `bytesPerPixel` whole bytes (1, 3 or 4), so any
// 8-, 24- or 32-bit layout, palette indexes included, turns as it is.
void PlaceRows(const uchar* const* rows, int first, int count, QSize stored, int orientation, int bytesPerPixel,
               uchar* upright, qsizetype uprightStride);

// A decoder reads its rows a strip at a time and places each strip upright
// as one block: a turned photo is then written in tiles, not a pixel a line.
constexpr int kStripRows = 64;

// Where a decoder puts stored row y, and when the strip is to be placed.
// Plain data, so that it may live between libjpeg's jump points.
struct UprightStrip {
    QSize stored;
    int orientation = 1;
    int bytesPerPixel = 3;
    uchar* upright = nullptr;  // the upright image's first line
    qsizetype stride = 0;      // its bytes a line
    uchar** rows = nullptr;    // kStripRows rows of the stored width; unused for an upright photo

    // Stored row y's buffer: its own line of an upright photo, else its row of the strip.
    uchar* Row(int y) const {
        return orientation == 1 ? upright + qsizetype(y) * stride : rows[y % kStripRows];
    }
    // Whether row y ends a strip: the strip's last row, or the photo's.
    bool Ends(int y) const { return y % kStripRows == kStripRows - 1 || y == stored.height() - 1; }
    // Places the strip that row y ended (nothing to do for an upright photo).
    void Place(int y) const {
        if (orientation != 1)
            PlaceRows(rows, y - y % kStripRows, y % kStripRows + 1, stored, orientation, bytesPerPixel, upright,
                      stride);
    }
};

}  // namespace photo
