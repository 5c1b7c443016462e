// SPDX-License-Identifier: GPL-3.0-or-later
// The face check against OpenCV's own calls, which it replaces: for every
// JPEG fixture the decoding gives the same pixels byte for byte and the same
// refusals (a refusal sends the check to the photo's own decoder), and the
// banded search the same faces.
#include <QDirIterator>
#include <QFile>
#include <QtTest>

#include <algorithm>
#include <tuple>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "face/detector.h"
#include "photo/jpeg_decoder.h"
#include "photo/jpeg_error.h"
#include "photo/orientation.h"

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<cv::Rect> Sorted(std::vector<cv::Rect> faces) {
    std::sort(faces.begin(), faces.end(), [](const cv::Rect& a, const cv::Rect& b) {
        return std::tie(a.x, a.y, a.width, a.height) < std::tie(b.x, b.y, b.width, b.height);
    });
    return faces;
}

bool Thrown(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception&) {
        return true;
    }
    return false;
}

// OpenCV's loader turns the photo by its EXIF orientation, as the screen does.
cv::Mat OpenCvDecode(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return {};
    const cv::Mat raw(1, int(bytes.size()), CV_8UC1, const_cast<char*>(bytes.constData()));
    return cv::imdecode(raw, cv::IMREAD_COLOR);
}

}  // namespace

class TestFaceIdentity : public QObject {
    Q_OBJECT

private slots:
    void sameImageAsOpenCv_data() { Fixtures(); }
    void sameFacesAsOpenCv_data() { Fixtures(); }

    void sameImageAsOpenCv() {
        QFETCH(QString, path);
        const QByteArray bytes = ReadAll(path);
        // Hostile sizes are refused before any allocation (OpenCV allows up
        // to 2^30 pixels); headers of 100 megapixels and more are left to
        // the decoder's own tests, as OpenCV takes seconds over each.
        try {
            const QSize size = photo::ReadJpegHeader(bytes).UprightSize();
            if (double(size.width()) * size.height() >= 1e8)
                QSKIP("a header-only file of 100 megapixels or more");
        } catch (const photo::JpegError&) {
        } catch (const std::runtime_error&) {
            QVERIFY(face::DecodeLikeOpenCv(bytes, 1, CV_8UC3).empty());
            return;
        }
        const int orientation = photo::ReadOrientation(bytes);
        const cv::Mat ours = face::DecodeLikeOpenCv(bytes, orientation, CV_8UC3);
        const cv::Mat expected = OpenCvDecode(bytes);
        if (expected.empty() || ours.empty()) {
            // Ours gives up where OpenCV does, and past the scan limit of a
            // file that the tool refuses anyway.
            QVERIFY(ours.empty());
            QVERIFY(expected.empty() || Thrown([&] { photo::DecodeJpeg(bytes); }));
            return;
        }
        QCOMPARE(ours.type(), CV_8UC3);
        QCOMPARE(ours.size(), expected.size());
        QCOMPARE(cv::norm(ours, expected, cv::NORM_INF), 0.0);
        cv::Mat grey;
        cv::cvtColor(expected, grey, cv::COLOR_BGR2GRAY);
        QCOMPARE(cv::norm(face::DecodeLikeOpenCv(bytes, orientation, CV_8UC1), grey, cv::NORM_INF), 0.0);
    }

    // Run to the end, the banded search finds exactly detectMultiScale's
    // faces; stopped once it knows, the same faces on every fixture.
    void sameFacesAsOpenCv() {
        QFETCH(QString, path);
        const QByteArray bytes = ReadAll(path);
        try {
            const QSize size = photo::ReadJpegHeader(bytes).UprightSize();
            if (double(size.width()) * size.height() > 4e6)
                QSKIP("a large header-only file: no face to search for");
        } catch (const std::runtime_error&) {
        }
        const cv::Mat image = face::DecodeUpright(bytes, photo::ReadOrientation(bytes));
        if (image.empty())
            QSKIP("no image");
        cv::CascadeClassifier classifier = face::MakeClassifier(QCoreApplication::applicationDirPath());
        std::vector<cv::Rect> expected;
        classifier.detectMultiScale(image, expected, 1.1, 2, cv::CASCADE_DO_CANNY_PRUNING, cv::Size(20, 20));
        const auto everything = face::SearchFaces(classifier, image, face::Search::Everything);
        QCOMPARE(Sorted(everything), Sorted(expected));
        QCOMPARE(Sorted(face::SearchFaces(classifier, image, face::Search::UntilKnown)), Sorted(expected));
    }

private:
    void Fixtures() {
        QTest::addColumn<QString>("path");
        QDirIterator it(QStringLiteral(EXAM_TESTDATA_DIR), {QStringLiteral("*.jpg")}, QDir::Files,
                        QDirIterator::Subdirectories);
        QStringList paths;
        while (it.hasNext())
            paths << it.next();
        paths.sort();
        for (const QString& path : paths) {
            // Only JPEG data reaches the face check: the window refuses
            // anything else first (OpenCV would read a PNG named .jpg).
            // Cut right after their scan header, these two come back from
            // OpenCV with rows it never wrote (leftover memory): nothing to
            // match there.
            if (!ReadAll(path).startsWith("\xFF\xD8\xFF") || path.endsWith(QLatin1String("/trunc_after_sos.jpg")) ||
                path.endsWith(QLatin1String("/trunc_after_sos_padded.jpg")))
                continue;
            QTest::newRow(qPrintable(QDir(QStringLiteral(EXAM_TESTDATA_DIR)).relativeFilePath(path))) << path;
        }
    }
};

QTEST_GUILESS_MAIN(TestFaceIdentity)
#include "test_face_identity.moc"
