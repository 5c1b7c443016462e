// SPDX-License-Identifier: GPL-3.0-or-later
#include "face/eye_check.h"

#include <opencv2/imgproc.hpp>

#include <memory>
#include <mutex>
#include <new>

#include "face/detector.h"

namespace face {

namespace {

// The parsed eye cascade as a classifier, kept for the run: reading one from
// the file's nodes takes about a millisecond, three times a search. A
// classifier's search writes its own buffers, so searches take turns on it
// under the lock; one takes well under a millisecond.
std::mutex EyeLock;
std::unique_ptr<cv::CascadeClassifier> EyeCascade;

// The face is searched scaled to this width. Its eyes are a sixth to a
// quarter of the face box's width (0.16 to 0.24 in the fixtures and the real
// portraits), which at 200 x 280 (faces of 55 to 125 pixels) is often below
// the cascade's 20-pixel window; scaled to 120 they are 19 to 29 pixels. The
// search's cost grows with the square of the width.
constexpr int kSearchedFaceWidth = 120;
// The band of the face box searched, as shares of its height: the eyes'
// boxes lie within 0.23 to 0.52 of it. Above is forehead and hair; below,
// the cheeks and the nose, where the cascade looks deepest: searched down
// to 0.6, a face took three times as long.
constexpr double kBandTop = 0.16, kBandBottom = 0.5;
// Eyes up to this share of the face's width, with this step between sizes:
// every eye of the fixtures and the real portraits, and few enough sizes to
// stay cheap (1.15, with faces scaled to 130, took 40 % longer and measured
// the tilt no better).
constexpr double kLargestEye = 0.32;
constexpr double kScaleStep = 1.2;
// Three neighbours keep the eyebrows' and the nostrils' single hits out.
constexpr int kNeighbours = 3;

cv::CascadeClassifier& LoadedEyeCascade(const QString& cascadeFolder) {
    if (!EyeCascade) {
        const QString path = CascadePath(cascadeFolder, kEyeCascadeFileName);
        const std::unique_ptr<cv::FileStorage> file = LoadCascade(path);
        auto classifier = std::make_unique<cv::CascadeClassifier>();
        if (!classifier->read(file->getFirstTopLevelNode()))
            throw CascadeMissing(path);
        EyeCascade = std::move(classifier);
    }
    return *EyeCascade;
}

// The face's band of eyes turned back by `degrees` about the face's centre
// and scaled to kSearchedFaceWidth; `back` maps its pixels to the photo's.
cv::Mat TurnedEyeBand(const QImage& photo, const QRect& face, double degrees, cv::Mat& back) {
    const double scale = double(kSearchedFaceWidth) / face.width(), height = face.height() * scale;
    const cv::Point2f centre(face.x() + face.width() / 2.0f, face.y() + face.height() / 2.0f);
    cv::Mat turn = cv::getRotationMatrix2D(centre, degrees, scale);
    turn.at<double>(0, 2) += kSearchedFaceWidth / 2.0 - centre.x;
    turn.at<double>(1, 2) += height * (0.5 - kBandTop) - centre.y;
    cv::invertAffineTransform(turn, back);
    cv::Mat band;
    cv::warpAffine(ToMat(photo, CV_8UC1), band, turn,
                   cv::Size(kSearchedFaceWidth, cvRound(height * (kBandBottom - kBandTop))), cv::INTER_LINEAR,
                   cv::BORDER_REPLICATE);
    return band;
}

// The cascade's groups sometimes find one eye at two sizes: boxes whose
// centres lie inside each other count once, between them and of their mean size.
QVector<QRectF> OncePerEye(QVector<QRectF> eyes) {
    for (int i = 0; i < eyes.size(); ++i)
        for (int j = eyes.size() - 1; j > i; --j)
            if (eyes[i].contains(eyes[j].center()) && eyes[j].contains(eyes[i].center())) {
                const QPointF centre = (eyes[i].center() + eyes[j].center()) / 2;
                eyes[i].setSize((eyes[i].size() + eyes[j].size()) / 2);
                eyes[i].moveCenter(centre);
                eyes.removeAt(j);
            }
    return eyes;
}

}  // namespace

QVector<QRectF> FindEyes(const QImage& photo, const QRect& face, double degrees, const QString& cascadeFolder) {
    try {
        cv::Mat band, back;
        if (face.width() >= 4 && face.height() >= 4)
            band = TurnedEyeBand(photo, face, degrees, back);
        std::vector<cv::Rect> found;
        {
            std::lock_guard<std::mutex> lock(EyeLock);
            // The cascade first: a broken install is told whatever the photo.
            cv::CascadeClassifier& classifier = LoadedEyeCascade(cascadeFolder);
            const int largest = cvRound(kLargestEye * kSearchedFaceWidth);
            if (!band.empty())
                classifier.detectMultiScale(band, found, kScaleStep, kNeighbours, 0, cv::Size(),
                                            cv::Size(largest, largest));
        }
        QVector<QRectF> eyes;
        for (const cv::Rect& r : found) {
            const cv::Point2d c(r.x + r.width / 2.0, r.y + r.height / 2.0);
            const QPointF at(back.at<double>(0, 0) * c.x + back.at<double>(0, 1) * c.y + back.at<double>(0, 2),
                             back.at<double>(1, 0) * c.x + back.at<double>(1, 1) * c.y + back.at<double>(1, 2));
            const QSizeF size(QSizeF(r.width, r.height) * face.width() / kSearchedFaceWidth);
            eyes.push_back(QRectF(at - QPointF(size.width() / 2, size.height() / 2), size));
        }
        return OncePerEye(eyes);
    } catch (const cv::Exception& e) {
        if (e.code == cv::Error::StsNoMem)
            throw std::bad_alloc();
        throw DetectorFailure(e.msg);
    }
}

void ForgetEyeCascade() {
    std::lock_guard<std::mutex> lock(EyeLock);
    EyeCascade.reset();
}

}  // namespace face
