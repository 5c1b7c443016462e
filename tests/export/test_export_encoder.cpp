// The JPEG encoder against cjpeg, its stream layout, and the quality loop.
#include <QtTest>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <random>

#include "export/jpeg_encoder.h"
#include "photo/jpeg_error.h"

#include <jerror.h>

using upload::EncodeJpeg;
using upload::EncodeWithinLimit;
using upload::kUploadLimit;

namespace {

// A portrait-like test picture: smooth gradients with a deterministic grain
// whose strength sets how large the JPEG streams get.
QImage MakePicture(int w, int h, int grain, unsigned seed = 7) {
    QImage image(w, h, QImage::Format_RGB32);
    std::mt19937 noise(seed);
    std::uniform_int_distribution<int> jitter(-grain, grain);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int r = (x * 255) / std::max(1, w - 1) + jitter(noise);
            const int g = (y * 255) / std::max(1, h - 1) + jitter(noise);
            const int b = ((x + y) * 3) % 256 + jitter(noise);
            image.setPixel(x, y, qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255),
                                      std::clamp(b, 0, 255)));
        }
    }
    return image;
}

bool WritePpm(const QImage& picture, const QString& path) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QStringLiteral("P6\n%1 %2\n255\n").arg(rgb.width()).arg(rgb.height()).toLatin1());
    for (int y = 0; y < rgb.height(); ++y)
        file.write(reinterpret_cast<const char*>(rgb.constScanLine(y)), rgb.width() * 3);
    return file.error() == QFileDevice::NoError;
}

struct Segment {
    int marker;
    QByteArray payload;  // without the length field
};

// The marker segments up to and including the first scan header.
QList<Segment> HeaderSegments(const QByteArray& jpeg) {
    QList<Segment> segments;
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(jpeg.at(i)); };
    if (jpeg.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8)
        return segments;
    qsizetype i = 2;
    while (i + 4 <= jpeg.size() && byte(i) == 0xFF) {
        const int marker = byte(i + 1);
        const int length = byte(i + 2) << 8 | byte(i + 3);
        segments.append({marker, jpeg.mid(i + 4, length - 2)});
        if (marker == 0xDA)
            break;
        i += 2 + length;
    }
    return segments;
}

}  // namespace

class TestExportEncoder : public QObject {
    Q_OBJECT

private slots:
    void matchesCjpeg_data();
    void matchesCjpeg();
    void sameStreamForEveryInputFormat();
    void streamLayout();
    void pureRedStaysRed();
    void emptyPictureGivesEmptyStream_data();
    void emptyPictureGivesEmptyStream();
    void codecErrorIsReported();
    void loopStopsAtFirstFit();
    void loopSkipsOddQualities();
    void loopFallsBackToQualityTwo();
    void limitIsInclusive();
    void realStreamsAtTheLimit();
    void defaultLimit();
};

void TestExportEncoder::matchesCjpeg_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("grain");
    QTest::addColumn<int>("quality");
    QTest::newRow("200x280 q100") << 200 << 280 << 20 << 100;
    QTest::newRow("200x280 q98") << 200 << 280 << 20 << 98;
    QTest::newRow("200x280 q75") << 200 << 280 << 20 << 75;
    QTest::newRow("200x280 q50") << 200 << 280 << 40 << 50;
    QTest::newRow("200x280 q24") << 200 << 280 << 40 << 24;
    QTest::newRow("200x280 q2") << 200 << 280 << 40 << 2;
    QTest::newRow("37x23 q90 partial blocks") << 37 << 23 << 10 << 90;
}

// cjpeg runs at test time against the same libjpeg the program links, so a
// library update that changes a few bytes changes both sides alike, where
// committed reference files would go stale.
void TestExportEncoder::matchesCjpeg() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, grain);
    QFETCH(int, quality);
    const QString cjpeg = QStandardPaths::findExecutable(QStringLiteral("cjpeg"));
    if (cjpeg.isEmpty())
        QSKIP("cjpeg (libjpeg-turbo-progs) is not installed");

    const QImage picture = MakePicture(width, height, grain);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ppm = dir.filePath(QStringLiteral("in.ppm"));
    const QString out = dir.filePath(QStringLiteral("out.jpg"));
    QVERIFY(WritePpm(picture, ppm));

    QProcess process;
    process.start(cjpeg, {QStringLiteral("-quality"), QString::number(quality),
                          QStringLiteral("-dct"), QStringLiteral("float"),
                          QStringLiteral("-baseline"), QStringLiteral("-outfile"), out, ppm});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QFile reference(out);
    QVERIFY(reference.open(QIODevice::ReadOnly));
    const QByteArray expected = reference.readAll();

    const QByteArray actual = EncodeJpeg(picture, quality);
    QCOMPARE(actual.size(), expected.size());
    QVERIFY(actual == expected);
}

