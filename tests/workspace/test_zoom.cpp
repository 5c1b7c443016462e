// Zoom scale, rendering sizes, centring, drag limits and the sampled rendering
// of the working photo, checked against independent references.
#include <QtTest>

#include <cmath>
#include <random>

#include "workspace/zoom.h"

using namespace workspace;

namespace {

// A rendering built whole, the straightforward way: every source pixel is
// spread over the destination columns and rows that show it.
QImage FullRendering(const QImage& source, QSize renderSize) {
    QImage full(renderSize, QImage::Format_RGB32);
    full.fill(Qt::white);
    const QImage rgb = source.convertToFormat(QImage::Format_RGB32);
    auto firstShowing = [](int s, int srcLen, int dstLen) {
        // smallest x with x * srcLen / dstLen >= s
        return static_cast<int>((static_cast<long long>(s) * dstLen + srcLen - 1) / srcLen);
    };
    for (int sy = 0; sy < source.height(); ++sy) {
        const int y0 = firstShowing(sy, source.height(), renderSize.height());
        const int y1 = firstShowing(sy + 1, source.height(), renderSize.height());
        for (int sx = 0; sx < source.width(); ++sx) {
            const int x0 = firstShowing(sx, source.width(), renderSize.width());
            const int x1 = firstShowing(sx + 1, source.width(), renderSize.width());
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    full.setPixel(x, y, rgb.pixel(sx, sy));
        }
    }
    return full;
}

// What a same-size copy from a whole bitmap gives: white where it falls outside.
QImage CopyFrom(const QImage& full, const QRect& region) {
    QImage out(region.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    for (int y = 0; y < region.height(); ++y)
        for (int x = 0; x < region.width(); ++x)
            if (!full.isNull() && full.rect().contains(region.left() + x, region.top() + y))
                out.setPixel(x, y, full.pixel(region.left() + x, region.top() + y));
    return out;
}

QImage RandomImage(QSize size, QImage::Format format, std::mt19937& rng) {
    QImage image(size, format);
    if (format == QImage::Format_Indexed8) {
        QList<QRgb> table;
        for (int i = 0; i < 236; ++i)
            table << qRgb(rng() % 256, rng() % 256, rng() % 256);
        image.setColorTable(table);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                image.setPixel(x, y, rng() % 236);
        return image;
    }
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(rng() % 256, rng() % 256, rng() % 256));
    return image;
}

// A photo whose pixel (x, y) tells its own coordinates.
QImage CoordinateImage(QSize size) {
    QImage image(size, QImage::Format_RGB888);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, (x / 256) * 16 + y / 256));
    return image;
}

}  // namespace

class TestZoom : public QObject {
    Q_OBJECT
private slots:
    void scaleIsTheNearestDouble() {
        QCOMPARE(ScaleForPosition(-20), 0.0);
        QCOMPARE(ScaleForPosition(0), 1.0);
        QCOMPARE(ScaleForPosition(20), 2.0);
        QVERIFY(ScaleForPosition(-18) == 0.1);                 // not 0.09999999999999998
        QVERIFY(-18 / 20.0 + 1 != 0.1);
        QVERIFY(ScaleForPosition(-19) == 0.05);
        QVERIFY(ScaleForPosition(-10) == 0.5);
    }

    void renderingSizesOfTheExamples() {
        QCOMPARE(ScaledLength(10, ScaleForPosition(-19)), 1);   // 0.50000000000000003
        QCOMPARE(ScaledLength(45, ScaleForPosition(-18)), 5);   // 4.50000000000000025
        QCOMPARE(ScaledSize(QSize(641, 800), ScaleForPosition(-20)), QSize(0, 0));
        QCOMPARE(ScaledSize(QSize(600, 800), ScaleForPosition(20)), QSize(1200, 1600));
        QCOMPARE(ScaledSize(QSize(641, 800), ScaleForPosition(-10)), QSize(320, 400));
        QCOMPARE(ScaledSize(QSize(300, 400), ScaleForPosition(-4)), QSize(240, 320));
        QCOMPARE(ScaledSize(QSize(300, 400), 0.5), QSize(150, 200));
        QCOMPARE(ScaledLength(30000, 2.0), 60000);
    }

    void renderingSizesMatchExtendedPrecision() {
        // Below 2048 pixels the x87 product of the length and the scale is
        // exact, so it serves as an independent reference for every position.
        for (int position = -20; position <= 20; ++position) {
            const double scale = ScaleForPosition(position);
            for (int length = 0; length < 2048; ++length) {
                const long double exact = static_cast<long double>(length) * scale;
                const int expected = static_cast<int>(std::nearbyintl(exact));
                if (ScaledLength(length, scale) != expected)
                    QFAIL(qPrintable(QString("position %1 length %2").arg(position).arg(length)));
            }
        }
    }

    void centringRoundsHalvesToEven() {
        QCOMPARE(CentredOffset(242, 241), 0);   // 0.5
        QCOMPARE(CentredOffset(309, 250), 30);  // 29.5
        QCOMPARE(CentredOffset(242, 240), 1);
        QCOMPARE(CentredOffset(309, 200), 54);  // 54.5
        QCOMPARE(CentredOffset(242, 150), 46);
        QCOMPARE(CropFrame(QSize(242, 309)), QRect(21, 14, 200, 280));
    }

