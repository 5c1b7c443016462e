// SPDX-License-Identifier: GPL-3.0-or-later
#include "face/face_check.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <opencv2/imgproc.hpp>

#include <cmath>

#include "face/detector.h"
#include "photo/file_reader.h"
#include "photo/jpeg_decoder.h"
#include "photo/orientation.h"

namespace face {

int FaceCount = 0;
std::unique_ptr<cv::FileStorage> FaceCascade;
std::vector<cv::Rect> FaceRects;

namespace {

// The classifier built from the parsed cascade. It keeps the detector's
// buffers for the largest photo it has searched (850 MiB after a 16 MP
// search), so it is dropped after a search this large and built afresh at
// the next check (6 ms); small photos, such as every upload, reuse it.
std::unique_ptr<cv::CascadeClassifier> Detector;
constexpr double kKeepDetectorPixels = 1000000;

[[noreturn]] void Fail(const QString& message) {
    throw FaceCheckError(message.toStdString());
}

// Loads the cascade from the folder unless an earlier check already has; a
// failed load leaves no cascade, so the next check tries again.
void EnsureCascade(QString folder) {
    if (FaceCascade)
        return;
    Detector.reset();
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const QString path = folder + QLatin1String(kCascadeFileName);
    auto cascade = std::make_unique<cv::FileStorage>();
    bool loaded = false;
    // A relative folder would mean the current directory, which is never
    // where the cascade is looked for.
    if (!QDir::isRelativePath(folder) && QFileInfo(path).isFile()) {
        try {
            loaded = cascade->open(QFile::encodeName(path).toStdString(), cv::FileStorage::READ) &&
                     cv::CascadeClassifier().read(cascade->getFirstTopLevelNode());
        } catch (const cv::Exception&) {
            loaded = false;  // a damaged file counts as a missing one
        }
    }
    if (!loaded)
        Fail(QStringLiteral("Cannot load the face cascade \"%1\".").arg(path));
    FaceCascade = std::move(cascade);
}

// The picture as a three-channel BGR image of its own; clone() copies the
// pixels out before the QImage (which may share its buffer) goes away.
cv::Mat ToBgrMat(const QImage& picture) {
    if (picture.isNull())
        return {};
    const QImage bgr = picture.convertToFormat(QImage::Format_BGR888);
    return cv::Mat(bgr.height(), bgr.width(), CV_8UC3, const_cast<uchar*>(bgr.constBits()),
                   static_cast<size_t>(bgr.bytesPerLine()))
        .clone();
}

// OpenCV's way of decoding gives up on some damaged files that libjpeg still
// reads (a progressive photo cut after its first scans): the window shows such
// a photo, so the check looks at the same pixels rather than call it unreadable.
cv::Mat DecodeWithPhotoDecoder(const QByteArray& bytes) {
    try {
        return ToBgrMat(photo::DecodeJpeg(bytes));
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace

QString ProgramFolder() {
    // The kernel's link to the running executable resolves symbolic links
    // and does not depend on argv[0] or the current directory.
    QString executable = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    if (executable.isEmpty() && QCoreApplication::instance())
        executable = QCoreApplication::applicationFilePath();
    if (executable.isEmpty())
        return QString();  // unknown; the cascade load then fails
    return QFileInfo(executable).absolutePath() + QLatin1Char('/');
}

cv::Mat DecodeUpright(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return {};
    const cv::Mat image = DecodeStoredBgr(bytes);
    if (image.empty())
        return DecodeWithPhotoDecoder(bytes);
    const int orientation = photo::ReadOrientation(bytes);
    if (orientation == 1)
        return image;
    const QImage wrapped(image.data, image.cols, image.rows,
                         static_cast<qsizetype>(image.step), QImage::Format_BGR888);
    return ToBgrMat(photo::ApplyOrientation(wrapped, orientation));
}

void DetectFaces(const cv::Mat& image) {
    FaceRects.clear();
    // detectMultiScale returns no faces for an empty image and throws a long
    // library message for an empty cascade, so both are caught here.
    if (!FaceCascade)
        Fail(QStringLiteral("No face cascade is loaded."));
    if (image.empty())
        Fail(QStringLiteral("There is no image to check for faces."));
    std::vector<cv::Rect> rects;
    try {
        // The detector's pyramid takes some 46 bytes per pixel, which for a
        // 200-megapixel photo is more memory than most machines have: larger
        // photos are searched at kMaxDetectPixels, their faces mapped back.
        cv::Mat searched = image;
        double factor = 1.0;
        if (static_cast<double>(image.total()) > kMaxDetectPixels) {
            factor = std::sqrt(kMaxDetectPixels / static_cast<double>(image.total()));
            cv::resize(image, searched, cv::Size(), factor, factor, cv::INTER_AREA);
        }
        if (!Detector || Detector->empty()) {
            Detector = std::make_unique<cv::CascadeClassifier>();
            Detector->read(FaceCascade->getFirstTopLevelNode());
        }
        // The Canny flag is ignored by the newer cascade format; it is passed
        // all the same so that an old-format cascade is run as intended.
        Detector->detectMultiScale(searched, rects, 1.1, 2, cv::CASCADE_DO_CANNY_PRUNING, cv::Size(20, 20),
                                   cv::Size());
        if (static_cast<double>(searched.total()) > kKeepDetectorPixels)
            Detector.reset();
        for (cv::Rect& r : rects)
            r = cv::Rect(cv::Point(int(r.x / factor), int(r.y / factor)),
                         cv::Point(int((r.x + r.width) / factor), int((r.y + r.height) / factor)));
    } catch (const cv::Exception&) {
        Fail(QStringLiteral("The face detector failed."));
    }
    FaceRects = std::move(rects);
    FaceCount = static_cast<int>(FaceRects.size());
}

void CountFaces(const QString& path) {
    CountFaces(path, ProgramFolder());
}

void CountFaces(const QString& path, const QString& cascadeFolder) {
    FaceRects.clear();
    EnsureCascade(cascadeFolder);
    cv::Mat image;
    try {
        image = DecodeUpright(photo::ReadWholeFile(path));
    } catch (const std::runtime_error&) {
        image.release();  // not a file that can be read: as if no image
    }
    if (image.empty())
        Fail(QStringLiteral("Cannot read the image \"%1\".").arg(path));
    DetectFaces(image);
}

QVector<QRect> FaceRectangles() {
    QVector<QRect> faces;
    for (const cv::Rect& r : FaceRects)
        faces.push_back(QRect(r.x, r.y, r.width, r.height));
    return faces;
}

void CountFacesInJpeg(const QByteArray& jpeg) {
    CountFacesInJpeg(jpeg, ProgramFolder());
}

void CountFacesInJpeg(const QByteArray& jpeg, const QString& cascadeFolder) {
    FaceRects.clear();
    EnsureCascade(cascadeFolder);
    const cv::Mat image = DecodeUpright(jpeg);
    if (image.empty())
        Fail(QStringLiteral("Cannot decode the JPEG data to check for faces."));
    DetectFaces(image);
}

}  // namespace face
