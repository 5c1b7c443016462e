#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QtTest>
#include <stdexcept>

#include "ui/main_window.h"
#include "ui/scripted_dialogs.h"
#include "ui/window_font.h"

namespace {

struct Window {
    ScriptedDialogs* dialogs;
    std::unique_ptr<TForm1> form;
    Window() {
        auto d = std::make_unique<ScriptedDialogs>();
        dialogs = d.get();
        form = std::make_unique<TForm1>(std::move(d));
    }
    bool Show() {
        form->show();
        return QTest::qWaitForWindowActive(form.get());
    }
    QRect InWindow(const QWidget* w) const { return QRect(w->mapTo(form.get(), QPoint(0, 0)), w->size()); }
    // A press as the user makes it: through the window, so that masks and
    // stacking decide which control gets it.
    void PressAt(const QWidget* in, QPoint p, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mousePress(form->windowHandle(), button, {}, in->mapTo(form.get(), p));
        QTest::mouseRelease(form->windowHandle(), button, {}, in->mapTo(form.get(), p));
    }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStyleFactory::create("Fusion")); }

    void windowProperties() {
        Window w;
        TForm1& f = *w.form;
        QCOMPARE(f.size(), QSize(831, 518));
        QCOMPARE(f.minimumSize(), f.maximumSize());
        QVERIFY(f.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(f.windowTitle(), kAppTitle);
        QVERIFY(!kAppTitle.isEmpty());
        QVERIFY(!f.windowIcon().isNull());
        QCOMPARE(f.font().pixelSize(), 12);
        // Centred on the desktop.
        const QRect desk = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(qAbs(f.geometry().center().x() - desk.center().x()) <= 1);
        QVERIFY(qAbs(f.geometry().center().y() - desk.center().y()) <= 1);
    }

    void alignedLayoutGivesTheViewportAndFrame() {
        Window w;
        TForm1& f = *w.form;
        QCOMPARE(f.ScrollBox1->size(), QSize(242, 309));
        QCOMPARE(w.InWindow(f.ScrollBox1).topLeft(), QPoint(6, 179));
        QCOMPARE(f.Shape1->geometry(), QRect(21, 14, 200, 280));
        QVERIFY(!f.Shape1->isVisibleTo(&f));
        QCOMPARE(f.Image2->size(), QSize(200, 280));
        QCOMPARE(f.Image3->height(), f.Image3->Picture().height());
        QCOMPARE(w.InWindow(f.Panel2), QRect(1, 74, 829, 419));
        QCOMPARE(w.InWindow(f.StatusBar1), QRect(1, 493, 829, 24));
        QCOMPARE(w.InWindow(f.Panel4), QRect(253, 74, 577, 419));
        QCOMPARE(w.InWindow(f.Panel7), QRect(6, 79, 242, 100));
        QCOMPARE(w.InWindow(f.Image1), QRect(14, 179, 241, 289));
        QVERIFY(f.FSourceStream.isEmpty());
        QVERIFY(!f.Image1->HasPicture());
        QVERIFY(!f.Image2->HasPicture());
        QVERIFY(!f.RzTrackBar1->isEnabled());
        QCOMPARE(f.RzTrackBar1->Position(), 0);
    }

    void pictureSizesAreTheirControls() {
        Window w;
        TForm1& f = *w.form;
        QCOMPARE(f.RzBmpButton1->Face().size(), QSize(110, 33));
        QCOMPARE(f.RzBmpBtnSave->Face().size(), QSize(110, 33));
        QCOMPARE(f.RzBmpButton3->Face().size(), QSize(85, 33));
        QCOMPARE(f.RzBmpButton4->Face().size(), QSize(84, 50));
        for (BitmapButton* b : {f.RzBmpButton1, f.RzBmpBtnSave, f.RzBmpButton3, f.RzBmpButton4}) {
            QCOMPARE(b->size(), b->Face().size());
            QVERIFY(!b->Face().hasAlphaChannel());  // 24-bit, opaque
            // Olive would be the transparent colour; no face uses it.
            const QImage face = b->Face().convertToFormat(QImage::Format_RGB888);
            for (int y = 0; y < face.height(); ++y)
                for (int x = 0; x < face.width(); ++x)
                    QVERIFY(face.pixelColor(x, y) != QColor(128, 128, 0));
        }
        QCOMPARE(f.Image3->Picture().size(), QSize(940, 73));
        QCOMPARE(f.Image4->Picture().size(), QSize(347, 169));
        QCOMPARE(f.windowIcon().availableSizes().value(0), QSize(32, 32));
    }

    void controlsDoNotOverlap() {
        Window w;
        TForm1& f = *w.form;
        // Controls that the layout keeps apart, in window coordinates.
        const QList<QWidget*> apart = {f.Image3, f.StatusBar1, f.Panel7, f.ScrollBox1, f.RzRichEdit2,
                                       f.Shape2, f.RzBmpButton3, f.RzBmpButton4, f.RzBmpBtnSave};
        for (int i = 0; i < apart.size(); ++i)
            for (int j = i + 1; j < apart.size(); ++j)
                QVERIFY2(!w.InWindow(apart[i]).intersects(w.InWindow(apart[j])),
                         qPrintable(apart[i]->metaObject()->className() + QString(" %1 %2").arg(i).arg(j)));
        // Inside the zoom area.
        const QList<QWidget*> zoom = {f.RzBmpButton1, f.Label2, f.Label3, f.RzTrackBar1};
        for (int i = 0; i < zoom.size(); ++i)
            for (int j = i + 1; j < zoom.size(); ++j)
                QVERIFY(!zoom[i]->geometry().intersects(zoom[j]->geometry()));
        // The instructions picture reaches under the crop button's bottom edge
        // no further than touching it.
        QVERIFY(!w.InWindow(f.RzBmpButton3).intersects(w.InWindow(f.Image4)));
        QCOMPARE(w.InWindow(f.RzBmpButton3).bottom() + 1, w.InWindow(f.Image4).top());
        // The ring of Shape2 is two pixels around the result panel.
        QCOMPARE(w.InWindow(f.Shape2).adjusted(2, 2, -2, -2), w.InWindow(f.Panel5));
        QCOMPARE(w.InWindow(f.Image2), w.InWindow(f.Panel5));
        // The instructions' first 11 columns lie left of the right column.
        QCOMPARE(w.InWindow(f.Panel4).left() - w.InWindow(f.Image4).left(), 11);
    }

    void stackingPutsWindowedControlsAbove() {
        Window w;
        TForm1& f = *w.form;
        QVERIFY(w.Show());
        // Where the save-as button and the instructions touch, the button is on top.
        const QRect both = w.InWindow(f.RzBmpBtnSave) & w.InWindow(f.Image4);
        QVERIFY(!both.isEmpty());
        QCOMPARE(f.childAt(both.center()), f.RzBmpBtnSave);
        // In the viewport the guide lines lie above the photo, the photo above the viewport.
        QCOMPARE(f.ScrollBox1->childAt(20, 100), f.RzLine3);
        QCOMPARE(f.ScrollBox1->childAt(100, 100), f.Image1);
    }

    void pressAreasOfTheGuideLines_data() {
        QTest::addColumn<QPoint>("point");  // in the viewport
        QTest::addColumn<bool>("reachesPhoto");
        QTest::newRow("top line") << QPoint(100, 15) << false;
        QTest::newRow("below top line") << QPoint(100, 19) << true;
        QTest::newRow("left line") << QPoint(22, 100) << false;
        QTest::newRow("right of left line") << QPoint(24, 100) << true;
        QTest::newRow("bottom line") << QPoint(100, 291) << false;
        QTest::newRow("above bottom line") << QPoint(100, 290) << true;
        QTest::newRow("right line") << QPoint(217, 200) << false;
        QTest::newRow("left of right line") << QPoint(216, 200) << true;
        QTest::newRow("corner box outside areas") << QPoint(12, 8) << true;
    }
    void pressAreasOfTheGuideLines() {
        QFETCH(QPoint, point);
        QFETCH(bool, reachesPhoto);
        Window w;
        TForm1& f = *w.form;
        // A photo that covers the whole viewport.
        QImage photo(400, 500, QImage::Format_RGB888);
        photo.fill(Qt::gray);
        f.Image1->SetPicture(photo, 1.0);
        f.Image1->move(-10, -10);
        QVERIFY(w.Show());
        QSignalSpy presses(f.Image1, &PhotoView::mousePressed);
        w.PressAt(f.ScrollBox1, point);
        QCOMPARE(presses.count(), reachesPhoto ? 1 : 0);
        if (reachesPhoto) {
            QCOMPARE(presses[0][2].toInt(), point.x() + 10);  // relative to Image1
            QCOMPARE(presses[0][3].toInt(), point.y() + 10);
        }
    }

    void focusAtStartAndTabOrder() {
        Window w;
        TForm1& f = *w.form;
        QVERIFY(w.Show());
        QCOMPARE(QApplication::focusWidget(), f.RzBmpButton1);
        const QList<QWidget*> forward = {f.RzBmpBtnSave, f.RzBmpButton3, f.RzBmpButton4, f.RzRichEdit2,
                                         f.RzBmpButton1};
        for (QWidget* next : forward) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        const QList<QWidget*> backward = {f.RzRichEdit2, f.RzBmpButton4, f.RzBmpButton3, f.RzBmpBtnSave,
                                          f.RzBmpButton1};
        for (QWidget* next : backward) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        // Once enabled, the slider is first in the order.
        f.RzTrackBar1->setEnabled(true);
        f.RzRichEdit2->setFocus();
        QTest::keyClick(f.RzRichEdit2, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.RzTrackBar1);
        QTest::keyClick(f.RzTrackBar1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.RzBmpButton1);
    }

    void clicksOnControlsWithoutFocusKeepIt() {
        Window w;
        TForm1& f = *w.form;
        QVERIFY(w.Show());
        // The disabled slider, the link, the photo and the labels take no focus.
        w.PressAt(f.RzTrackBar1, QPoint(5, 19));
        w.PressAt(f.Label3, QPoint(10, 6));
        w.PressAt(f.ScrollBox1, QPoint(100, 100));
        w.PressAt(f.Label2, QPoint(10, 6));
        QCOMPARE(QApplication::focusWidget(), f.RzBmpButton1);
        f.RzTrackBar1->setEnabled(true);
        w.PressAt(f.RzTrackBar1, f.RzTrackBar1->ThumbRect().center());
        QCOMPARE(QApplication::focusWidget(), f.RzTrackBar1);
    }

    void requirementsText() {
        Window w;
        QPlainTextEdit* e = w.form->RzRichEdit2;
        QCOMPARE(e->toPlainText().split('\n'),
                 QStringList({"裁剪后合格的照片要求为：", "1、无白色边框", "2、背景色为蓝、红或白色单色",
                              "3、生成人像头部距离照片左、上、右距离大约为0.5cm"}));
        QVERIFY(e->isReadOnly());
        QCOMPARE(e->palette().color(QPalette::Text), QColor(255, 0, 0));
        QCOMPARE(e->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(e->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(w.Show());
        e->setFocus();
        QTest::keyClicks(e, "abc");
        QTest::keyClick(e, Qt::Key_Backspace);
        QCOMPARE(e->toPlainText().split('\n').size(), 4);
        QVERIFY(e->toPlainText().startsWith("裁剪后"));
    }

    void statusBarPanes() {
        Window w;
        StatusPanes* bar = w.form->StatusBar1;
        QCOMPARE(bar->PaneCount(), 3);
        QVERIFY(!bar->PaneText(0).isEmpty());
        QVERIFY(bar->PaneText(1).isEmpty());
        QCOMPARE(bar->PaneText(2), QStringLiteral("2015年5月"));
        QCOMPARE(bar->PaneRect(0).width(), 300);
        QVERIFY(bar->PaneRect(2).isEmpty());  // the release month is not seen
    }

    void placeholderFollowsTheResultPhoto() {
        Window w;
        TForm1& f = *w.form;
        QVERIFY(w.Show());
        const QPoint middle = f.Panel5->rect().center();
        QVERIFY(f.Placeholder->isVisible());
        QCOMPARE(f.Placeholder->text(), QStringLiteral("生成的标准照片"));
        QCOMPARE(f.Placeholder->font().pixelSize(), 21);
        QCOMPARE(f.Panel5->grab().toImage().pixelColor(5, 5), QColor(255, 255, 128));

        QImage result(200, 280, QImage::Format_RGB32);
        result.fill(QColor(10, 20, 200));
        f.Image2->SetPicture(result);
        QVERIFY(!f.Placeholder->isVisible());
        QCOMPARE(f.Panel5->grab().toImage().pixelColor(middle), QColor(10, 20, 200));
        f.Image2->ClearPicture();
        QVERIFY(f.Placeholder->isVisible());
        QCOMPARE(f.Panel5->grab().toImage().pixelColor(5, 5), QColor(255, 255, 128));
    }

    void failureReportUnderTheAppTitle() {
        Window w;
        TForm1& f = *w.form;
        QVERIFY(w.Show());
        f.Guarded([] { throw std::runtime_error("JPEG error #42"); });
        f.Guarded([] { throw std::runtime_error("Cannot create file \"x.jpg\". Permission denied!"); });
        f.Guarded([] {});
        QCOMPARE(w.dialogs->messages.size(), 2);
        QCOMPARE(w.dialogs->messages[0].text, QStringLiteral("JPEG error #42."));
        QCOMPARE(w.dialogs->messages[0].caption, kAppTitle);
        QCOMPARE(w.dialogs->messages[0].flags, 16);
        QCOMPARE(w.dialogs->messages[1].text, QStringLiteral("Cannot create file \"x.jpg\". Permission denied!"));
        // The window goes on: the read button still takes a click.
        QSignalSpy clicks(f.RzBmpButton1, &BitmapButton::clicked);
        QTest::keyClick(f.RzBmpButton1, Qt::Key_Return);
        QCOMPARE(clicks.count(), 1);
        QVERIFY(f.isVisible());
    }

    void messageBoxStopsTheSlidersRepeat() {
        Window w;
        TForm1& f = *w.form;
        f.RzTrackBar1->setEnabled(true);
        QVERIFY(w.Show());
        QTest::mousePress(f.RzTrackBar1, Qt::LeftButton, {}, QPoint(2, 19));
        QCOMPARE(f.RzTrackBar1->PendingRepeatMs(), 200);
        int pendingDuringBox = 0;
        w.dialogs->onMessage = [&](const ScriptedDialogs::Message&) {
            pendingDuringBox = f.RzTrackBar1->PendingRepeatMs();
        };
        f.MessageBox("请先读取照片！", "提示", TForm1::MB_ICONINFORMATION);
        QCOMPARE(pendingDuringBox, -1);
        QCOMPARE(w.dialogs->messages.size(), 1);
        QCOMPARE(w.dialogs->messages[0].caption, QStringLiteral("提示"));
        QCOMPARE(w.dialogs->messages[0].flags, 64);
        const int position = f.RzTrackBar1->Position();
        QTest::qWait(350);
        QCOMPARE(f.RzTrackBar1->Position(), position);
        QTest::mouseRelease(f.RzTrackBar1, Qt::LeftButton, {}, QPoint(2, 19));
    }

    void exitButtonClosesAtOnce() {
        Window w;
        TForm1& f = *w.form;
        QVERIFY(w.Show());
        w.PressAt(f.RzBmpButton4, QPoint(40, 25));
        QVERIFY(!f.isVisible());
        QVERIFY(w.dialogs->messages.isEmpty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
