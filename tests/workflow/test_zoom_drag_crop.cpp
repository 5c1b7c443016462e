// Zoom, drag, reset and crop through the window: sizes and places of the
// working photo, the drag limits, and the result photo's pixels.
#include <QtTest>

#include "window_fixture.h"

namespace {

QImage Decoded(const QString& fixture) {
    return photo::DecodeJpeg(ReadBytes(Fixture(fixture)));
}

bool SameColour(QRgb a, QRgb b) {
    return (a | 0xff000000u) == (b | 0xff000000u);
}

void Drag(TForm1* window, QPoint from, QPoint to) {
    window->Image1MouseDown(Qt::LeftButton, {}, from.x(), from.y());
    window->Image1MouseMove({}, to.x(), to.y());
    window->Image1MouseUp(Qt::LeftButton, {}, to.x(), to.y());
}

}  // namespace

class TestZoomDragCrop : public QObject {
    Q_OBJECT
private slots:
    void zoomSizesAndPlaces() {
        WindowUnderTest w;
        QVERIFY(w.Read(Fixture("workflow/portrait_400x500.jpg")).isEmpty());
        QCOMPARE(w.PhotoPos(), QPoint(8, 0));
        // Scale 2.0 grows right and down from the current corner.
        w->RzTrackBar1->SetPosition(20);
        QCOMPARE(QRect(w.PhotoPos(), w.PhotoSize()), QRect(8, 0, 800, 1000));
        // Scale 0.5 fits both ways: centred, 29.5 rounding to 30.
        w->RzTrackBar1->SetPosition(-10);
        QCOMPARE(QRect(w.PhotoPos(), w.PhotoSize()), QRect(21, 30, 200, 250));
        // Scale 0: nothing to show, the control keeps its size and place.
        w->RzTrackBar1->SetPosition(-20);
        QVERIFY(w->Image1->HasPicture());
        QCOMPARE(w->Image1->PictureSize(), QSize(0, 0));
        QCOMPARE(QRect(w.PhotoPos(), w.PhotoSize()), QRect(21, 30, 200, 250));
        QVERIFY(w.user->messages.isEmpty());

        // 300 x 400 at scale 0.8 is 240 x 320: centred across (left 1), not down.
        WindowUnderTest s;
        QVERIFY(s.Read(Fixture("workflow/studio_blue.jpg")).isEmpty());
        s->Image1MouseDown(Qt::LeftButton, {}, 50, 50);
        s->Image1MouseMove({}, 50, 40);
        s->Image1MouseUp(Qt::LeftButton, {}, 50, 40);
        QCOMPARE(s.PhotoPos(), QPoint(8, -10));
        s->RzTrackBar1->SetPosition(-4);
        QCOMPARE(QRect(s.PhotoPos(), s.PhotoSize()), QRect(1, -10, 240, 320));
    }

    void dragLimitsWithOneMoveOfOvershoot() {
        WindowUnderTest w;
        QVERIFY(w.Read(Fixture("workflow/portrait_400x500.jpg")).isEmpty());
        // Lowest left 221 - 400 = -179, lowest top 294 - 500 = -206.
        w->Image1MouseDown(Qt::LeftButton, {}, 200, 200);
        w->Image1MouseMove({}, 18, 200);
        QCOMPARE(w.PhotoPos(), QPoint(-174, 0));
        w->Image1MouseMove({}, 170, 200);  // 30 further: 25 beyond the limit
        QCOMPARE(w.PhotoPos(), QPoint(-204, 0));
        w->Image1MouseMove({}, 199, 200);  // the next move snaps, its offset ignored
        QCOMPARE(w.PhotoPos(), QPoint(-179, 0));
        w->Image1MouseMove({}, 200, 400);  // down: top 0 is below its highest (14)
        QCOMPARE(w.PhotoPos(), QPoint(-179, 200));
        w->Image1MouseMove({}, 200, 201);
        QCOMPARE(w.PhotoPos(), QPoint(-179, 14));
        // Release of any button ends the drag.
        w->Image1MouseUp(Qt::RightButton, {}, 0, 0);
        QVERIFY(!w->FDragging);
        w->Image1MouseMove({}, 0, 0);
        QCOMPARE(w.PhotoPos(), QPoint(-179, 14));

        // Narrower than the frame: 193 wide, lowest left 28 lies right of highest 21.
        WindowUnderTest n;
        QVERIFY(n.Read(Fixture("workflow/portrait_241x250.jpg")).isEmpty());
        n->RzTrackBar1->SetPosition(-4);
        QCOMPARE(QRect(n.PhotoPos(), n.PhotoSize()), QRect(24, 54, 193, 200));
        Drag(n.window.get(), {50, 50}, {50, 50});
        QCOMPARE(n.PhotoPos().x(), 28);  // right edges aligned
        Drag(n.window.get(), {50, 50}, {51, 50});
        QCOMPARE(n.PhotoPos().x(), 21);  // left edges aligned
    }

