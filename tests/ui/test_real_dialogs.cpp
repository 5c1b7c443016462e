// The real window with Qt's own file dialogs and message boxes, driven the
// way a user drives them.
#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <stdexcept>

#include "ui/main_window.h"
#include "ui/photo_view.h"
#include "ui/picture_preview.h"

namespace {

// Runs `act` on the next modal widget of type T once it is open.
template <typename T>
void WhenModal(std::function<void(T*)> act, bool* done) {
    QTimer::singleShot(20, [act, done] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
            act(w);
            *done = true;
            // A failed check inside `act` returns early: close the dialog so
            // that the test reports the failure instead of hanging.
            if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible())
                dialog->reject();
        } else {
            WhenModal<T>(act, done);
        }
    });
}

// Clicks a file in the dialog's list, once the list has loaded it.
void PickInList(QFileDialog* dialog, const QString& path) {
    auto* model = dialog->findChild<QFileSystemModel*>();
    auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
    QVERIFY(model && list);
    QTRY_VERIFY(model->index(path).isValid());
    list->setCurrentIndex(model->index(path));
}

void TypeAndAccept(QFileDialog* dialog, const QString& name) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    // A file still selected in the list would win over the typed name.
    if (auto* list = dialog->findChild<QListView*>(QStringLiteral("listView")))
        list->clearSelection();
    // Not Return: the name completer may still be open and would take it.
    edit->setText(name);
    QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
}

}  // namespace

class RealDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStyleFactory::create("Fusion")); }

    void openDialogTakesATypedNameAndPreviews() {
        QTemporaryDir dir;
        QImage picture(120, 90, QImage::Format_RGB888);
        picture.fill(QColor(200, 40, 40));
        const QString jpeg = dir.filePath("portrait.jpg");
        QVERIFY(picture.save(jpeg, "JPG"));
        const QString text = dir.filePath("notes.jpg");
        {
            QFile f(text);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not a picture at all");
        }

        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        bool done = false;
        QString title, filter, previewSize, previewOfText;
        bool anyFile = false, nonNative = false, previewShown = false, previewOfTextShown = true;
        WhenModal<QFileDialog>(
            [&](QFileDialog* d) {
                title = d->windowTitle();
                filter = d->nameFilters().join('|');
                anyFile = d->fileMode() == QFileDialog::AnyFile && d->acceptMode() == QFileDialog::AcceptOpen;
                nonNative = d->testOption(QFileDialog::DontUseNativeDialog);
                auto* preview = d->findChild<PicturePreview*>();
                QVERIFY(preview);
                d->setDirectory(dir.path());
                PickInList(d, jpeg);
                QTRY_VERIFY(preview->HasPicture());
                previewShown = preview->isVisible();
                previewSize = preview->SizeText();
                PickInList(d, text);
                QTRY_VERIFY(preview->SizeText().isEmpty());
                previewOfTextShown = preview->HasPicture();
                // A name that names no file is taken as typed.
                TypeAndAccept(d, dir.filePath("missing.jpg"));
            },
            &done);
        const QString chosen = form.Dialogs->OpenPictureName(&form);
        QVERIFY(done);
        QCOMPARE(chosen, dir.filePath("missing.jpg"));
        QCOMPARE(title, QStringLiteral("打开照片源文件"));
        QCOMPARE(filter, QStringLiteral("JPEG Image File (*.jpg)"));
        QVERIFY(anyFile);
        QVERIFY(nonNative);
        QVERIFY(previewShown);
        QCOMPARE(previewSize, QStringLiteral("120 x 90 像素"));
        QVERIFY(!previewOfTextShown);
        QVERIFY(form.isVisible());
    }

    void cancelledDialogAnswersEmpty() {
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        bool done = false;
        WhenModal<QFileDialog>([](QFileDialog* d) { d->reject(); }, &done);
        QCOMPARE(form.Dialogs->OpenPictureName(&form), QString());
        QVERIFY(done);
    }

    void saveDialogReplacesWithoutAskingAndAddsNoSuffix() {
        QTemporaryDir dir;
        const QString existing = dir.filePath("photo.jpg");
        {
            QFile f(existing);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old");
        }
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        bool done = false;
        QString title, suffix;
        bool saveMode = false, noQuestion = false;
        WhenModal<QFileDialog>(
            [&](QFileDialog* d) {
                title = d->windowTitle();
                suffix = d->defaultSuffix();
                saveMode = d->acceptMode() == QFileDialog::AcceptSave;
                noQuestion = d->testOption(QFileDialog::DontConfirmOverwrite);
                d->setDirectory(dir.path());
                TypeAndAccept(d, existing);
            },
            &done);
        QCOMPARE(form.Dialogs->SavePictureName(&form), existing);
        QVERIFY(done);
        QCOMPARE(title, QStringLiteral("保存照片上传文件为..."));
        QVERIFY(suffix.isEmpty());
        QVERIFY(saveMode);
        QVERIFY(noQuestion);

        done = false;
        WhenModal<QFileDialog>([&](QFileDialog* d) { TypeAndAccept(d, dir.filePath("upload")); }, &done);
        QCOMPARE(form.Dialogs->SavePictureName(&form), dir.filePath("upload"));
        QVERIFY(done);
    }

    // Enter right after start opens the real open dialog; a typed small JPEG
    // is refused in a real box, and the focus comes back to the read button.
    void enterAtStartReadsThroughRealDialogAndBox() {
        TForm1 form;
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(QApplication::focusWidget(), form.RzBmpButton1);
        const QString small = QStringLiteral(EXAM_TESTDATA_DIR "/workflow/small.jpg");
        bool typed = false, boxed = false;
        QString text, title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        WhenModal<QFileDialog>([&](QFileDialog* d) { TypeAndAccept(d, small); }, &typed);
        WhenModal<QMessageBox>(
            [&](QMessageBox* box) {
                text = box->text();
                title = box->windowTitle();
                icon = box->icon();
                QTest::keyClick(box, Qt::Key_Return);
            },
            &boxed);
        QTest::keyClick(form.RzBmpButton1, Qt::Key_Return);
        QVERIFY(typed);
        QVERIFY(boxed);
        QCOMPARE(text, QStringLiteral("原始照片不能小于8K或可能像素太低，请更换照片。"));
        QCOMPARE(title, QStringLiteral("提示"));
        QCOMPARE(icon, QMessageBox::Information);
        QVERIFY(!QApplication::activeModalWidget());
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(QApplication::focusWidget(), form.RzBmpButton1);
        QVERIFY(!form.Image1->HasPicture());
    }

    void messageBoxesAndTheFailureReport() {
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        struct Seen {
            QString title, text;
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            int buttons = 0;
            bool windowBlocked = false;
        };
        auto watch = [&](Seen* seen, bool* done) {
            WhenModal<QMessageBox>(
                [&form, seen](QMessageBox* box) {
                    seen->title = box->windowTitle();
                    seen->text = box->text();
                    seen->icon = box->icon();
                    seen->buttons = box->buttons().size();
                    seen->windowBlocked = QApplication::activeModalWidget() == box && box->isModal();
                    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
                },
                done);
        };

        Seen info;
        bool done = false;
        watch(&info, &done);
        form.MessageBox(QStringLiteral("原始照片不能小于8K或可能像素太低，请更换照片。"), QStringLiteral("提示"),
                        TForm1::MB_ICONINFORMATION);
        QVERIFY(done);
        QCOMPARE(info.title, QStringLiteral("提示"));
        QCOMPARE(info.text, QStringLiteral("原始照片不能小于8K或可能像素太低，请更换照片。"));
        QCOMPARE(info.icon, QMessageBox::Information);
        QCOMPARE(info.buttons, 1);
        QVERIFY(info.windowBlocked);

        Seen failure;
        done = false;
        watch(&failure, &done);
        form.Guarded([] { throw std::runtime_error("JPEG error #42"); });
        QVERIFY(done);
        QCOMPARE(failure.title, kAppTitle);
        QCOMPARE(failure.text, QStringLiteral("JPEG error #42."));
        QCOMPARE(failure.icon, QMessageBox::Critical);
        QCOMPARE(failure.buttons, 1);

        // The window goes on, and its exit button ends it without a question.
        // (The offscreen platform does not hand activation back by itself.)
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(QApplication::focusWidget(), form.RzBmpButton1);
        QTest::keyClick(form.RzBmpButton1, Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form.RzBmpButton4);
        QTest::keyClick(form.RzBmpButton4, Qt::Key_Space);
        QVERIFY(!form.isVisible());
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(RealDialogsTest)
#include "test_real_dialogs.moc"
