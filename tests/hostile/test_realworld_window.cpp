// Photos as phones, scanners and chat apps write them, read through the
// window like any other: each is shown upright at its natural size, with the
// portrait's pixels, and its face is found. File names are not examined.
#include <QDir>
#include <QtTest>

#include "../workflow/window_fixture.h"
#include "face/face_check.h"

namespace {

QString RealWorld(const QString& name) {
    return Fixture(QStringLiteral("realworld/") + name);
}

// Mean absolute difference per channel, over every pixel.
double MeanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    if (x.size() != y.size())
        return 255;
    qint64 sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < 3 * x.width(); ++i)
            sum += qAbs(int(p[i]) - int(q[i]));
    }
    return double(sum) / (3.0 * x.width() * x.height());
}

QImage Grey(const QImage& image) {
    return image.convertToFormat(QImage::Format_Grayscale8);
}

}  // namespace

class TestRealWorldWindow : public QObject {
    Q_OBJECT
private:
    QImage reference;  // the upright portrait as the plain baseline file decodes
    std::unique_ptr<WindowUnderTest> w;
    QTemporaryDir scratch;

    // Reads `path` and checks it is shown like the reference portrait.
    void ReadAndCompare(const QString& path, bool grey) {
        const auto shown = w->Read(path);
        QVERIFY2(shown.isEmpty(), qPrintable(shown.isEmpty() ? QString() : shown[0].text));
        QVERIFY((*w)->Image1->HasPicture());
        const QImage& source = (*w)->Image1->Source();
        QCOMPARE(source.size(), QSize(180, 230));
        QCOMPARE((*w)->Image1->size(), QSize(180, 230));
        QCOMPARE((*w)->Image1->pos(), QPoint(31, 40));  // centred in the 242 x 309 viewport
        QCOMPARE(source.format(), grey ? QImage::Format_Indexed8 : QImage::Format_RGB888);
        QVERIFY((*w)->RzTrackBar1->isEnabled());
        QVERIFY(face::FaceCount >= 1);
        // Same picture, same way up: the recompression of a turned raster or
        // another colour model costs at most 5 levels on average, a mirrored
        // portrait differs by about 80, a flipped one by about 95.
        const double difference = grey ? MeanDifference(Grey(source), Grey(reference))
                                       : MeanDifference(source, reference);
        QVERIFY2(difference < 8.0, qPrintable(QString::number(difference)));
        // The crop takes it from there.
        QVERIFY(w->Crop().isEmpty());
        QVERIFY((*w)->Image2->HasPicture());
    }

private slots:
    void initTestCase() {
        reference = photo::DecodeJpeg(ReadBytes(RealWorld(QStringLiteral("baseline.jpg"))));
        QCOMPARE(reference.size(), QSize(180, 230));
        w = std::make_unique<WindowUnderTest>();
    }

    void cleanupTestCase() { w.reset(); }

    void flavour_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("grey");
        QTest::newRow("baseline") << "baseline.jpg" << false;
        QTest::newRow("progressive") << "progressive.jpg" << false;
        QTest::newRow("arithmetic") << "arithmetic.jpg" << false;
        QTest::newRow("arithmetic progressive") << "arithmetic_progressive.jpg" << false;
        QTest::newRow("4:4:4") << "sampling_444.jpg" << false;
        QTest::newRow("greyscale") << "greyscale.jpg" << true;
        QTest::newRow("greyscale progressive") << "greyscale_progressive.jpg" << true;
        QTest::newRow("CMYK") << "cmyk.jpg" << false;
        QTest::newRow("YCCK") << "ycck.jpg" << false;
        QTest::newRow("restart every row") << "restart_rows.jpg" << false;
        QTest::newRow("restart every 5 blocks") << "restart_blocks.jpg" << false;
        QTest::newRow("trailing garbage") << "trailing_garbage.jpg" << false;
        QTest::newRow("trailing JPEG") << "trailing_jpeg.jpg" << false;
        QTest::newRow("EXIF with thumbnail, no JFIF") << "exif_thumbnail.jpg" << false;
        for (int n = 1; n <= 8; ++n)
            QTest::newRow(qPrintable(QStringLiteral("orientation %1").arg(n)))
                << QStringLiteral("orient_%1.jpg").arg(n) << false;
    }

    void flavour() {
        QFETCH(QString, file);
        QFETCH(bool, grey);
        ReadAndCompare(RealWorld(file), grey);
    }

    // Names as people give them: Chinese characters, spaces, several dots,
    // another letter case or no extension at all, in a folder named the same way.
    void names() {
        const QString folder = scratch.filePath(QStringLiteral("考生 资料.2024"));
        QVERIFY(QDir().mkpath(folder));
        const QStringList names = {QStringLiteral("考生照片.jpg"),
                                   QStringLiteral("my exam photo.jpg"),
                                   QStringLiteral("photo.2024.06.01.final.jpg"),
                                   QStringLiteral("张三 报名照 (1).v2.1.JPG"),
                                   QStringLiteral("照片.jpeg"),
                                   QStringLiteral("no extension"),
                                   QStringLiteral(" leading and trailing spaces .jpg ")};
        for (const QString& name : names) {
            const QString path = folder + QLatin1Char('/') + name;
            QVERIFY2(QFile::copy(RealWorld(QStringLiteral("orient_6.jpg")), path), qPrintable(name));
            ReadAndCompare(path, false);
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(name));
        }
    }
};

QTEST_MAIN(TestRealWorldWindow)
#include "test_realworld_window.moc"
