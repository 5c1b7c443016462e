// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// EXIF orientation: phones store an upright portrait as a sideways raster plus
// a tag. The screen and the face check both turn the photo upright through
// these two functions, so that they always agree.
#include <QByteArray>
#include <QImage>

namespace photo {

// The EXIF orientation (1 to 8) of a JPEG file's bytes; 1 when it has none or
// the tag cannot be read.
int ReadOrientation(const QByteArray& file);

// The image turned upright for that orientation. Keeps the image's format,
// palette included; orientation 1 (or any unknown value) returns it as it is.
QImage ApplyOrientation(const QImage& image, int orientation);

}  // namespace photo
