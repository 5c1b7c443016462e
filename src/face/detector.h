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

// The frontal-face cascade: null until a load succeeds, then kept for the
// rest of the run. Resetting it makes the next check load the file again.
extern std::unique_ptr<cv::CascadeClassifier> FaceCascade;

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

// Decodes image file bytes as a three-channel BGR image turned upright by
// the file's EXIF orientation, the way the screen shows it. Empty when the
// bytes are no image.
cv::Mat DecodeUpright(const QByteArray& bytes);

}  // namespace face
