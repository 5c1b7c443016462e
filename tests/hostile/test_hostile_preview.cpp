// The open dialog's preview pane is shown every file the user walks past in
// the list, before any read: each hostile file must leave it empty or show a
// picture, quickly, and never take the dialog down.
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include "corpus.h"
#include "ui/picture_preview.h"

class TestHostilePreview : public QObject {
    Q_OBJECT
private:
    QVector<corpus::Entry> entries;
    PicturePreview* preview = nullptr;
    std::unique_ptr<QWidget> dialog;  // stands in for the file dialog around the pane
    QTemporaryDir scratch;

    void ShowGood() {
        preview->ShowFile(QStringLiteral(EXAM_TESTDATA_DIR "/workflow/studio_blue.jpg"));
    }

private slots:
    void initTestCase() {
        QString error;
        entries = corpus::Load(&error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        dialog = std::make_unique<QWidget>();
        preview = new PicturePreview(dialog.get());
        dialog->show();
        ShowGood();
        QVERIFY(preview->HasPicture());
        QCOMPARE(preview->SizeText(), QStringLiteral("300 x 400 像素"));
    }

    void corpusFile_data() {
        QTest::addColumn<int>("row");
        for (int i = 0; i < entries.size(); ++i)
            QTest::newRow(qPrintable(entries[i].file)) << i;
    }

    // A file the photo layer cannot read leaves the pane empty (also after
    // a good picture); one that it decodes shows its upright size.
    void corpusFile() {
        QFETCH(int, row);
        const corpus::Entry& e = entries[row];
        ShowGood();
        QVERIFY(preview->HasPicture());
        QElapsedTimer clock;
        clock.start();
        preview->ShowFile(corpus::Path(e));
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        preview->grab();  // and it paints
        switch (e.outcome) {
        case corpus::Outcome::HeaderFails:
        case corpus::Outcome::DecodeFails:
            QVERIFY(!preview->HasPicture());
            QCOMPARE(preview->SizeText(), QString());
            break;
        case corpus::Outcome::Decoded:
            // The corpus's decodable files are all the upright 180 x 230 portrait.
            QVERIFY(preview->HasPicture());
            QCOMPARE(preview->SizeText(), QStringLiteral("180 x 230 像素"));
            break;
        case corpus::Outcome::SizeRefused:
            // A valid header without scan data: whatever the decoder makes of
            // it, the pane is consistent.
            QCOMPARE(preview->HasPicture(), !preview->SizeText().isEmpty());
            break;
        }
    }

    // What the file list also holds: folders and pipes named like photos,
    // links to nowhere, files that are gone. The pane shows nothing and
    // does not wait for a pipe's writer.
    void notAPicture() {
        const QString folder = scratch.filePath(QStringLiteral("folder.jpg"));
        QVERIFY(QDir().mkdir(folder));
        const QString pipe = scratch.filePath(QStringLiteral("pipe.jpg"));
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0644) == 0);
        const QString dangling = scratch.filePath(QStringLiteral("link.jpg"));
        QVERIFY(QFile::link(scratch.filePath(QStringLiteral("nowhere.jpg")), dangling));
        for (const QString& path : {folder, pipe, dangling, scratch.filePath(QStringLiteral("gone.jpg")),
                                    QStringLiteral("/dev/zero"), QString()}) {
            ShowGood();
            QElapsedTimer clock;
            clock.start();
            preview->ShowFile(path);
            QVERIFY2(clock.elapsed() < 2000, qPrintable(path));
            QVERIFY2(!preview->HasPicture(), qPrintable(path));
            QCOMPARE(preview->SizeText(), QString());
        }
    }
};

QTEST_MAIN(TestHostilePreview)
#include "test_hostile_preview.moc"
