// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The detector behind the face check, with OpenCV's types.
#include <memory>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/objdetect.hpp>

#include "face/face_check.h"

namespace face {

// The cascade file's name, looked for in the cascade folder.
inline constexpr const char* kCascadeFileName = "haarcascade_frontalface_alt.xml";

// The frontal-face cascade file, parsed: null until a load succeeds, then
// kept for the rest of the run. Resetting it makes the next check load the
// file again. Each check builds a classifier of its own from it.
extern std::unique_ptr<cv::FileStorage> FaceCascade;

// The face rectangles of the latest detection; empty after a failed one.
extern std::vector<cv::Rect> FaceRects;

// Photos larger than this are searched reduced to it (area averaging), so
// that the detector's memory stays near 1 GB whatever the photo's size.
inline constexpr double kMaxDetectPixels = 16000000;

// Runs the cascade on a three-channel BGR image as it is (reduced only above
// kMaxDetectPixels) and sets FaceRects (in the image's pixels) and
// FaceCount. Throws FaceCheckError, leaving FaceCount as
// it was, when no cascade is loaded or the image is empty.
void DetectFaces(const cv::Mat& image);

// Decodes JPEG bytes to a three-channel BGR image as stored (no EXIF
// orientation), with libjpeg exactly as OpenCV's loader does it
// (cv::imdecode with IMREAD_COLOR | IMREAD_IGNORE_ORIENTATION): library
// defaults, grey copied into all three channels, CMYK and YCCK by OpenCV's
// formula, a baseline file cut short finished with its last row repeated.
// Empty where OpenCV fails (a multi-scan file cut short, a broken file), for
// hostile sizes (photo::kMaxJpegSide, photo::kMaxJpegPixels) and for bytes
// that are no JPEG.
cv::Mat DecodeStoredBgr(const QByteArray& bytes);

// Decodes image file bytes as a three-channel BGR image turned upright by
// the file's EXIF orientation, the way the screen shows it: DecodeStoredBgr,
// or the photo's own decoder for the damaged files that it refuses. Empty
// when neither reads the bytes.
cv::Mat DecodeUpright(const QByteArray& bytes);

}  // namespace face
