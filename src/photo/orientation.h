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
// orientation. Each pixel is `bytesPerPixel` whole bytes, so any 8-, 24- or
// 32-bit layout, palette indexes included, turns as it is.
void PlaceRows(const uchar* const* rows, int first, int count, QSize stored, int orientation, int bytesPerPixel,
               uchar* upright, qsizetype uprightStride);

}  // namespace photo
