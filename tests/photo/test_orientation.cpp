// EXIF orientation: the tag as Qt reads it, and the turn for every pixel
// format that the decoder and the face check hand in. That the turns are the
// right ones is checked against ImageMagick in test_jpeg_decoder, for the
// 24-bit RGB the decoder produces; here the other formats must agree with it.
#include <QFile>
#include <QtTest>

#include "photo/orientation.h"

namespace {

QByteArray ReadData(const QString& name) {
    QFile file(QStringLiteral(EXAM_TESTDATA_DIR "/photo/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read test data %s", qPrintable(name));
    return file.readAll();
}

// 5 x 3 pixels, each a different colour, all of them in a small palette.
QImage Pattern() {
    QImage image(5, 3, QImage::Format_RGB888);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            image.setPixel(x, y, qRgb(40 * x, 100 * y, 7 * (x + 5 * y)));
    return image;
}

QImage Indexed(const QImage& rgb) {
    QList<QRgb> table;
    QImage image(rgb.size(), QImage::Format_Indexed8);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            // Palette in reverse order, so that index and position differ.
            table.prepend(rgb.pixel(x, y));
        }
    image.setColorTable(table);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            image.setPixel(x, y, table.indexOf(rgb.pixel(x, y)));
    return image;
}

}  // namespace

class TestOrientation : public QObject {
    Q_OBJECT

private slots:
    void readsTag_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("orientation");
        for (int n = 1; n <= 8; ++n)
            QTest::addRow("tag %d", n) << ReadData(QStringLiteral("orient_%1.jpg").arg(n)) << n;
        QTest::newRow("no EXIF") << ReadData("colour.jpg") << 1;
        QTest::newRow("not a JPEG") << ReadData("grey.pgm") << 1;
        QTest::newRow("empty") << QByteArray() << 1;
    }
    void readsTag() {
        QFETCH(QByteArray, bytes);
        QTEST(photo::ReadOrientation(bytes), "orientation");
    }

    void keepsFormat_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QImage>("image");
        const QImage rgb = Pattern();
        for (int n = 0; n <= 9; ++n) {
            QTest::addRow("%d RGB888", n) << n << rgb;
            QTest::addRow("%d BGR888", n) << n << rgb.convertToFormat(QImage::Format_BGR888);
            QTest::addRow("%d RGB32", n) << n << rgb.convertToFormat(QImage::Format_RGB32);
            QTest::addRow("%d Indexed8", n) << n << Indexed(rgb);
        }
    }
    void keepsFormat() {
        QFETCH(int, orientation);
        QFETCH(QImage, image);
        const QImage turned = photo::ApplyOrientation(image, orientation);
        QCOMPARE(turned.format(), image.format());
        QCOMPARE(turned.colorTable(), image.colorTable());
        const bool swapped = orientation >= 5 && orientation <= 8;
        QCOMPARE(turned.size(), swapped ? image.size().transposed() : image.size());
        // Same colours where the 24-bit RGB turn (checked against ImageMagick
        // through the decoder's fixtures) puts them.
        const QImage expected = photo::ApplyOrientation(Pattern(), orientation);
        for (int y = 0; y < turned.height(); ++y)
            for (int x = 0; x < turned.width(); ++x)
                QCOMPARE(turned.pixel(x, y), expected.pixel(x, y));
    }

    // The face check wraps OpenCV's BGR rows, padded to its own stride.
    void turnsForeignBgrBuffer() {
        uchar data[2][8] = {{1, 2, 3, 4, 5, 6, 0xee, 0xee}, {7, 8, 9, 10, 11, 12, 0xee, 0xee}};
        const QImage wrapped(&data[0][0], 2, 2, 8, QImage::Format_BGR888);
        const QImage turned = photo::ApplyOrientation(wrapped, 6);
        QCOMPARE(turned.format(), QImage::Format_BGR888);
        // Turned clockwise: the bottom-left pixel comes to the top left.
        QCOMPARE(turned.pixel(0, 0), qRgb(9, 8, 7));
        QCOMPARE(turned.pixel(1, 0), qRgb(3, 2, 1));
        QCOMPARE(turned.pixel(0, 1), qRgb(12, 11, 10));
        QCOMPARE(turned.pixel(1, 1), qRgb(6, 5, 4));
    }
};

QTEST_GUILESS_MAIN(TestOrientation)
#include "test_orientation.moc"
