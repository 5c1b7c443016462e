// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The detector behind the face check, with OpenCV's types.
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/objdetect.hpp>

#include "face/face_check.h"

namespace face {

// The cascade file's name, looked for in the cascade folder.
inline constexpr const char* kCascadeFileName = "haarcascade_frontalface_alt.xml";

// Photos larger than this are searched reduced to it (area averaging), so
// that the detector's memory stays near 1 GB whatever the photo's size.
inline constexpr double kMaxDetectPixels = 16000000;

// A classifier of the check's own, built from the cascade parsed once per run
// (loaded at the first call that finds the file). Throws CascadeMissing.
cv::CascadeClassifier MakeClassifier(const QString& cascadeFolder);
// Forgets the parsed cascade, so that the next check loads the file again.
void ForgetCascade();

// The window sizes that detectMultiScale visits on an image of this size,
// smallest first, each in the band of sizes searched in one call: the
// sizes below twice the cascade's window (searched at every second pixel,
// so in one call from the smallest), then one doubling a band.
struct Band {
    int smallest;
    int largest;
};
std::vector<Band> SearchBands(const cv::CascadeClassifier& classifier, cv::Size image);

// detectMultiScale with the check's parameters, searched band by band from
// the largest faces down. UntilKnown stops one band after the first face
// (that band's candidates join the face's group); Everything gives exactly
// detectMultiScale's rectangles.
// Between bands the search ends with photo::Stopped once `stop` is set.
enum class Search { UntilKnown, Everything };
std::vector<cv::Rect> SearchFaces(cv::CascadeClassifier& classifier, const cv::Mat& image, Search search,
                                  const std::atomic<bool>* stop = nullptr);

// The faces of a BGR or grey image as it is (reduced above kMaxDetectPixels, the
// faces mapped back). Throws std::bad_alloc when OpenCV runs out of memory.
std::vector<cv::Rect> DetectFaces(cv::CascadeClassifier& classifier, const cv::Mat& image,
                                  Search search = Search::UntilKnown, const std::atomic<bool>* stop = nullptr);

// Decodes JPEG bytes to a three-channel BGR image as stored (no EXIF
// orientation), with libjpeg exactly as OpenCV's loader does it
// (cv::imdecode with IMREAD_COLOR | IMREAD_IGNORE_ORIENTATION): library
// defaults, grey copied into all three channels, CMYK and YCCK by OpenCV's
// formula, a baseline file cut short finished with its last row repeated.
// Empty where OpenCV fails (a multi-scan file cut short, a broken file), for
// hostile sizes (photo::kMaxJpegSide, photo::kMaxJpegPixels) and for bytes
// that are no JPEG.
cv::Mat DecodeStoredBgr(const QByteArray& bytes, const std::atomic<bool>* stop = nullptr);
// The same image's grey, as the detector makes it (cvtColor), without ever
// holding the colour image whole. Both end with photo::Stopped once `stop`
// is set.
cv::Mat DecodeStoredGrey(const QByteArray& bytes, const std::atomic<bool>* stop = nullptr);

// Decodes image file bytes as a three-channel BGR image (or its grey, for
// CV_8UC1) turned upright by the file's EXIF orientation, the way the screen
// shows it: DecodeStoredBgr, or the photo's own decoder for the damaged files
// that it refuses. Empty when neither reads the bytes.
cv::Mat DecodeUpright(const QByteArray& bytes, int type = CV_8UC3, const std::atomic<bool>* stop = nullptr);

}  // namespace face