    void dragThroughRealMouseEvents() {
        WindowUnderTest w;
        QVERIFY(w.Read(Fixture("workflow/portrait_400x500.jpg")).isEmpty());
        QTest::mousePress(w->Image1, Qt::LeftButton, {}, QPoint(100, 100));
        QMouseEvent move(QEvent::MouseMove, QPointF(80, 90), w->Image1->mapToGlobal(QPointF(80, 90)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w->Image1, &move);
        QCOMPARE(w.PhotoPos(), QPoint(-12, -10));
        QTest::mouseRelease(w->Image1, Qt::LeftButton, {}, QPoint(80, 90));
        QVERIFY(!w->FDragging);
    }

    void resetZoom() {
        WindowUnderTest w;
        QVERIFY(w.Read(Fixture("workflow/portrait_241x250.jpg")).isEmpty());
        Drag(w.window.get(), {10, 10}, {5, 5});
        QCOMPARE(w.PhotoPos(), QPoint(-5, 44));  // the top snaps to its lowest limit (294 - 250)
        // At 0 already: rendered again and re-centred.
        w->Label3Click();
        QCOMPARE(QRect(w.PhotoPos(), w.PhotoSize()), QRect(0, 30, 241, 250));
        // Elsewhere: back to 0 and the natural size.
        w->RzTrackBar1->SetPosition(13);
        w->Label3Click();
        QCOMPARE(w->RzTrackBar1->Position(), 0);
        QCOMPARE(QRect(w.PhotoPos(), w.PhotoSize()), QRect(0, 30, 241, 250));
        QVERIFY(w.user->messages.isEmpty());

        WindowUnderTest empty;
        empty->Label3Click();
        QVERIFY_MESSAGE(empty.user->messages, texts::kReadFirst, texts::kError, 16);
    }

    void cropCorners() {
        const QImage decoded = Decoded("workflow/studio_blue.jpg");
        WindowUnderTest w;
        QVERIFY_MESSAGE(w.Crop(), texts::kReadFirst, texts::kError, 16);
        QVERIFY(!w->Image2->HasPicture());

        QVERIFY(w.Read(Fixture("workflow/studio_blue.jpg")).isEmpty());
        QVERIFY(w.Crop().isEmpty());
        QImage result = w->Image2->Picture();
        QCOMPARE(result.size(), QSize(200, 280));
        // The photo at (8, 0) under the frame at (21, 14): corner (13, 14).
        QVERIFY(SameColour(result.pixel(0, 0), decoded.pixel(13, 14)));
        QVERIFY(SameColour(result.pixel(199, 279), decoded.pixel(212, 293)));

        // Dragged to its lowest limits (-79, -106): the bottom-right corner.
        Drag(w.window.get(), {0, 0}, {-300, -300});
        Drag(w.window.get(), {0, 0}, {0, 0});
        QCOMPARE(w.PhotoPos(), QPoint(-79, -106));
        QVERIFY(w.Crop().isEmpty());
        result = w->Image2->Picture();
        QVERIFY(SameColour(result.pixel(0, 0), decoded.pixel(100, 120)));
        QVERIFY(SameColour(result.pixel(199, 279), decoded.pixel(299, 399)));

        // Scale 0.5, centred at (46, 54): photo in columns 25..174, rows 40..239.
        w->RzTrackBar1->SetPosition(-10);
        QCOMPARE(QRect(w.PhotoPos(), w.PhotoSize()), QRect(46, 54, 150, 200));
        QVERIFY(w.Crop().isEmpty());
        result = w->Image2->Picture();
        QVERIFY(SameColour(result.pixel(24, 100), qRgb(255, 255, 255)));
        QVERIFY(SameColour(result.pixel(25, 40), decoded.pixel(0, 0)));
        QVERIFY(SameColour(result.pixel(174, 239), decoded.pixel(298, 398)));
        QVERIFY(SameColour(result.pixel(175, 100), qRgb(255, 255, 255)));
        QVERIFY(SameColour(result.pixel(100, 240), qRgb(255, 255, 255)));

        // Scale 0: an all-white result photo.
        w->RzTrackBar1->SetPosition(-20);
        QVERIFY(w.Crop().isEmpty());
        QImage white(200, 280, QImage::Format_RGB32);
        white.fill(Qt::white);
        QCOMPARE(w->Image2->Picture().convertToFormat(QImage::Format_RGB32), white);
        // The crop changed nothing else.
        QCOMPARE(w->RzTrackBar1->Position(), -20);
        QCOMPARE(w.PhotoPos(), QPoint(46, 54));
    }

    void whatIsShownUnderTheFrameIsWhatIsCropped() {
        WindowUnderTest w;
        QVERIFY(w.Read(Fixture("workflow/portrait_400x500.jpg")).isEmpty());
        for (GuideLine* line : {w->RzLine1, w->RzLine2, w->RzLine3, w->RzLine4})
            line->hide();
        const int positions[] = {7, -3, 20, -9};
        for (int position : positions) {
            w->RzTrackBar1->SetPosition(position);
            Drag(w.window.get(), {30, 30}, {20, 25});
            QVERIFY(w.Crop().isEmpty());
            const QImage screen = w->ScrollBox1->grab().toImage().convertToFormat(QImage::Format_RGB32);
            QCOMPARE(screen.copy(21, 14, 200, 280), w->Image2->Picture().convertToFormat(QImage::Format_RGB32));
        }
    }
};

QTEST_MAIN(TestZoomDragCrop)
#include "test_zoom_drag_crop.moc"