void TestExportEncoder::sameStreamForEveryInputFormat() {
    const QImage picture = MakePicture(60, 50, 15);
    const QByteArray expected = EncodeJpeg(picture, 80);
    QVERIFY(!expected.isEmpty());
    for (const QImage::Format format : {QImage::Format_RGB888, QImage::Format_BGR888,
                                        QImage::Format_ARGB32, QImage::Format_RGBX8888}) {
        QVERIFY2(EncodeJpeg(picture.convertToFormat(format), 80) == expected,
                 qPrintable(QString::number(int(format))));
    }
}

void TestExportEncoder::streamLayout() {
    const QByteArray jpeg = EncodeJpeg(MakePicture(200, 280, 20), 90);
    QVERIFY(jpeg.endsWith("\xFF\xD9"));
    const QList<Segment> segments = HeaderSegments(jpeg);
    QVERIFY(!segments.isEmpty());

    // JFIF 1.01, aspect ratio only, density 1:1, no thumbnail; first segment.
    QCOMPARE(segments.first().marker, 0xE0);
    QCOMPARE(segments.first().payload,
             QByteArray("JFIF\0\x01\x01\x00\x00\x01\x00\x01\x00\x00", 14));

    QList<int> markers;
    for (const Segment& s : segments)
        markers.append(s.marker);
    // APP0, two quantisation tables, baseline frame, four Huffman tables, scan.
    QCOMPARE(markers, (QList<int>{0xE0, 0xDB, 0xDB, 0xC0, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA}));

    const QByteArray& frame = segments.at(3).payload;
    QCOMPARE(frame.size(), 6 + 3 * 3);
    const auto at = [&](int i) { return static_cast<unsigned char>(frame.at(i)); };
    QCOMPARE(int(at(0)), 8);                    // sample precision
    QCOMPARE(at(1) << 8 | at(2), 280);          // height
    QCOMPARE(at(3) << 8 | at(4), 200);          // width
    QCOMPARE(int(at(5)), 3);                    // components
    QCOMPARE(frame.mid(6), QByteArray("\x01\x22\x00\x02\x11\x01\x03\x11\x01", 9));

    const QByteArray& scan = segments.last().payload;
    QCOMPARE(scan, QByteArray("\x03\x01\x00\x02\x11\x03\x11\x00\x3F\x00", 10));
}

