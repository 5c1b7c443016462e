// The decoder against djpeg: every fixture's reference is what
// `djpeg -dct float` (greyscale: `-colors 236 -dither fs`) made of the same
// file; tests/data/photo/make_fixtures.sh remakes both.
#include <QFile>
#include <QtTest>

#include <stdexcept>

#include "photo/jpeg_decoder.h"
#include "photo/jpeg_error.h"

#include <jerror.h>

namespace {

QString DataPath(const QString& name) {
    return QStringLiteral(EXAM_TESTDATA_DIR "/photo/") + name;
}

QByteArray ReadData(const QString& name) {
    QFile file(DataPath(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read test data %s", qPrintable(name));
    return file.readAll();
}

// Same size and the same red, green and blue in every pixel.
bool SamePixels(const QImage& actual, const QImage& expected, QString* why) {
    if (actual.size() != expected.size()) {
        *why = QStringLiteral("size %1x%2, expected %3x%4")
                   .arg(actual.width()).arg(actual.height())
                   .arg(expected.width()).arg(expected.height());
        return false;
    }
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            if (qRgb(qRed(actual.pixel(x, y)), qGreen(actual.pixel(x, y)), qBlue(actual.pixel(x, y))) !=
                qRgb(qRed(expected.pixel(x, y)), qGreen(expected.pixel(x, y)), qBlue(expected.pixel(x, y)))) {
                *why = QStringLiteral("pixel (%1, %2) is %3, expected %4")
                           .arg(x).arg(y)
                           .arg(actual.pixel(x, y) & 0xffffff, 6, 16, QLatin1Char('0'))
                           .arg(expected.pixel(x, y) & 0xffffff, 6, 16, QLatin1Char('0'));
                return false;
            }
    return true;
}

// What a failure throws: a JpegError with libjpeg's code, or (code -1) a
// plain runtime_error; either way with exactly this text.
struct Thrown {
    bool threw = false;
    bool jpeg_error = false;
    int code = 0;
    QString text;
};

template <typename F>
Thrown Catch(F&& f) {
    Thrown t;
    try {
        f();
    } catch (const photo::JpegError& e) {
        t = {true, true, e.code(), QString::fromUtf8(e.what())};
    } catch (const std::runtime_error& e) {
        t = {true, false, -1, QString::fromUtf8(e.what())};
    }
    return t;
}

QByteArray CutBeforeFirstScan(const QByteArray& file) {
    return file.left(file.indexOf(QByteArray("\xff\xda", 2)));
}

}  // namespace

class TestJpegDecoder : public QObject {
    Q_OBJECT

private slots:
    void headerFacts_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("components");
        QTest::addColumn<bool>("grayscale");
        QTest::addColumn<bool>("progressive");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("upright");
        QTest::newRow("colour") << "colour.jpg" << 70 << 90 << 3 << false << false << 1 << QSize(70, 90);
        QTest::newRow("progressive") << "progressive.jpg" << 70 << 90 << 3 << false << true << 1 << QSize(70, 90);
        QTest::newRow("grey") << "grey.jpg" << 70 << 90 << 1 << true << false << 1 << QSize(70, 90);
        QTest::newRow("grey progressive") << "grey_progressive.jpg" << 70 << 90 << 1 << true << true << 1 << QSize(70, 90);
        QTest::newRow("cmyk") << "cmyk.jpg" << 70 << 90 << 4 << false << false << 1 << QSize(70, 90);
        QTest::newRow("ycck") << "ycck.jpg" << 70 << 90 << 4 << false << false << 1 << QSize(70, 90);
        QTest::newRow("orientation 4") << "orient_4.jpg" << 42 << 54 << 3 << false << false << 4 << QSize(42, 54);
        QTest::newRow("orientation 5") << "orient_5.jpg" << 54 << 42 << 3 << false << false << 5 << QSize(42, 54);
        QTest::newRow("orientation 8") << "orient_8.jpg" << 54 << 42 << 3 << false << false << 8 << QSize(42, 54);
        // The limits themselves pass; only the header is read.
        QTest::newRow("30000 wide") << "header_30000x8.jpg" << 30000 << 8 << 1 << true << false << 1 << QSize(30000, 8);
        QTest::newRow("200 million pixels") << "header_20000x10000.jpg" << 20000 << 10000 << 1 << true << false << 1 << QSize(20000, 10000);
        // Scans are counted while decoding, not in the header.
        QTest::newRow("1001 scans") << "scans_1001.jpg" << 16 << 16 << 3 << false << true << 1 << QSize(16, 16);
    }
    void headerFacts() {
        QFETCH(QString, file);
        const photo::JpegHeader header = photo::ReadJpegHeader(ReadData(file));
        QTEST(header.width, "width");
        QTEST(header.height, "height");
        QTEST(header.components, "components");
        QTEST(header.grayscale, "grayscale");
        QTEST(header.progressive, "progressive");
        QTEST(header.orientation, "orientation");
        QTEST(header.UprightSize(), "upright");
    }

    void decodeMatchesDjpeg_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reference");
        QTest::newRow("colour 4:2:0") << "colour.jpg" << "colour.ppm";
        QTest::newRow("colour 4:2:2") << "colour_422.jpg" << "colour_422.ppm";
        QTest::newRow("progressive") << "progressive.jpg" << "progressive.ppm";
        QTest::newRow("grey") << "grey.jpg" << "grey.pgm";
        QTest::newRow("grey progressive") << "grey_progressive.jpg" << "grey_progressive.pgm";
        QTest::newRow("cmyk") << "cmyk.jpg" << "cmyk.ppm";
        QTest::newRow("ycck") << "ycck.jpg" << "ycck.ppm";
        QTest::newRow("truncated in the scan data") << "truncated.jpg" << "truncated.ppm";
        QTest::newRow("progressive, truncated") << "progressive_truncated.jpg" << "progressive_truncated.ppm";
        QTest::newRow("1000 scans") << "scans_1000.jpg" << "scans_1000.ppm";
        for (int n = 1; n <= 8; ++n)
            QTest::addRow("orientation %d", n) << QStringLiteral("orient_%1.jpg").arg(n)
                                               << QStringLiteral("orient_%1.ppm").arg(n);
    }
    void decodeMatchesDjpeg() {
        QFETCH(QString, file);
        QFETCH(QString, reference);
        const QImage expected(DataPath(reference));
        QVERIFY(!expected.isNull());
        const QByteArray bytes = ReadData(file);
        const QImage decoded = photo::DecodeJpeg(bytes);
        QString why;
        QVERIFY2(SamePixels(decoded, expected, &why), qPrintable(why));
        QCOMPARE(decoded.size(), photo::ReadJpegHeader(bytes).UprightSize());
        if (photo::ReadJpegHeader(bytes).grayscale) {
            QCOMPARE(decoded.format(), QImage::Format_Indexed8);
            QCOMPARE(decoded.colorCount(), 236);
        } else {
            QCOMPARE(decoded.format(), QImage::Format_RGB888);
        }
    }

