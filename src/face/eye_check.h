// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The eyes in a face, found with OpenCV's eye cascade. Like the face check,
// a search is a function of its picture; the one state searches share is
// the parsed cascade.
#include <QImage>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QVector>

#include "face/face_check.h"

namespace face {

// The cascade file's name, looked for in the cascade folder beside the face's.
inline constexpr const char* kEyeCascadeFileName = "haarcascade_eye.xml";

// The eyes found in `face` (a face the face check found in `photo`), in the
// band where eyes lie, searched with the face turned back by `degrees`
// (positive where the photo's right eye sits lower): the cascade finds eyes
// within about 8 degrees of level only. Each is a box centred on the eye, in
// the photo's pixels. The cascade is parsed at the first search that finds the file and
// kept for the run. Throws CascadeMissing (with the file's path),
// std::bad_alloc when memory runs out, and DetectorFailure for any other
// failure of OpenCV's.
QVector<QRectF> FindEyes(const QImage& photo, const QRect& face, double degrees = 0,
                         const QString& cascadeFolder = ProgramFolder());

// Forgets the parsed eye cascade, so that the next search loads the file again.
void ForgetEyeCascade();

}  // namespace face
