#include <QAccessible>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QtTest>

#include "ui/bitmap_button.h"
#include "ui/guide_line.h"
#include "ui/link_label.h"
#include "ui/photo_view.h"
#include "ui/picture_box.h"
#include "ui/status_panes.h"
#include "workspace/zoom.h"

namespace {

QImage Face(int w, int h) {
    QImage face(w, h, QImage::Format_RGB888);
    face.fill(QColor(30, 90, 200));
    return face;
}

// A gradient so that each pixel tells where it came from.
QImage Gradient(int w, int h) {
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixelColor(x, y, QColor(x % 256, y % 256, (x * 7 + y * 3) % 256));
    return img;
}

struct Host {
    QWidget top;
    QWidget* other;
    Host() {
        top.resize(400, 300);
        other = new QWidget(&top);
        other->setFocusPolicy(Qt::StrongFocus);
        other->setGeometry(350, 250, 40, 40);
    }
    bool Show() {
        top.show();
        if (!QTest::qWaitForWindowActive(&top))
            return false;
        other->setFocus();
        return true;
    }
};

}  // namespace

class ControlsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStyleFactory::create("Fusion")); }

    void bitmapButtonIsItsFace() {
        Host h;
        auto* b = new BitmapButton(Face(110, 33), QStringLiteral("读取照片"), &h.top);
        QCOMPARE(b->size(), QSize(110, 33));
        QVERIFY(h.Show());
        const QImage before = b->grab().toImage().convertToFormat(QImage::Format_RGB888);
        QCOMPARE(before, Face(110, 33));
        // Pressed and focused it looks the same: no focus mark, no pressed look.
        QTest::mousePress(b, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(b->hasFocus());
        QCOMPARE(b->grab().toImage().convertToFormat(QImage::Format_RGB888), before);
        QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(500, 500));
        // A screen reader finds a button named by the face's words.
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(b);
        QVERIFY(reader);
        QCOMPARE(reader->role(), QAccessible::Button);
        QCOMPARE(reader->text(QAccessible::Name), QStringLiteral("读取照片"));
    }

    void bitmapButtonMouse() {
        Host h;
        auto* b = new BitmapButton(Face(85, 33), QStringLiteral("读取照片"), &h.top);
        QVERIFY(h.Show());
        QSignalSpy clicks(b, &BitmapButton::clicked);

        // Released outside: no click, but the press gave the focus.
        QTest::mousePress(b, Qt::LeftButton, {}, QPoint(10, 10));
        QVERIFY(b->hasFocus());
        QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(200, 10));
        QCOMPARE(clicks.count(), 0);

        // Released over it: one click.
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(84, 32));
        QCOMPARE(clicks.count(), 1);

        // A release with no armed press does nothing.
        QTest::mouseRelease(b, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(clicks.count(), 1);

        // Other buttons take the focus but never click.
        h.other->setFocus();
        QTest::mouseClick(b, Qt::RightButton, {}, QPoint(10, 10));
        QVERIFY(b->hasFocus());
        h.other->setFocus();
        QTest::mouseClick(b, Qt::MiddleButton, {}, QPoint(10, 10));
        QVERIFY(b->hasFocus());
        QCOMPARE(clicks.count(), 1);
    }

    void bitmapButtonKeys() {
        Host h;
        auto* b = new BitmapButton(Face(84, 50), QStringLiteral("读取照片"), &h.top);
        QVERIFY(h.Show());
        b->setFocus();
        QSignalSpy clicks(b, &BitmapButton::clicked);
        QTest::keyPress(b, Qt::Key_Return);
        QCOMPARE(clicks.count(), 1);  // at once
        QTest::keyRelease(b, Qt::Key_Return);
        QTest::keyPress(b, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(clicks.count(), 2);
        QTest::keyRelease(b, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyPress(b, Qt::Key_Space);
        QCOMPARE(clicks.count(), 2);  // not yet
        QTest::keyRelease(b, Qt::Key_Space);
        QCOMPARE(clicks.count(), 3);  // on release
        // A Space released without its press (focus came in between) does nothing.
        QTest::keyRelease(b, Qt::Key_Space);
        QCOMPARE(clicks.count(), 3);
    }

    void linkLabelClicksWithoutFocus() {
        Host h;
        auto* link = new LinkLabel(QStringLiteral("还原照片尺寸"), &h.top);
        link->setGeometry(10, 10, 72, 12);
        QVERIFY(h.Show());
        QSignalSpy clicks(link, &LinkLabel::clicked);
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(30, 6));
        QCOMPARE(clicks.count(), 1);
        QVERIFY(h.other->hasFocus());
        QTest::mouseClick(link, Qt::RightButton, {}, QPoint(30, 6));
        QTest::mousePress(link, Qt::LeftButton, {}, QPoint(30, 6));
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(300, 6));
        QCOMPARE(clicks.count(), 1);
        // Link blue, and underlined on its last row, inside the label.
        const QImage shot = link->grab().toImage();
        int blueInLastRow = 0;
        for (int x = 0; x < shot.width(); ++x)
            blueInLastRow += shot.pixelColor(x, shot.height() - 1) == QColor(0, 90, 181);
        QVERIFY2(blueInLastRow >= shot.width() / 2, qPrintable(QString::number(blueInLastRow)));
    }

    void photoViewPictureStates() {
        QWidget parent;
        auto* view = new PhotoView(&parent);
        view->setGeometry(8, 0, 241, 289);
        QVERIFY(!view->HasPicture());
        QCOMPARE(view->PictureSize(), QSize(0, 0));

        const QImage source = Gradient(300, 200);
        view->SetPicture(source, 1.0);
        QVERIFY(view->HasPicture());
        QCOMPARE(view->geometry(), QRect(8, 0, 300, 200));
        QCOMPARE(view->Source().constBits(), source.constBits());  // shared, not copied

        view->move(-20, 30);
        view->SetPicture(source, 0.5);
        QCOMPARE(view->geometry(), QRect(-20, 30, 150, 100));
        QCOMPARE(view->Scale(), 0.5);

        // An empty rendering keeps the control's size and place.
        view->SetPicture(source, 0.0);
        QVERIFY(view->HasPicture());
        QCOMPARE(view->PictureSize(), QSize(0, 0));
        QCOMPARE(view->geometry(), QRect(-20, 30, 150, 100));

        view->ClearPicture();
        QVERIFY(!view->HasPicture());
        QCOMPARE(view->geometry(), QRect(-20, 30, 150, 100));
    }

    void photoViewPaintsTheRendering() {
        QWidget parent;
        parent.resize(400, 400);
        auto* view = new PhotoView(&parent);
        const QImage source = Gradient(120, 90);
        view->SetPicture(source, 1.7);
        const QSize size = view->PictureSize();
        QCOMPARE(size, workspace::ScaledSize(source.size(), 1.7));
        const QImage shown = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage expected =
            workspace::RenderRegion(source, size, QRect(QPoint(0, 0), size)).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown, expected);
    }

    void photoViewReportsMouse() {
        Host h;
        auto* view = new PhotoView(&h.top);
        view->setGeometry(20, 30, 100, 100);
        QVERIFY(h.Show());
        QSignalSpy presses(view, &PhotoView::mousePressed);
        QSignalSpy moves(view, &PhotoView::mouseMoved);
        QSignalSpy releases(view, &PhotoView::mouseReleased);
        QTest::mousePress(view, Qt::RightButton, Qt::ShiftModifier, QPoint(5, 7));
        QTest::mouseMove(view, QPoint(9, 11));
        QTest::mouseRelease(view, Qt::RightButton, Qt::ShiftModifier, QPoint(9, 11));
        QCOMPARE(presses.count(), 1);
        QCOMPARE(presses[0][0].value<Qt::MouseButton>(), Qt::RightButton);
        QCOMPARE(presses[0][1].value<Qt::KeyboardModifiers>(), Qt::KeyboardModifiers(Qt::ShiftModifier));
        QCOMPARE(presses[0][2].toInt(), 5);
        QCOMPARE(presses[0][3].toInt(), 7);
        QVERIFY(moves.count() >= 1);
        QCOMPARE(moves.last()[1].toInt(), 9);
        QCOMPARE(moves.last()[2].toInt(), 11);
        QCOMPARE(releases.count(), 1);
        QCOMPARE(releases[0][0].value<Qt::MouseButton>(), Qt::RightButton);
        QVERIFY(h.other->hasFocus());  // the photo takes no focus
    }

    void pictureBoxDrawsOneToOneAndCuts() {
        QWidget parent;
        auto* box = new PictureBox(&parent);
        box->setGeometry(0, 0, 50, 40);
        QSignalSpy changes(box, &PictureBox::pictureChanged);
        const QImage picture = Gradient(80, 30);
        box->SetPicture(picture);
        QVERIFY(box->HasPicture());
        QCOMPARE(box->size(), QSize(50, 40));  // the control keeps its size
        const QImage shown = box->grab().toImage().convertToFormat(QImage::Format_RGB888);
        QCOMPARE(shown.copy(0, 0, 50, 30), picture.copy(0, 0, 50, 30));
        box->ClearPicture();
        QVERIFY(!box->HasPicture());
        QCOMPARE(changes.count(), 2);
    }

    void guideLinePressAreasAndSegments_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QRect>("box");
        QTest::addColumn<QRect>("pressArea");  // in the parent's coordinates, inclusive
        QTest::addColumn<QPoint>("segmentLine");  // a point on the line's own row or column
        QTest::newRow("top") << int(Qt::Horizontal) << QRect(9, 5, 220, 20)
                             << QRect(QPoint(15, 11), QPoint(222, 18)) << QPoint(19, 15);
        QTest::newRow("bottom") << int(Qt::Horizontal) << QRect(9, 285, 220, 20)
                                << QRect(QPoint(15, 291), QPoint(222, 298)) << QPoint(19, 295);
        QTest::newRow("left") << int(Qt::Vertical) << QRect(10, 4, 20, 301)
                              << QRect(QPoint(16, 10), QPoint(23, 298)) << QPoint(20, 14);
        QTest::newRow("right") << int(Qt::Vertical) << QRect(211, 4, 20, 301)
                               << QRect(QPoint(217, 10), QPoint(224, 298)) << QPoint(221, 14);
    }
    void guideLinePressAreasAndSegments() {
        QFETCH(int, orientation);
        QFETCH(QRect, box);
        QFETCH(QRect, pressArea);
        QFETCH(QPoint, segmentLine);
        QWidget parent;
        parent.resize(242, 309);
        parent.setAutoFillBackground(true);
        QPalette pal;
        pal.setColor(QPalette::Window, Qt::white);
        parent.setPalette(pal);
        auto* line = new GuideLine(Qt::Orientation(orientation), box, &parent);
        QCOMPARE(line->geometry(), box);
        QCOMPARE(line->mask(), QRegion(pressArea.translated(-box.topLeft())));
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                QCOMPARE(parent.childAt(x, y) == line, pressArea.contains(x, y));
        // The green segment lies inside the press area and on its line.
        QVERIFY(pressArea.contains(line->Segment().translated(box.topLeft())));
        const QImage shown = parent.grab().toImage();
        QCOMPARE(shown.pixelColor(segmentLine + (orientation == Qt::Horizontal ? QPoint(50, 0) : QPoint(0, 50))),
                 QColor(0, 128, 0));
        QCOMPARE(shown.pixelColor(pressArea.topLeft()), QColor(Qt::white));
    }

    void statusPanesCutAtTheBarsEnd() {
        QWidget parent;
        auto* bar = new StatusPanes({{300, Qt::AlignLeft, "a"}, {550, Qt::AlignRight, ""}, {50, Qt::AlignRight, "c"}},
                                    &parent);
        bar->resize(829, 24);
        QCOMPARE(bar->PaneRect(0), QRect(0, 0, 300, 24));
        QCOMPARE(bar->PaneRect(1), QRect(300, 0, 529, 24));
        QVERIFY(bar->PaneRect(2).isEmpty());
        bar->resize(1000, 24);
        QCOMPARE(bar->PaneRect(1), QRect(300, 0, 550, 24));
        QCOMPARE(bar->PaneRect(2), QRect(850, 0, 150, 24));  // the last runs to the end
    }
};

QTEST_MAIN(ControlsTest)
#include "test_controls.moc"
