#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QtTest>

#include "ui/zoom_slider.h"

namespace {

// The slider as in the window: 241 x 38, inside a parent that can take focus
// elsewhere.
struct Fixture {
    QWidget top;
    ZoomSlider* slider;
    QWidget* other;
    Fixture() {
        top.resize(300, 100);
        slider = new ZoomSlider(&top);
        slider->setGeometry(0, 56, 241, 38);
        other = new QWidget(&top);
        other->setFocusPolicy(Qt::StrongFocus);
        other->setGeometry(250, 0, 40, 40);
        top.show();
        QVERIFY2(QTest::qWaitForWindowActive(&top), "window not active");
        other->setFocus();
    }
    QPoint ThumbCentre() const { return slider->ThumbRect().center(); }
    int TrackY() const { return slider->height() / 2; }
};

}  // namespace

class ZoomSliderTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(QStyleFactory::create("Fusion")); }

    void programSetsEmitOnlyOnChange() {
        Fixture f;
        QSignalSpy spy(f.slider, &ZoomSlider::changed);
        QCOMPARE(f.slider->Position(), 0);
        f.slider->SetPosition(0);
        QCOMPARE(spy.count(), 0);
        f.slider->SetPosition(5);
        QCOMPARE(spy.count(), 1);
        f.slider->SetPosition(99);  // clamped
        QCOMPARE(f.slider->Position(), 20);
        QCOMPARE(spy.count(), 2);
        f.slider->SetPosition(21);  // clamps to the current value: nothing
        QCOMPARE(spy.count(), 2);
        f.slider->SetPosition(-100);
        QCOMPARE(f.slider->Position(), -20);
        QCOMPARE(spy.count(), 3);
        // Disabled, the program still sets it.
        f.slider->setEnabled(false);
        f.slider->SetPosition(0);
        QCOMPARE(spy.count(), 4);
    }

    void emitsAfterStoring() {
        Fixture f;
        QList<int> seen;
        connect(f.slider, &ZoomSlider::changed, f.slider, [&] { seen << f.slider->Position(); });
        f.slider->SetPosition(3);
        f.slider->SetPosition(-4);
        QCOMPARE(seen, QList<int>({3, -4}));
    }

    void keys_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("expected");
        const int none = 0;
        const int keypad = int(Qt::KeypadModifier);
        QTest::newRow("left") << 0 << int(Qt::Key_Left) << none << -1;
        QTest::newRow("down") << 0 << int(Qt::Key_Down) << none << -1;
        QTest::newRow("keypad minus") << 0 << int(Qt::Key_Minus) << keypad << -1;
        QTest::newRow("right") << 0 << int(Qt::Key_Right) << none << 1;
        QTest::newRow("up") << 0 << int(Qt::Key_Up) << none << 1;
        QTest::newRow("keypad plus") << 0 << int(Qt::Key_Plus) << keypad << 1;
        QTest::newRow("page up") << 0 << int(Qt::Key_PageUp) << none << 1;
        QTest::newRow("page down") << 0 << int(Qt::Key_PageDown) << none << -1;
        QTest::newRow("home") << 7 << int(Qt::Key_Home) << none << -20;
        QTest::newRow("end") << -7 << int(Qt::Key_End) << none << 20;
        QTest::newRow("main minus does nothing") << 0 << int(Qt::Key_Minus) << none << 0;
        QTest::newRow("main plus does nothing") << 0 << int(Qt::Key_Plus) << none << 0;
        QTest::newRow("left at minimum") << -20 << int(Qt::Key_Left) << none << -20;
        QTest::newRow("page down at minimum") << -20 << int(Qt::Key_PageDown) << none << -20;
    }
    void keys() {
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, expected);
        Fixture f;
        f.slider->SetPosition(start);
        f.slider->setFocus();
        QSignalSpy spy(f.slider, &ZoomSlider::changed);
        QTest::keyClick(f.slider, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(f.slider->Position(), expected);
        QCOMPARE(spy.count(), expected == start ? 0 : 1);
    }

    void atMaximumOnlyHomeMoves() {
        Fixture f;
        f.slider->SetPosition(20);
        f.slider->setFocus();
        QList<int> seen;
        connect(f.slider, &ZoomSlider::changed, f.slider, [&] { seen << f.slider->Position(); });
        QTest::keyClick(f.slider, Qt::Key_Right);
        QTest::keyClick(f.slider, Qt::Key_Up);
        QTest::keyClick(f.slider, Qt::Key_Plus, Qt::KeypadModifier);
        QTest::keyClick(f.slider, Qt::Key_PageUp);
        QTest::keyClick(f.slider, Qt::Key_End);
        QVERIFY(seen.isEmpty());
        QCOMPARE(f.slider->Position(), 20);
        QTest::keyClick(f.slider, Qt::Key_Home);
        QCOMPARE(seen, QList<int>({-20}));
    }

    void disabledTakesNothing() {
        Fixture f;
        f.slider->setEnabled(false);
        QSignalSpy spy(f.slider, &ZoomSlider::changed);
        QTest::mouseClick(f.slider, Qt::LeftButton, {}, QPoint(10, f.TrackY()));
        QTest::keyClick(f.slider, Qt::Key_Home);
        QCOMPARE(spy.count(), 0);
        QVERIFY(!f.slider->hasFocus());
        f.slider->setFocus();
        QVERIFY(!f.slider->hasFocus());
    }

    void leftClickTakesFocusOtherButtonsAndWheelDoNothing() {
        Fixture f;
        QSignalSpy spy(f.slider, &ZoomSlider::changed);
        QTest::mouseClick(f.slider, Qt::MiddleButton, {}, QPoint(10, f.TrackY()));
        QTest::mouseClick(f.slider, Qt::RightButton, {}, QPoint(10, f.TrackY()));
        QWheelEvent wheel(QPointF(f.ThumbCentre()), f.slider->mapToGlobal(QPointF(f.ThumbCentre())), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(f.slider, &wheel);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(f.slider->Position(), 0);
        QVERIFY(!f.slider->hasFocus());
        QTest::mouseClick(f.slider, Qt::LeftButton, {}, f.ThumbCentre());
        QVERIFY(f.slider->hasFocus());
        QCOMPARE(spy.count(), 0);
    }

    void trackPressRepeatsWithItsTiming() {
        Fixture f;
        QElapsedTimer clock;
        QList<qint64> at;
        QList<int> positions;
        connect(f.slider, &ZoomSlider::changed, f.slider, [&] {
            at << clock.elapsed();
            positions << f.slider->Position();
        });
        // Far left of the track: the thumb walks toward the pointer.
        const QPoint pointer(f.slider->ThumbLeftFor(-4) + 2, f.TrackY());
        clock.start();
        QTest::mousePress(f.slider, Qt::LeftButton, {}, pointer);
        QCOMPARE(positions, QList<int>({-1}));  // one step at once
        QCOMPARE(f.slider->PendingRepeatMs(), 200);
        QTRY_COMPARE_WITH_TIMEOUT(positions.size(), 2, 2000);
        QCOMPARE(f.slider->PendingRepeatMs(), 100);
        QTRY_COMPARE_WITH_TIMEOUT(positions.size(), 4, 2000);
        // It stops where the thumb covers the pointer, button still down.
        QCOMPARE(positions, QList<int>({-1, -2, -3, -4}));
        QCOMPARE(f.slider->PendingRepeatMs(), -1);
        QTest::qWait(250);
        QCOMPARE(positions.size(), 4);
        QTest::mouseRelease(f.slider, Qt::LeftButton, {}, pointer);
        // A precise timer never fires early.
        QVERIFY2(at[1] - at[0] >= 200, qPrintable(QString::number(at[1] - at[0])));
        QVERIFY2(at[2] - at[1] >= 100, qPrintable(QString::number(at[2] - at[1])));
        QVERIFY2(at[3] - at[2] >= 100, qPrintable(QString::number(at[3] - at[2])));
        QVERIFY(at[1] - at[0] < 1000);
    }

    void releaseEndsTheRepeat() {
        Fixture f;
        QSignalSpy spy(f.slider, &ZoomSlider::changed);
        const QPoint pointer(f.slider->width() - 3, f.TrackY());
        QTest::mousePress(f.slider, Qt::LeftButton, {}, pointer);
        QCOMPARE(f.slider->Position(), 1);
        QTest::mouseRelease(f.slider, Qt::LeftButton, {}, pointer);
        QCOMPARE(f.slider->PendingRepeatMs(), -1);
        QTest::qWait(350);
        QCOMPARE(spy.count(), 1);
    }

    void stopRepeatEndsTheRepeat() {
        Fixture f;
        QSignalSpy spy(f.slider, &ZoomSlider::changed);
        QTest::mousePress(f.slider, Qt::LeftButton, {}, QPoint(2, f.TrackY()));
        f.slider->StopRepeat();
        QTest::qWait(350);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(f.slider->Position(), -1);
    }

    void pressBesideTheThumbEdgeStepsOnce() {
        Fixture f;
        // One pixel right of the thumb: one step covers that pixel.
        const QPoint pointer(f.slider->ThumbRect().right() + 1, f.TrackY());
        QSignalSpy spy(f.slider, &ZoomSlider::changed);
        QTest::mousePress(f.slider, Qt::LeftButton, {}, pointer);
        QCOMPARE(f.slider->Position(), 1);
        QCOMPARE(f.slider->PendingRepeatMs(), -1);
        QTest::mouseRelease(f.slider, Qt::LeftButton, {}, pointer);
        QCOMPARE(spy.count(), 1);
    }

    void dragFollowsThePointerClamped() {
        Fixture f;
        QList<int> seen;
        connect(f.slider, &ZoomSlider::changed, f.slider, [&] { seen << f.slider->Position(); });
        const QPoint grab = f.ThumbCentre() + QPoint(2, 0);  // off-centre grab keeps its offset
        const int offset = grab.x() - f.slider->ThumbRect().left();
        QTest::mousePress(f.slider, Qt::LeftButton, {}, grab);
        QVERIFY(seen.isEmpty());
        QTest::mouseMove(f.slider, QPoint(f.slider->ThumbLeftFor(7) + offset, grab.y()));
        QTest::mouseMove(f.slider, QPoint(f.slider->ThumbLeftFor(-3) + offset, grab.y()));
        QTest::mouseMove(f.slider, QPoint(-500, grab.y()));
        QTest::mouseMove(f.slider, QPoint(f.slider->width() + 500, grab.y()));
        QTest::mouseRelease(f.slider, Qt::LeftButton, {}, QPoint(f.slider->width() + 500, grab.y()));
        QCOMPARE(seen, QList<int>({7, -3, -20, 20}));
    }

    void dragRoundsHalvesToEven() {
        // 160 pixels of travel: 4 pixels a step, so two pixels is half a step.
        ZoomSlider slider(nullptr);
        slider.resize(2 * ZoomSlider::kMargin + ZoomSlider::kThumbWidth + 160, 38);
        const int origin = ZoomSlider::kMargin;
        QCOMPARE(slider.PositionForThumbLeft(origin), -20);
        QCOMPARE(slider.PositionForThumbLeft(origin + 2), -20);  // -19.5 -> -20
        QCOMPARE(slider.PositionForThumbLeft(origin + 3), -19);
        QCOMPARE(slider.PositionForThumbLeft(origin + 6), -18);  // -18.5 -> -18
        QCOMPARE(slider.PositionForThumbLeft(origin + 10), -18); // -17.5 -> -18
        QCOMPARE(slider.PositionForThumbLeft(origin + 80), 0);
        QCOMPARE(slider.PositionForThumbLeft(origin + 82), 0);   // 0.5 -> 0
        QCOMPARE(slider.PositionForThumbLeft(origin + 86), 2);   // 1.5 -> 2
        QCOMPARE(slider.PositionForThumbLeft(origin - 40), -20);
        QCOMPARE(slider.PositionForThumbLeft(origin + 400), 20);
        for (int p = -20; p <= 20; ++p)
            QCOMPARE(slider.PositionForThumbLeft(slider.ThumbLeftFor(p)), p);
    }
};

QTEST_MAIN(ZoomSliderTest)
#include "test_zoom_slider.moc"