    void failures_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("headerFails");
        QTest::addColumn<int>("code");  // libjpeg's message code, -1 for our own limits
        QTest::addColumn<QString>("text");
        const auto jpeg = [](int code) { return QStringLiteral("JPEG error #%1").arg(code); };
        QTest::newRow("empty") << QByteArray() << true << int(JERR_INPUT_EMPTY) << jpeg(JERR_INPUT_EMPTY);
        QTest::newRow("not a JPEG") << ReadData("grey.pgm") << true << int(JERR_NO_SOI) << jpeg(JERR_NO_SOI);
        QTest::newRow("truncated before the first scan")
            << CutBeforeFirstScan(ReadData("colour.jpg")) << true << int(JERR_SOF_NO_SOS) << jpeg(JERR_SOF_NO_SOS);
        QTest::newRow("12-bit") << ReadData("header_12bit.jpg") << true << int(JERR_BAD_PRECISION)
                                << jpeg(JERR_BAD_PRECISION);
        QTest::newRow("30001 wide") << ReadData("header_30001x8.jpg") << true << -1
                                    << "JPEG image too large: 30001 x 8 pixels";
        QTest::newRow("30001 high") << ReadData("header_8x30001.jpg") << true << -1
                                    << "JPEG image too large: 8 x 30001 pixels";
        QTest::newRow("over 200 million pixels") << ReadData("header_20000x10001.jpg") << true << -1
                                                 << "JPEG image too large: 20000 x 10001 pixels";
        QTest::newRow("1001 scans") << ReadData("scans_1001.jpg") << false << -1
                                    << "JPEG file has more than 1000 scans";
    }
    void failures() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, headerFails);
        QFETCH(int, code);
        QFETCH(QString, text);

        const Thrown header = Catch([&] { photo::ReadJpegHeader(bytes); });
        QCOMPARE(header.threw, headerFails);
        if (headerFails) {
            QCOMPARE(header.code, code);
            QCOMPARE(header.jpeg_error, code >= 0);
            QCOMPARE(header.text, text);
        }
        const Thrown decode = Catch([&] { photo::DecodeJpeg(bytes); });
        QVERIFY(decode.threw);
        QCOMPARE(decode.code, code);
        QCOMPARE(decode.jpeg_error, code >= 0);
        QCOMPARE(decode.text, text);
    }

    void emptySourcePhoto() {
        photo::SourcePhoto photo;
        QVERIFY(!photo.HasHeader());
        QCOMPARE(photo.Size(), QSize(0, 0));
        QVERIFY(!photo.IsDecoded());
        QVERIFY(photo.Bytes().isEmpty());
        QVERIFY(Catch([&] { photo.Pixels(); }).jpeg_error);
        QVERIFY(!photo.IsDecoded());
    }

    void sourcePhotoDecodesOnce() {
        const QByteArray bytes = ReadData("orient_6.jpg");
        photo::SourcePhoto photo;
        photo.Load(bytes);
        QCOMPARE(photo.Bytes().constData(), bytes.constData());  // shared, not copied
        QVERIFY(photo.HasHeader());
        QCOMPARE(photo.Header().orientation, 6);
        QCOMPARE(photo.Size(), QSize(42, 54));
        QVERIFY(!photo.IsDecoded());

        const QImage& first = photo.Pixels();
        QVERIFY(photo.IsDecoded());
        QCOMPARE(first.size(), QSize(42, 54));
        const qint64 key = first.cacheKey();
        const QImage& second = photo.Pixels();
        QCOMPARE(&second, &first);
        QCOMPARE(second.cacheKey(), key);
    }

    void sourcePhotoAfterBadFile() {
        photo::SourcePhoto photo;
        photo.Load(ReadData("colour.jpg"));
        photo.Pixels();
        QVERIFY(photo.IsDecoded());

        const QByteArray bad = ReadData("grey.pgm");
        const Thrown load = Catch([&] { photo.Load(bad); });
        QVERIFY(load.jpeg_error);
        QCOMPARE(load.code, int(JERR_NO_SOI));
        // The bytes stay; everything decoded from the previous file is gone.
        QCOMPARE(photo.Bytes(), bad);
        QVERIFY(!photo.HasHeader());
        QCOMPARE(photo.Size(), QSize(0, 0));
        QVERIFY(!photo.IsDecoded());
        for (int attempt = 0; attempt < 2; ++attempt) {
            const Thrown decode = Catch([&] { photo.Pixels(); });
            QCOMPARE(decode.text, QStringLiteral("JPEG error #%1").arg(JERR_NO_SOI));
            QVERIFY(!photo.IsDecoded());
        }

        // A good file afterwards works again.
        photo.Load(ReadData("grey.jpg"));
        QCOMPARE(photo.Size(), QSize(70, 90));
        QCOMPARE(photo.Pixels().format(), QImage::Format_Indexed8);
    }

    void sourcePhotoWithTooManyScans() {
        photo::SourcePhoto photo;
        photo.Load(ReadData("scans_1001.jpg"));
        QVERIFY(photo.HasHeader());
        QCOMPARE(photo.Size(), QSize(16, 16));
        for (int attempt = 0; attempt < 2; ++attempt) {
            QCOMPARE(Catch([&] { photo.Pixels(); }).text, QStringLiteral("JPEG file has more than 1000 scans"));
            QVERIFY(!photo.IsDecoded());
        }
    }
};

QTEST_GUILESS_MAIN(TestJpegDecoder)
#include "test_jpeg_decoder.moc"
