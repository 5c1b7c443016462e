// SPDX-License-Identifier: GPL-3.0-or-later
#include "face/face_check.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <memory>
#include <mutex>
#include <new>

#include "face/detector.h"
#include "photo/jpeg_decoder.h"
#include "photo/jpeg_error.h"
#include "photo/orientation.h"

namespace face {

CascadeMissing::CascadeMissing(const QString& path)
    : std::runtime_error("cannot load the cascade " + path.toStdString()), path_(path) {}

ImageUnreadable::ImageUnreadable() : std::runtime_error("no image to check for faces") {}

DetectorFailure::DetectorFailure(const std::string& message) : std::runtime_error(message) {}

namespace {

// The parsed cascade file: the one thing checks share. Loaded under the lock
// by the first check that finds the file, then only read (under the lock too,
// as a classifier is built from it).
std::mutex CascadeLock;
std::unique_ptr<cv::FileStorage> FaceCascade;

// The check's parameters: scale step 1.1, two neighbours, Canny pruning, no
// maximum size. The flag is the one the tool has always asked for; the
// cascade here is read in the newer format, whose detector ignores it.
constexpr double kScaleStep = 1.1;
constexpr int kNeighbours = 2;
constexpr double kGroupEps = 0.2;  // what detectMultiScale groups with
constexpr int kFlags = cv::CASCADE_DO_CANNY_PRUNING;

// OpenCV's way of decoding gives up on some damaged files that libjpeg still
// reads (a progressive photo cut after its first scans): the window shows such
// a photo, so the check looks at the same pixels rather than call it unreadable.
cv::Mat DecodeWithPhotoDecoder(const QByteArray& bytes, int orientation, int type, const std::atomic<bool>* stop) {
    try {
        cv::Mat bgr = ToMat(photo::DecodeJpeg(bytes, orientation, nullptr, stop), CV_8UC3);
        if (type == CV_8UC1 && !bgr.empty())
            cv::cvtColor(bgr, bgr, cv::COLOR_BGR2GRAY);
        return bgr;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const photo::Stopped&) {
        throw;
    } catch (const std::exception&) {
        return {};
    }
}

std::vector<cv::Rect> Grouped(std::vector<cv::Rect> candidates) {
    cv::groupRectangles(candidates, kNeighbours, kGroupEps);
    return candidates;
}

// What detectMultiScale does last: each group clipped to the image.
std::vector<cv::Rect> Clipped(const std::vector<cv::Rect>& faces, cv::Size size) {
    std::vector<cv::Rect> clipped;
    for (const cv::Rect& face : faces) {
        const cv::Rect r = face & cv::Rect(cv::Point(0, 0), size);
        if (r.area() > 0)
            clipped.push_back(r);
    }
    return clipped;
}

}  // namespace

cv::Mat ToMat(const QImage& picture, int type) {
    if (picture.isNull())
        return {};
    const QImage bgr = picture.convertToFormat(type == CV_8UC1 ? QImage::Format_Grayscale8 : QImage::Format_BGR888);
    if (bgr.isNull())
        throw std::bad_alloc();
    return cv::Mat(bgr.height(), bgr.width(), type, const_cast<uchar*>(bgr.constBits()),
                   static_cast<size_t>(bgr.bytesPerLine()))
        .clone();
}

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

QString CascadePath(const QString& cascadeFolder, const char* fileName) {
    QString folder = cascadeFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QLatin1String(fileName);
}

std::unique_ptr<cv::FileStorage> LoadCascade(const QString& path) {
    auto cascade = std::make_unique<cv::FileStorage>();
    bool loaded = false;
    // A relative folder would mean the current directory, which is never
    // where the cascade is looked for.
    if (!QDir::isRelativePath(path) && QFileInfo(path).isFile()) {
        try {
            loaded = cascade->open(QFile::encodeName(path).toStdString(), cv::FileStorage::READ) &&
                     cv::CascadeClassifier().read(cascade->getFirstTopLevelNode());
        } catch (const cv::Exception&) {
            loaded = false;  // a damaged file counts as a missing one
        }
    }
    if (!loaded)
        throw CascadeMissing(path);
    return cascade;
}

cv::CascadeClassifier MakeClassifier(const QString& cascadeFolder) {
    const QString path = CascadePath(cascadeFolder, kCascadeFileName);
    std::lock_guard<std::mutex> lock(CascadeLock);
    if (!FaceCascade)
        FaceCascade = LoadCascade(path);
    cv::CascadeClassifier classifier;
    if (!classifier.read(FaceCascade->getFirstTopLevelNode()))
        throw CascadeMissing(path);
    return classifier;
}

void ForgetCascade() {
    std::lock_guard<std::mutex> lock(CascadeLock);
    FaceCascade.reset();
}

cv::Mat DecodeUpright(const QByteArray& bytes, int orientation, int type, const std::atomic<bool>* stop) {
    if (bytes.isEmpty())
        return {};
    const cv::Mat image = DecodeLikeOpenCv(bytes, orientation, type, stop);
    return image.empty() ? DecodeWithPhotoDecoder(bytes, orientation, type, stop) : image;
}

std::vector<Band> SearchBands(const cv::CascadeClassifier& classifier, cv::Size image) {
    // Listed as detectMultiScale lists them: the factor grows in double, the
    // window is sized from it, and the factor is then kept as a float, from
    // which the window is sized again when the sizes are picked.
    const cv::Size window = classifier.getOriginalWindowSize();
    // Bands are sized by their width alone, as is every search window below.
    CV_Assert(window.width == window.height);
    std::vector<Band> bands;
    double doubling = 2;
    for (double factor = 1;; factor *= kScaleStep) {
        if (cvRound(window.width * factor) > image.width || cvRound(window.height * factor) > image.height)
            break;
        const float kept = static_cast<float>(factor);
        const int size = cvRound(window.width * kept);
        if (bands.empty() || factor >= doubling) {
            bands.push_back({size, size});
            if (factor >= doubling)
                doubling *= 2;
        }
        bands.back().largest = size;
    }
    return bands;
}

std::vector<cv::Rect> SearchFaces(cv::CascadeClassifier& classifier, const cv::Mat& image, Search search,
                                  const std::atomic<bool>* stop) {
    // Grey once for all bands, as detectMultiScale would for each call.
    cv::Mat grey = image;
    if (image.channels() > 1)
        cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
    // Square, as SearchBands makes sure.
    const auto sized = [](int width) { return cv::Size(width, width); };
    const std::vector<Band> bands = SearchBands(classifier, grey.size());
    // Large faces first: a portrait's face is among the largest sizes, which
    // cost little, while the smallest cost nearly all. The unclipped raw
    // candidates of every band searched are grouped together, as one call
    // would group them; adding candidates only merges or grows groups, so
    // once a group stands the full search finds a face too.
    std::vector<cv::Rect> candidates;
    bool faceKnown = false;
    for (auto band = bands.rbegin(); band != bands.rend(); ++band) {
        if (stop && *stop)
            throw photo::Stopped();
        std::vector<cv::Rect> found;
        classifier.cc->detectMultiScale(grey, found, kScaleStep, 0, kFlags, sized(band->smallest),
                                        sized(band->largest));
        candidates.insert(candidates.end(), found.begin(), found.end());
        if (search == Search::Everything)
            continue;
        // One band past the first face, so that its own candidates from the
        // next sizes join its group.
        if (faceKnown)
            break;
        faceKnown = !Grouped(candidates).empty();
    }
    return Clipped(Grouped(std::move(candidates)), grey.size());
}

std::vector<cv::Rect> DetectFaces(cv::CascadeClassifier& classifier, const cv::Mat& image, Search search,
                                  const std::atomic<bool>* stop) {
    // The detector's pyramid takes some kDetectorBytesPerPixel, which for a
    // 200-megapixel photo is more memory than most machines have: larger
    // photos are searched at kMaxDetectPixels, their faces mapped back.
    if (!SearchedReduced(static_cast<double>(image.total())))
        return SearchFaces(classifier, image, search, stop);
    const double factor = std::sqrt(kMaxDetectPixels / static_cast<double>(image.total()));
    cv::Mat searched;
    cv::resize(image, searched, cv::Size(), factor, factor, cv::INTER_AREA);
    std::vector<cv::Rect> faces = SearchFaces(classifier, searched, search, stop);
    for (cv::Rect& r : faces)
        r = cv::Rect(cv::Point(int(r.x / factor), int(r.y / factor)),
                     cv::Point(int((r.x + r.width) / factor), int((r.y + r.height) / factor)));
    return faces;
}

QVector<QRect> CountFaces(const QByteArray& jpeg, const photo::JpegHeader& header, const QString& cascadeFolder,
                          const std::atomic<bool>* stop) {
    try {
        // The cascade first: without it no photo could pass, whatever its bytes.
        cv::CascadeClassifier classifier = MakeClassifier(cascadeFolder);
        // The detector looks at grey only, so a photo is decoded straight to
        // its grey; one searched reduced is reduced from its colours.
        const bool reduced = SearchedReduced(double(header.width) * header.height);
        const cv::Mat image = DecodeUpright(jpeg, header.orientation, reduced ? CV_8UC3 : CV_8UC1, stop);
        if (image.empty())
            throw ImageUnreadable();
        QVector<QRect> faces;
        for (const cv::Rect& r : DetectFaces(classifier, image, Search::UntilKnown, stop))
            faces.push_back(QRect(r.x, r.y, r.width, r.height));
        return faces;
    } catch (const cv::Exception& e) {
        if (e.code == cv::Error::StsNoMem)
            throw std::bad_alloc();
        throw DetectorFailure(e.msg);
    }
}

SearchOnOneThread::SearchOnOneThread() : threads_(cv::getNumThreads()) {
    cv::setNumThreads(1);
}

SearchOnOneThread::~SearchOnOneThread() {
    cv::setNumThreads(threads_);
}

qint64 CheckBytes(const photo::JpegHeader& header) {
    const qint64 pixels = qint64(header.width) * header.height;
    const bool reduced = SearchedReduced(double(pixels));
    const qint64 searched = std::min<qint64>(pixels, qint64(kMaxDetectPixels));
    return pixels * (reduced ? 3 : 1) + (reduced ? searched * 3 : 0) + searched * kDetectorBytesPerPixel;
}

QVector<QRect> CountFaces(const QByteArray& jpeg, const QString& cascadeFolder, const std::atomic<bool>* stop) {
    photo::JpegHeader header;
    try {
        header = photo::ReadJpegHeader(jpeg);
    } catch (const std::exception&) {
        // Not a readable header: the decode says so, once the cascade is known.
    }
    return CountFaces(jpeg, header, cascadeFolder, stop);
}

}  // namespace face