    void stretchDropsOrRepeatsWholeColumns() {
        QList<int> three_to_five;
        for (int x = 0; x < 5; ++x)
            three_to_five << SourceIndex(x, 3, 5);
        QCOMPARE(three_to_five, (QList<int>{0, 0, 1, 1, 2}));
        QList<int> five_to_two;
        for (int x = 0; x < 2; ++x)
            five_to_two << SourceIndex(x, 5, 2);
        QCOMPARE(five_to_two, (QList<int>{0, 2}));
        QCOMPARE(SourceIndex(11999, 6000, 12000), 5999);
    }

    void regionsEqualTheFullRendering() {
        std::mt19937 rng(7);
        const QImage::Format formats[] = {QImage::Format_RGB888, QImage::Format_Indexed8, QImage::Format_RGB32};
        for (QImage::Format format : formats) {
            const QImage source = RandomImage(QSize(13, 9), format, rng);
            for (int position = -20; position <= 20; position += 3) {
                const QSize size = ScaledSize(source.size(), ScaleForPosition(position));
                const QImage full = size.isEmpty() ? QImage() : FullRendering(source, size);
                for (int k = 0; k < 6; ++k) {
                    const QRect region(int(rng() % 40) - 15, int(rng() % 30) - 10, int(rng() % 30) + 1,
                                       int(rng() % 25) + 1);
                    QCOMPARE(RenderRegion(source, size, region), CopyFrom(full, region));
                }
            }
        }
    }

    void cropCornersOfTheExamples() {
        const QRect frame = CropFrame(QSize(242, 309));
        const QImage photo = CoordinateImage(QSize(400, 500));

        // Photo at the frame's corner: pixels (0, 0) to (199, 279).
        QImage crop = RenderRegion(photo, photo.size(), frame.translated(-21, -14));
        QCOMPARE(crop.size(), QSize(200, 280));
        QCOMPARE(QColor(crop.pixel(0, 0)), QColor(photo.pixel(0, 0)));
        QCOMPARE(QColor(crop.pixel(199, 279)), QColor(photo.pixel(199, 279)));

        // Dragged to its lowest limits: the bottom-right 200 x 280 corner.
        const int left = frame.right() + 1 - 400, top = frame.bottom() + 1 - 500;
        QCOMPARE(QPoint(left, top), QPoint(-179, -206));
        crop = RenderRegion(photo, photo.size(), frame.translated(-left, -top));
        QCOMPARE(QColor(crop.pixel(0, 0)), QColor(photo.pixel(200, 220)));
        QCOMPARE(QColor(crop.pixel(199, 279)), QColor(photo.pixel(399, 499)));

        // A 300 x 400 photo at scale 0.5, centred: white around columns 25..174, rows 40..239.
        const QImage small = CoordinateImage(QSize(300, 400));
        const QSize half = ScaledSize(small.size(), 0.5);
        const QPoint at(CentredOffset(242, half.width()), CentredOffset(309, half.height()));
        QCOMPARE(at, QPoint(46, 54));
        crop = RenderRegion(small, half, frame.translated(-at));
        QCOMPARE(QColor(crop.pixel(24, 100)), QColor(Qt::white));
        QCOMPARE(QColor(crop.pixel(25, 40)), QColor(small.pixel(0, 0)));
        QCOMPARE(QColor(crop.pixel(174, 239)), QColor(small.pixel(298, 398)));
        QCOMPARE(QColor(crop.pixel(175, 100)), QColor(Qt::white));
        QCOMPARE(QColor(crop.pixel(100, 39)), QColor(Qt::white));
        QCOMPARE(QColor(crop.pixel(100, 240)), QColor(Qt::white));

        // Scale 0: an empty rendering crops to all white.
        crop = RenderRegion(small, QSize(0, 0), QRect(-25, -40, 200, 280));
        QImage white(200, 280, QImage::Format_RGB32);
        white.fill(Qt::white);
        QCOMPARE(crop, white);
    }

    void dragLimitsAndOvershoot() {
        // 400 x 500 photo under the frame at 21, 14: lowest -179, highest 21.
        const int lowest = -179, highest = 21;
        QCOMPARE(DragAxis(21, 50, 40, lowest, highest), 21);          // right at the limit stays
        QCOMPARE(DragAxis(0, 50, 40, lowest, highest), 10);           // moves freely inside
        QCOMPARE(DragAxis(lowest + 5, 10, 40, lowest, highest), -204);  // one move overshoots by 25
        QCOMPARE(DragAxis(-204, 35, 40, lowest, highest), lowest);    // the next snaps, offset ignored
        QCOMPARE(DragAxis(-204, 40, 40, lowest, highest), lowest);    // an unmoved pointer snaps too
        QCOMPARE(DragAxis(15, 80, 40, lowest, highest), 55);          // overshoot to the right
        QCOMPARE(DragAxis(55, 41, 40, lowest, highest), highest);

        // A photo narrower than the frame: lowest (71) lies right of highest (21).
        QCOMPARE(DragAxis(46, 30, 40, 71, 21), 71);  // pointer not right of the grab point
        QCOMPARE(DragAxis(46, 41, 40, 71, 21), 21);
    }
};

QTEST_GUILESS_MAIN(TestZoom)
#include "test_zoom.moc"
