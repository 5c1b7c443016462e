// Saving through the window: the refusals in their order, cancel, success
// with the name rule and the upload tag, replacing a file, and failures.
#include <QDir>
#include <QtTest>

#include "export/tag_check.h"
#include "export/jpeg_encoder.h"
#include "face/face_check.h"
#include "window_fixture.h"

namespace {


// A result photo that passes every check: the head on blue, cropped where read.
void ReadAndCrop(WindowUnderTest& w, const QString& fixture) {
    QVERIFY(w.Read(Fixture(fixture)).isEmpty());
    QVERIFY(w.Crop().isEmpty());
}

}  // namespace

class TestSavePhoto : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;

private slots:
    void refusalsInTheirOrder() {
        WindowUnderTest w;
        // 1. Nothing cropped.
        QVERIFY_MESSAGE(w.Save(dir.filePath("a")), texts::kCropFirst, texts::kError, 16);

        // 2. The portrait's own background is neither plain blue, red nor white.
        ReadAndCrop(w, "workflow/portrait_400x500.jpg");
        QVERIFY_MESSAGE(w.Save(dir.filePath("a")), texts::kBadBackground, texts::kError, 16);
        QVERIFY(!w->Image2->HasPicture());
        QVERIFY_MESSAGE(w.Save(dir.filePath("a")), texts::kCropFirst, texts::kError, 16);

        // 3. Zoomed to nothing, the crop is all white: white background, white bottom.
        QVERIFY(w.Read(Fixture("workflow/studio_blue.jpg")).isEmpty());
        w->RzTrackBar1->SetPosition(-20);
        QVERIFY(w.Crop().isEmpty());
        QVERIFY_MESSAGE(w.Save(dir.filePath("a")), texts::kWhiteBorder, texts::kError, 16);
        QVERIFY(!w->FColoredBackground);
        QVERIFY(!w->Image2->HasPicture());

        // 4. Blue only, no face: zoomed in and dragged to the bottom-right corner.
        w->RzTrackBar1->SetPosition(20);
        w->Image1MouseDown(Qt::LeftButton, {}, 0, 0);
        w->Image1MouseMove({}, -1000, -1000);
        w->Image1MouseMove({}, 0, 0);
        w->Image1MouseUp(Qt::LeftButton, {}, 0, 0);
        QCOMPARE(w.PhotoPos(), QPoint(-379, -506));
        QVERIFY(w.Crop().isEmpty());
        QVERIFY_MESSAGE(w.Save(dir.filePath("a")), texts::kNoFaceInSaved, texts::kError, 16);
        QVERIFY(w->FColoredBackground);
        QVERIFY(!w->Image2->HasPicture());

        QCOMPARE(w.user->saveCount, 0);  // no refusal got as far as the dialog
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }

    void cancelWritesNothing() {
        WindowUnderTest w;
        ReadAndCrop(w, "workflow/studio_blue.jpg");
        QTemporaryDir empty;
        QVERIFY(w.Save(QString()).isEmpty());
        QCOMPARE(w.user->saveCount, 1);
        QVERIFY(w->Image2->HasPicture());
        QVERIFY(QDir(empty.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    }

    void savedFileIsTheEncodedPhotoAndATag_data() {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("saved");
        QTest::newRow("blue, bare name") << "workflow/studio_blue.jpg" << "photo" << "photo.jpg";
        QTest::newRow("white, upper case") << "workflow/studio_white.jpg" << "photo.JPG" << "photo.JPG";
        QTest::newRow("mixed case") << "workflow/studio_blue.jpg" << "photo.Jpg" << "photo.Jpg";
        QTest::newRow("jpeg") << "workflow/studio_blue.jpg" << "photo.jpeg" << "photo.jpeg.jpg";
        QTest::newRow("dot in folder") << "workflow/studio_blue.jpg" << "my.pics/photo" << "my.pics/photo.jpg";
        QTest::newRow("chinese and spaces") << "workflow/studio_blue.jpg" << "报名 照片" << "报名 照片.jpg";
    }
    void savedFileIsTheEncodedPhotoAndATag() {
        QFETCH(QString, fixture);
        QFETCH(QString, answer);
        QFETCH(QString, saved);
        QTemporaryDir target;
        QVERIFY(QDir(target.path()).mkpath("my.pics"));
        const QStringList programFolder = QDir(face::ProgramFolder()).entryList();

        WindowUnderTest w;
        ReadAndCrop(w, fixture);
        const auto shown = w.Save(target.filePath(answer));
        const QString path = target.filePath(saved);
        QVERIFY_MESSAGE(shown, texts::kSaved + path, texts::kInformation, 64);
        QVERIFY(w->Image2->HasPicture());  // kept for another save

        const QByteArray bytes = ReadBytes(path);
        const QByteArray jpeg = bytes.left(bytes.size() - 9);
        QVERIFY(jpeg.size() <= 30720);
        QVERIFY(jpeg.endsWith("\xFF\xD9"));
        QVERIFY2(IsValidTag(bytes.right(9)), bytes.right(9).constData());
        QCOMPARE(jpeg, upload::EncodeWithinLimit(w->Image2->Picture()));
        QCOMPARE(QImage::fromData(jpeg, "JPEG").size(), QSize(200, 280));
        // Nothing else was written, here or beside the program.
        QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files), QStringList{QFileInfo(path).fileName()});
        QCOMPARE(QDir(face::ProgramFolder()).entryList(), programFolder);
    }

    void existingFileIsReplacedWithOneTag() {
        WindowUnderTest w;
        ReadAndCrop(w, "workflow/studio_blue.jpg");
        const QString path = dir.filePath("again.jpg");
        QVERIFY(WriteBytes(path, QByteArray(100000, 'x')));
        QCOMPARE(w.Save(path).size(), 1);
        const QByteArray first = ReadBytes(path);
        QCOMPARE(w.Save(path).size(), 1);
        const QByteArray second = ReadBytes(path);
        const QByteArray jpeg = upload::EncodeWithinLimit(w->Image2->Picture());
        QCOMPARE(first.size(), jpeg.size() + 9);
        QCOMPARE(second.size(), jpeg.size() + 9);
        QCOMPARE(second.left(jpeg.size()), jpeg);
        QVERIFY(IsValidTag(second.right(9)));
    }

    void unwritableTargetIsReported() {
        WindowUnderTest w;
        ReadAndCrop(w, "workflow/studio_blue.jpg");
        QTemporaryDir target;
        QVERIFY(WriteBytes(target.filePath("file"), "x"));
        QVERIFY(QDir(target.path()).mkdir("folder.jpg"));
        const QString answers[] = {target.filePath("no such folder/photo.jpg"), target.filePath("file/photo.jpg"),
                                   target.filePath("folder.jpg")};
        for (const QString& answer : answers) {
            const auto shown = w.Save(answer);
            QCOMPARE(shown.size(), 1);  // the failure, and no success box after it
            QCOMPARE(shown[0].caption, kAppTitle);
            QCOMPARE(shown[0].flags, 16);
            QVERIFY2(shown[0].text.startsWith(QStringLiteral("Cannot create file \"")), qPrintable(shown[0].text));
            QVERIFY(shown[0].text.endsWith(QLatin1Char('.')));
            QVERIFY(w->Image2->HasPicture());
        }
        QCOMPARE(QDir(target.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 (QStringList{"file", "folder.jpg"}));
        QVERIFY(QDir(target.filePath("folder.jpg")).isEmpty());
        QCOMPARE(ReadBytes(target.filePath("file")), QByteArray("x"));
    }
};

QTEST_MAIN(TestSavePhoto)
#include "test_save_photo.moc"
