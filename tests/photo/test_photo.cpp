// SPDX-License-Identifier: GPL-3.0-or-later
// The photo layer: the decoder against djpeg, header facts, what it refuses,
// the EXIF orientation and the file reader. How the fixtures and their djpeg
// references were made is in tests/data/photo/README.md.
#include <QFile>
#include <QtTest>

#include <stdexcept>

#include "photo/file_reader.h"
#include "photo/jpeg_decoder.h"
#include "photo/orientation.h"

#include <jerror.h>

namespace {

QString DataPath(const QString& name) {
    return QStringLiteral(EXAM_TESTDATA_DIR "/") + name;
}

QByteArray ReadData(const QString& name) {
    QFile file(DataPath(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read test data %s", qPrintable(name));
    return file.readAll();
}

// The text that f throws, empty when it returns.
template <typename F>
QString Thrown(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

QString JpegErrorText(int code) {
    return QStringLiteral("libjpeg error %1").arg(code);
}

}  // namespace

class TestPhoto : public QObject {
    Q_OBJECT

private slots:
    void decodeMatchesDjpeg_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reference");
        for (const char* name : {"colour", "colour_422", "progressive", "cmyk", "ycck", "truncated",
                                 "progressive_truncated", "scans_1000"})
            QTest::newRow(name) << name << QStringLiteral("%1.ppm").arg(name);
        for (const char* name : {"grey", "grey_progressive", "grey_orient_6"})
            QTest::newRow(name) << name << QStringLiteral("%1.pgm").arg(name);
        for (int n = 1; n <= 8; ++n)
            QTest::addRow("orient_%d", n) << QStringLiteral("orient_%1").arg(n)
                                          << QStringLiteral("orient_%1.ppm").arg(n);
    }
    void decodeMatchesDjpeg() {
        QFETCH(QString, name);
        QFETCH(QString, reference);
        const QImage expected(DataPath("photo/" + reference));
        QVERIFY(!expected.isNull());
        const QByteArray bytes = ReadData("photo/" + name + ".jpg");
        const QImage decoded = photo::DecodeJpeg(bytes);
        QCOMPARE(decoded.format(), expected.isGrayscale() ? QImage::Format_Indexed8 : QImage::Format_RGB888);
        QVERIFY(decoded.colorCount() <= 236);
        QCOMPARE(decoded.convertToFormat(QImage::Format_RGB32), expected.convertToFormat(QImage::Format_RGB32));
        QCOMPARE(photo::ReadJpegHeader(bytes).UprightSize(), expected.size());
    }

    void headerFacts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("stored");
        QTest::addColumn<int>("components");
        QTest::addColumn<bool>("progressive");
        QTest::addColumn<int>("orientation");
        QTest::newRow("colour") << "colour" << QSize(70, 90) << 3 << false << 1;
        QTest::newRow("progressive") << "progressive" << QSize(70, 90) << 3 << true << 1;
        QTest::newRow("grey progressive") << "grey_progressive" << QSize(70, 90) << 1 << true << 1;
        QTest::newRow("cmyk") << "cmyk" << QSize(70, 90) << 4 << false << 1;
        QTest::newRow("ycck") << "ycck" << QSize(70, 90) << 4 << false << 1;
        QTest::newRow("orientation 6") << "orient_6" << QSize(90, 70) << 3 << false << 6;
    }
    void headerFacts() {
        QFETCH(QString, name);
        QFETCH(int, components);
        const photo::JpegHeader header = photo::ReadJpegHeader(ReadData("photo/" + name + ".jpg"));
        QTEST(QSize(header.width, header.height), "stored");
        QCOMPARE(header.components, components);
        QCOMPARE(header.grayscale, components == 1);
        QTEST(header.progressive, "progressive");
        QTEST(header.orientation, "orientation");
    }

    // Hostile sizes are refused from the header alone; the limits themselves
    // pass (those two are not decoded: 200 million pixels take too long).
    void failures_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("header");  // what reading the header throws, empty: nothing
        QTest::addColumn<QString>("decode");  // what decoding throws; "-": not decoded
        const auto file = [](const char* name) { return ReadData(QStringLiteral("photo/%1.jpg").arg(name)); };
        for (const QString size : {"30001x8", "8x30001", "20000x10001"}) {
            const QString text = "JPEG image too large: " + QString(size).replace('x', " x ") + " pixels";
            QTest::newRow(qPrintable(size)) << file(qPrintable("header_" + size)) << text << text;
        }
        QTest::newRow("30000x8") << file("header_30000x8") << "" << "-";
        QTest::newRow("20000x10000") << file("header_20000x10000") << "" << "-";
        const QString precision = JpegErrorText(JERR_BAD_PRECISION);
        QTest::newRow("12-bit") << file("header_12bit") << precision << precision;
        QTest::newRow("1001 scans") << file("scans_1001") << "" << "JPEG file has more than 1000 scans";
        const QByteArray colour = file("colour");
        const QString noScan = JpegErrorText(JERR_SOF_NO_SOS);
        QTest::newRow("cut before the scan") << colour.left(colour.indexOf("\xff\xda")) << noScan << noScan;
    }
    void failures() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, decode);
        QTEST(Thrown([&] { photo::ReadJpegHeader(bytes); }), "header");
        if (decode != "-")
            QCOMPARE(Thrown([&] { photo::DecodeJpeg(bytes); }), decode);
    }

    // Qt's EXIF parser must survive broken blocks and give 1 for them.
    void orientationOfBrokenExif_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("orientation");
        for (const char* name : {"bad_offset", "ifd_loop", "entries_overflow", "count_overflow", "truncated",
                                 "orientation_9"})
            QTest::newRow(name) << QStringLiteral("hostile/exif_%1.jpg").arg(name) << 1;
        QTest::newRow("orientation 6, then a loop") << "hostile/exif_orientation_6_loop.jpg" << 6;
        QTest::newRow("not a JPEG") << "photo/grey.pgm" << 1;
    }
    void orientationOfBrokenExif() {
        QFETCH(QString, file);
        QTEST(photo::ReadOrientation(ReadData(file)), "orientation");
    }

    void readWholeFile_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<bool>("read");
        const QString colour = DataPath("photo/colour.jpg");
        QTest::newRow("folder") << DataPath("photo") << photo::kLargestFile << false;
        QTest::newRow("/dev/zero") << "/dev/zero" << photo::kLargestFile << false;
        QTest::newRow("one byte over the limit") << colour << QFileInfo(colour).size() - 1 << false;
        QTest::newRow("at the limit") << colour << QFileInfo(colour).size() << true;
    }
    void readWholeFile() {
        QFETCH(QString, path);
        QFETCH(qint64, limit);
        QFETCH(bool, read);
        QByteArray bytes;
        const QString error = Thrown([&] { bytes = photo::ReadWholeFile(path, limit); });
        QCOMPARE(error.isEmpty(), read);
        QVERIFY2(read || error.contains(path), qPrintable(error));
        QCOMPARE(bytes.size(), read ? limit : 0);
    }
};

QTEST_GUILESS_MAIN(TestPhoto)
#include "test_photo.moc"