void TestExportEncoder::pureRedStaysRed() {
    QImage red(200, 280, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    const QImage decoded = QImage::fromData(EncodeJpeg(red, 100), "JPEG");
    QVERIFY(!decoded.isNull());
    QCOMPARE(decoded.size(), QSize(200, 280));
    for (const QPoint p : {QPoint(0, 0), QPoint(100, 140), QPoint(199, 279)}) {
        const QRgb c = decoded.pixel(p);
        QVERIFY2(qRed(c) > 240 && qGreen(c) < 16 && qBlue(c) < 16,
                 qPrintable(QStringLiteral("(%1,%2,%3)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c))));
    }
}

void TestExportEncoder::emptyPictureGivesEmptyStream_data() {
    QTest::addColumn<QImage>("picture");
    QTest::newRow("null") << QImage();
    QTest::newRow("width 0") << QImage(0, 280, QImage::Format_RGB32);
    QTest::newRow("height 0") << QImage(200, 0, QImage::Format_RGB32);
}

void TestExportEncoder::emptyPictureGivesEmptyStream() {
    QFETCH(QImage, picture);
    QVERIFY(EncodeJpeg(picture, 100).isEmpty());
    QVERIFY(EncodeWithinLimit(picture).isEmpty());
}

void TestExportEncoder::codecErrorIsReported() {
    // Wider than JPEG allows: the codec refuses it at the start.
    QImage tooWide(70000, 1, QImage::Format_RGB888);
    QVERIFY(!tooWide.isNull());
    tooWide.fill(Qt::blue);
    try {
        EncodeJpeg(tooWide, 90);
        QFAIL("no failure");
    } catch (const photo::JpegError& e) {
        QCOMPARE(e.code(), int(JERR_IMAGE_TOO_BIG));
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("JPEG error #%1").arg(JERR_IMAGE_TOO_BIG));
    }
    // The encoder is fine afterwards.
    QVERIFY(!EncodeJpeg(MakePicture(16, 16, 0), 90).isEmpty());
}

namespace {

// A stand-in encoder whose stream size is a function of the quality and
// which records the qualities asked for.
struct FakeEncoder {
    std::function<int(int)> sizeAt;
    QList<int>* asked;
    QByteArray operator()(const QImage&, int quality) const {
        asked->append(quality);
        return QByteArray(sizeAt(quality), char(quality));
    }
};

QList<int> EvenQualitiesDownTo(int last) {
    QList<int> list;
    for (int q = 100; q >= last; q -= 2)
        list.append(q);
    return list;
}

}  // namespace

void TestExportEncoder::loopStopsAtFirstFit() {
    QList<int> asked;
    int quality = 0;
    const QByteArray stream = EncodeWithinLimit(
        QImage(), kUploadLimit, FakeEncoder{[](int) { return 1000; }, &asked}, &quality);
    QCOMPARE(quality, 100);
    QCOMPARE(asked, QList<int>{100});
    QCOMPARE(stream, QByteArray(1000, char(100)));
}

void TestExportEncoder::loopSkipsOddQualities() {
    // Fits from 51 down: 51 is never tried, so 50 is chosen.
    QList<int> asked;
    int quality = 0;
    const QByteArray stream = EncodeWithinLimit(
        QImage(), kUploadLimit,
        FakeEncoder{[](int q) { return q <= 51 ? kUploadLimit - 10 : kUploadLimit + 1; }, &asked},
        &quality);
    QCOMPARE(quality, 50);
    QCOMPARE(asked, EvenQualitiesDownTo(50));
    QCOMPARE(stream, QByteArray(kUploadLimit - 10, char(50)));
}

void TestExportEncoder::loopFallsBackToQualityTwo() {
    QList<int> asked;
    int quality = 0;
    const QByteArray stream = EncodeWithinLimit(
        QImage(), kUploadLimit, FakeEncoder{[](int q) { return 40000 + q; }, &asked}, &quality);
    QCOMPARE(quality, 2);
    QCOMPARE(asked, EvenQualitiesDownTo(2));
    QCOMPARE(asked.size(), 50);
    QCOMPARE(stream, QByteArray(40002, char(2)));
}

void TestExportEncoder::limitIsInclusive() {
    QList<int> asked;
    int quality = 0;
    EncodeWithinLimit(QImage(), kUploadLimit,
                      FakeEncoder{[](int) { return 30720; }, &asked}, &quality);
    QCOMPARE(quality, 100);

    asked.clear();
    const QByteArray stream = EncodeWithinLimit(
        QImage(), kUploadLimit,
        FakeEncoder{[](int q) { return q == 100 ? 30721 : 30720; }, &asked}, &quality);
    QCOMPARE(quality, 98);
    QCOMPARE(asked, (QList<int>{100, 98}));
    QCOMPARE(stream.size(), 30720);
}

void TestExportEncoder::realStreamsAtTheLimit() {
    const QImage picture = MakePicture(200, 280, 40);
    const QByteArray at100 = EncodeJpeg(picture, 100);
    const QByteArray at98 = EncodeJpeg(picture, 98);
    QVERIFY(at98.size() < at100.size());

    int quality = 0;
    QCOMPARE(EncodeWithinLimit(picture, at100.size(), EncodeJpeg, &quality), at100);
    QCOMPARE(quality, 100);
    QCOMPARE(EncodeWithinLimit(picture, at100.size() - 1, EncodeJpeg, &quality), at98);
    QCOMPARE(quality, 98);

    // A limit that quality 51 meets and 52 does not gives quality 50.
    const int size51 = EncodeJpeg(picture, 51).size();
    QVERIFY(EncodeJpeg(picture, 52).size() > size51);
    QVERIFY(EncodeJpeg(picture, 50).size() <= size51);
    QCOMPARE(EncodeWithinLimit(picture, size51, EncodeJpeg, &quality), EncodeJpeg(picture, 50));
    QCOMPARE(quality, 50);

    // Nothing fits: the quality-2 stream.
    QCOMPARE(EncodeWithinLimit(picture, 100, EncodeJpeg, &quality), EncodeJpeg(picture, 2));
    QCOMPARE(quality, 2);
}

void TestExportEncoder::defaultLimit() {
    // Strong grain: quality 100 does not fit into 30720 bytes.
    const QImage picture = MakePicture(200, 280, 60);
    QVERIFY(EncodeJpeg(picture, 100).size() > kUploadLimit);
    int quality = 0;
    const QByteArray chosen = EncodeWithinLimit(picture, kUploadLimit, EncodeJpeg, &quality);
    QVERIFY(quality < 100);
    QVERIFY(chosen.size() <= kUploadLimit);
    QVERIFY(EncodeJpeg(picture, quality + 2).size() > kUploadLimit);
    QCOMPARE(EncodeWithinLimit(picture), chosen);
}

QTEST_GUILESS_MAIN(TestExportEncoder)
#include "test_export_encoder.moc"
