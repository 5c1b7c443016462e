// SPDX-License-Identifier: GPL-3.0-or-later
// The face check on fixtures made from one public-domain portrait (see
// tests/data/face/README.md) with the system's cascade.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "face/detector.h"
#include "export/jpeg_encoder.h"
#include "face/face_check.h"
#include "photo/file_reader.h"

namespace {
QString Fixture(const QString& name) {
    return QStringLiteral(EXAM_TESTDATA_DIR "/face/") + name;
}
}  // namespace

class TestFace : public QObject {
    Q_OBJECT
private slots:
    // The width of the largest face shows the detector's scale steps: with
    // 1.1 the windows are 20 x 1.1^k pixels wide.
    void faces_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("width");
        QTest::newRow("portrait") << "portrait.jpg" << 1 << 50;
        QTest::newRow("grey") << "grey_portrait.jpg" << 1 << 50;
        QTest::newRow("none") << "no_face.jpg" << 0 << 0;
        QTest::newRow("two") << "two_faces.jpg" << 2 << 52;
        QTest::newRow("31 px") << "small_face.jpg" << 1 << 30;
        QTest::newRow("under 20 px") << "tiny_face.jpg" << 0 << 0;
        QTest::newRow("sideways, EXIF 8") << "sideways_exif8.jpg" << 1 << 51;
    }
    void faces() {
        QFETCH(QString, file);
        QFETCH(int, count);
        QFETCH(int, width);
        const QVector<QRect> faces =
            face::CountFaces(photo::ReadWholeFile(Fixture(file)), QCoreApplication::applicationDirPath());
        QCOMPARE(faces.size(), count);
        int largest = 0;
        for (const QRect& r : faces)
            largest = std::max(largest, r.width());
        QCOMPARE(largest, width);
    }

    // A photo over 16 megapixels is searched reduced; its face is told in
    // the photo's own pixels.
    void reducedSearch() {
        const QString folder = QCoreApplication::applicationDirPath();
        const QByteArray small = photo::ReadWholeFile(Fixture(QStringLiteral("portrait.jpg")));
        const QRect face = face::CountFaces(small, folder).value(0);
        const double enlarged = 22;  // 5632 x 5632, searched at 0.71 of that
        const QImage big = QImage::fromData(small).scaled(256 * enlarged, 256 * enlarged);
        const QRect found = face::CountFaces(upload::EncodeJpeg(big, 80), folder).value(0);
        const QPointF offset = QPointF(found.center()) - QPointF(face.center()) * enlarged;
        QVERIFY2(std::abs(offset.x()) + std::abs(offset.y()) < found.width() / 8.0 &&
                     std::abs(found.width() - face.width() * enlarged) < found.width() / 8.0,
                 qPrintable(QStringLiteral("%1,%2 %3").arg(found.x()).arg(found.y()).arg(found.width())));
    }

    // The cascade comes from the given folder, never the current directory; a
    // failed load is tried again next time, and then kept for the run.
    void cascade() {
        QTemporaryDir dir;
        const QByteArray portrait = photo::ReadWholeFile(Fixture(QStringLiteral("portrait.jpg")));
        face::ForgetCascade();
        QDir::setCurrent(QCoreApplication::applicationDirPath());
        QVERIFY_THROWS_EXCEPTION(face::CascadeMissing, face::CountFaces(portrait, dir.path()));
        QVERIFY_THROWS_EXCEPTION(face::CascadeMissing, face::CountFaces(portrait, QString()));
        QVERIFY(QFile::copy(QStringLiteral(EXAM_CASCADE_FILE), dir.filePath(QLatin1String(face::kCascadeFileName))));
        QCOMPARE(face::CountFaces(portrait, dir.path()).size(), 1);
        QCOMPARE(face::CountFaces(portrait, QStringLiteral("/nonexistent")).size(), 1);
        QVERIFY_THROWS_EXCEPTION(face::ImageUnreadable, face::CountFaces("not a jpeg", dir.path()));
        QCOMPARE(face::ProgramFolder(), QCoreApplication::applicationDirPath() + QLatin1Char('/'));
        // A cascade whose window is not square fails inside OpenCV, which is
        // told as OpenCV's failure, not the photo's.
        QTemporaryDir tall;
        QByteArray xml = photo::ReadWholeFile(QStringLiteral(EXAM_CASCADE_FILE));
        xml.replace("<height>20</height>", "<height>24</height>");
        QFile out(tall.filePath(QLatin1String(face::kCascadeFileName)));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(xml) == xml.size());
        out.close();
        face::ForgetCascade();
        QVERIFY_THROWS_EXCEPTION(face::DetectorFailure, face::CountFaces(portrait, tall.path()));
        face::ForgetCascade();
    }
};

QTEST_GUILESS_MAIN(TestFace)
#include "test_face.moc"
