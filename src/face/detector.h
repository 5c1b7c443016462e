// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The detector behind the face check, with OpenCV's types.
#include <QImage>

#include <memory>
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
// What the detector's pyramid takes, in bytes a pixel searched, where the
// search visits every size.
inline constexpr qint64 kDetectorBytesPerPixel = 46;
inline bool SearchedReduced(double pixels) {
    return pixels > kMaxDetectPixels;
}

// The picture as a BGR (CV_8UC3) or grey (CV_8UC1) image of its own: the
// pixels are copied out, as a QImage may share its buffer. Empty for a null
// picture; throws std::bad_alloc when the conversion finds no memory.
cv::Mat ToMat(const QImage& picture, int type);

// The cascade file `fileName` in the folder (a trailing '/' optional).
QString CascadePath(const QString& cascadeFolder, const char* fileName);
// The cascade file at `path` opened and tried once; CascadeMissing when it is
// missing, in a relative folder, or no classifier can be read from it.
std::unique_ptr<cv::FileStorage> LoadCascade(const QString& path);

// A classifier of the check's own, built from the cascade parsed once per run
// (loaded at the first call that finds the file). Throws CascadeMissing when
// the file is missing or no classifier can be read from it.
cv::CascadeClassifier MakeClassifier(const QString& cascadeFolder);
// Forgets the parsed cascade, so that the next check loads the file again.
void ForgetCascade();

// The window sizes that detectMultiScale visits on an image of this size,
// smallest first, each in the band of sizes searched in one call: the
// sizes below twice the cascade's window, then one doubling a band.
//
// The first band starts at factor 1 and is one call, as detectMultiScale's
// own call would be: OpenCV cuts each call's image into stripes whose count
// follows the working size at that call's first scale, and below factor 2 it
// steps by two rows, so whether a scale visits its last odd row depends on
// that count. Split, or started at another factor, the small sizes would visit
// other rows than one call does. From factor 2 on every row is visited, and
// a band's first scale changes nothing.
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
// faces mapped back). Throws cv::Exception as OpenCV does.
std::vector<cv::Rect> DetectFaces(cv::CascadeClassifier& classifier, const cv::Mat& image,
                                  Search search = Search::UntilKnown, const std::atomic<bool>* stop = nullptr);

// Decodes JPEG bytes to a three-channel BGR image (CV_8UC3) with libjpeg
// exactly as OpenCV's loader does it (cv::imdecode with IMREAD_COLOR):
// library defaults, grey copied into all three channels, CMYK and YCCK by
// OpenCV's formula, a baseline file cut short finished with its last row
// repeated, turned upright for the EXIF orientation. Each strip of rows is
// placed upright as it is decoded, so no sideways copy is held; for CV_8UC1
// each strip is turned grey as the detector turns it (cvtColor) first, so the
// colour image is never held whole either. Empty where OpenCV fails (a
// multi-scan file cut short, a broken file), for hostile sizes
// (photo::IsHostileSize) and for bytes that are no JPEG; ends with
// photo::Stopped once `stop` is set.
cv::Mat DecodeLikeOpenCv(const QByteArray& bytes, int orientation, int type, const std::atomic<bool>* stop = nullptr);

// Decodes image file bytes as a three-channel BGR image (or its grey, for
// CV_8UC1) turned upright by the file's EXIF orientation (read once, from the
// header), the way the screen shows it: DecodeLikeOpenCv, or the photo's own
// decoder for the damaged files that it refuses. Empty when neither reads the
// bytes; throws std::bad_alloc when memory runs out.
cv::Mat DecodeUpright(const QByteArray& bytes, int orientation, int type = CV_8UC3,
                      const std::atomic<bool>* stop = nullptr);

}  // namespace face
