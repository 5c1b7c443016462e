// Colour classes, the sample walks and the two acceptance checks.
#include <QtTest>

#include "export/acceptance.h"

using upload::CheckBackground;
using upload::CheckBottomEdge;
using upload::ColorMismatch;
using upload::CountEdgeMismatches;
using upload::PixelAt;

namespace {

const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);

QImage Filled(QRgb colour, int w = 200, int h = 280, QImage::Format format = QImage::Format_RGB32) {
    QImage image(w, h, format);
    image.fill(colour);
    return image;
}

// The edge points of a 200 x 280 photo: top row, left column, right column.
const QList<QPoint> kEdgePoints = {
    {1, 3}, {41, 3}, {81, 3}, {121, 3}, {161, 3}, {3, 1}, {3, 71}, {197, 1}, {197, 71}};
const QList<QPoint> kBottomPoints = {{1, 277}, {41, 277}, {81, 277}, {121, 277}, {161, 277}};

}  // namespace

class TestExportAcceptance : public QObject {
    Q_OBJECT

private slots:
    void colourClasses_data();
    void colourClasses();
    void unknownClassNeverMatches_data();
    void unknownClassNeverMatches();
    void pixelAtKeepsChannels_data();
    void pixelAtKeepsChannels();
    void edgeWalkVisitsExactlyTheSamplePoints();
    void bottomWalkVisitsExactlyTheSamplePoints();
    void walkStepsRoundHalvesToEven();
    void background_data();
    void background();
    void backgroundWithOneBlackPoint();
    void refusalClearsColouredFlag();
    void blueBackgroundWithWhiteBottomIsAccepted();
    void bottomEdgeWithOneDarkPoint();
    void tooSmallPhotoIsRefused();
};

void TestExportAcceptance::colourClasses_data() {
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::addColumn<QString>("colourClass");
    QTest::addColumn<int>("mismatch");

    // Blue: B > t + 40 and R + G < t + 250, t = max(B - 110, 0).
    QTest::newRow("B (0,0,40)") << 0 << 0 << 40 << "B" << 1;
    QTest::newRow("B (0,0,41)") << 0 << 0 << 41 << "B" << 0;
    QTest::newRow("B (100,149,110)") << 100 << 149 << 110 << "B" << 0;
    QTest::newRow("B (100,150,110)") << 100 << 150 << 110 << "B" << 1;
    QTest::newRow("B (130,130,121)") << 130 << 130 << 121 << "B" << 0;
    QTest::newRow("B (130,131,121)") << 130 << 131 << 121 << "B" << 1;
    QTest::newRow("B grey 128") << 128 << 128 << 128 << "B" << 0;
    QTest::newRow("B pure blue") << 0 << 0 << 255 << "B" << 0;
    QTest::newRow("B dull red") << 120 << 60 << 60 << "B" << 0;
    // Red and blue swapped must not match: catches a byte-order mix-up.
    QTest::newRow("B swapped (110,149,100)") << 110 << 149 << 100 << "B" << 1;
    QTest::newRow("B pure red") << 255 << 0 << 0 << "B" << 1;

    // Red: R > t + 100 and G + B < t + 190, t = max(R - 110, 0).
    QTest::newRow("R (100,0,0)") << 100 << 0 << 0 << "R" << 1;
    QTest::newRow("R (101,0,0)") << 101 << 0 << 0 << "R" << 0;
    QTest::newRow("R (101,100,89)") << 101 << 100 << 89 << "R" << 0;
    QTest::newRow("R (101,100,90)") << 101 << 100 << 90 << "R" << 1;
    QTest::newRow("R (200,140,139)") << 200 << 140 << 139 << "R" << 0;
    QTest::newRow("R (200,140,140)") << 200 << 140 << 140 << "R" << 1;
    QTest::newRow("R (230,30,30)") << 230 << 30 << 30 << "R" << 0;
    QTest::newRow("R dull red") << 120 << 60 << 60 << "R" << 0;
    QTest::newRow("R swapped (89,100,101)") << 89 << 100 << 101 << "R" << 1;
    QTest::newRow("R pure blue") << 0 << 0 << 255 << "R" << 1;

    // White and bright white: every channel strictly above 200 / 240.
    QTest::newRow("W (201,201,201)") << 201 << 201 << 201 << "W" << 0;
    QTest::newRow("W1 (201,201,201)") << 201 << 201 << 201 << "W1" << 1;
    QTest::newRow("W (200,255,255)") << 200 << 255 << 255 << "W" << 1;
    QTest::newRow("W (255,200,255)") << 255 << 200 << 255 << "W" << 1;
    QTest::newRow("W (255,255,200)") << 255 << 255 << 200 << "W" << 1;
    QTest::newRow("W1 (200,255,255)") << 200 << 255 << 255 << "W1" << 1;
    QTest::newRow("W (241,241,241)") << 241 << 241 << 241 << "W" << 0;
    QTest::newRow("W1 (241,241,241)") << 241 << 241 << 241 << "W1" << 0;
    QTest::newRow("W1 (240,241,241)") << 240 << 241 << 241 << "W1" << 1;
    QTest::newRow("W1 (241,241,240)") << 241 << 241 << 240 << "W1" << 1;
    QTest::newRow("W (210,210,210)") << 210 << 210 << 210 << "W" << 0;
    QTest::newRow("W1 (210,210,210)") << 210 << 210 << 210 << "W1" << 1;
}

void TestExportAcceptance::colourClasses() {
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    QFETCH(QString, colourClass);
    QFETCH(int, mismatch);
    QCOMPARE(ColorMismatch(qRgb(r, g, b), colourClass), mismatch);
}

void TestExportAcceptance::unknownClassNeverMatches_data() {
    QTest::addColumn<QString>("colourClass");
    QTest::newRow("lower-case b") << "b";
    QTest::newRow("lower-case r") << "r";
    QTest::newRow("lower-case w1") << "w1";
    QTest::newRow("empty") << "";
    QTest::newRow("trailing space") << "B ";
    QTest::newRow("W2") << "W2";
}

void TestExportAcceptance::unknownClassNeverMatches() {
    QFETCH(QString, colourClass);
    for (const QRgb colour : {kBlue, qRgb(255, 0, 0), kWhite, qRgb(128, 128, 128), kBlack})
        QCOMPARE(ColorMismatch(colour, colourClass), 1);
}

void TestExportAcceptance::pixelAtKeepsChannels_data() {
    QTest::addColumn<int>("format");
    QTest::newRow("RGB32") << int(QImage::Format_RGB32);
    QTest::newRow("ARGB32") << int(QImage::Format_ARGB32);
    QTest::newRow("RGB888") << int(QImage::Format_RGB888);
    QTest::newRow("BGR888") << int(QImage::Format_BGR888);
}

void TestExportAcceptance::pixelAtKeepsChannels() {
    QFETCH(int, format);
    QImage photo = Filled(kWhite, 200, 280, QImage::Format(format));
    photo.setPixel(41, 3, qRgb(100, 149, 110));
    photo.setPixel(3, 71, qRgb(101, 100, 89));
    const QRgb blueish = PixelAt(photo, 41, 3);
    QCOMPARE(qRed(blueish), 100);
    QCOMPARE(qGreen(blueish), 149);
    QCOMPARE(qBlue(blueish), 110);
    QCOMPARE(ColorMismatch(blueish, "B"), 0);
    const QRgb reddish = PixelAt(photo, 3, 71);
    QCOMPARE(qRed(reddish), 101);
    QCOMPARE(qBlue(reddish), 89);
    QCOMPARE(ColorMismatch(reddish, "R"), 0);
}

void TestExportAcceptance::edgeWalkVisitsExactlyTheSamplePoints() {
    const QImage blue = Filled(kBlue);
    QCOMPARE(CountEdgeMismatches(blue, "B"), 0);
    QCOMPARE(CountEdgeMismatches(blue, "R"), 9);
    QCOMPARE(CountEdgeMismatches(blue, "W"), 9);

    for (const QPoint& p : kEdgePoints) {
        QImage photo = blue;
        photo.setPixel(p, kBlack);
        QVERIFY2(CountEdgeMismatches(photo, "B") == 1,
                 qPrintable(QStringLiteral("(%1, %2) not visited").arg(p.x()).arg(p.y())));
    }
    // Neighbours of the sample points, the mirrored columns and the bottom
    // row are not part of the edge walk.
    const QList<QPoint> outside = {{0, 3}, {2, 3}, {1, 2}, {1, 4}, {40, 3}, {42, 3}, {196, 3},
                                   {3, 0}, {3, 2}, {2, 1}, {4, 71}, {3, 70}, {3, 72}, {3, 141},
                                   {196, 1}, {198, 1}, {197, 70}, {197, 141}, {3, 277},
                                   {1, 277}, {1, 276}, {196, 71}, {199, 0}};
    for (const QPoint& p : outside) {
        QImage photo = blue;
        photo.setPixel(p, kBlack);
        QVERIFY2(CountEdgeMismatches(photo, "B") == 0,
                 qPrintable(QStringLiteral("(%1, %2) visited").arg(p.x()).arg(p.y())));
    }
}

void TestExportAcceptance::bottomWalkVisitsExactlyTheSamplePoints() {
    const QImage white = Filled(kWhite);
    QCOMPARE(CheckBottomEdge(white), 1);
    for (const QPoint& p : kBottomPoints) {
        QImage photo = white;
        photo.setPixel(p, qRgb(240, 255, 255));
        QVERIFY2(CheckBottomEdge(photo) == 0,
                 qPrintable(QStringLiteral("(%1, %2) not visited").arg(p.x()).arg(p.y())));
    }
    const QList<QPoint> outside = {{1, 276}, {1, 278}, {1, 279}, {0, 277}, {2, 277}, {199, 277},
                                   {1, 2}, {197, 277}, {3, 277}};
    for (const QPoint& p : outside) {
        QImage photo = white;
        photo.setPixel(p, kBlack);
        QVERIFY2(CheckBottomEdge(photo) == 1,
                 qPrintable(QStringLiteral("(%1, %2) visited").arg(p.x()).arg(p.y())));
    }
}

void TestExportAcceptance::walkStepsRoundHalvesToEven() {
    // Height 10: the column step round(2.5) is 2 and the bound 5, so rows 1
    // and 3 are sampled (rounding half up would step by 3).
    QImage photo = Filled(kBlue, 20, 10);
    photo.setPixel(3, 3, kBlack);
    QCOMPARE(CountEdgeMismatches(photo, "B"), 1);
    photo = Filled(kBlue, 20, 10);
    photo.setPixel(3, 4, kBlack);
    QCOMPARE(CountEdgeMismatches(photo, "B"), 0);

    // Height 5: the bound round(2.5) is 2, so only row 1 is sampled.
    photo = Filled(kBlue, 20, 5);
    photo.setPixel(3, 2, kBlack);
    photo.setPixel(17, 2, kBlack);
    QCOMPARE(CountEdgeMismatches(photo, "B"), 0);
    photo.setPixel(17, 1, kBlack);
    QCOMPARE(CountEdgeMismatches(photo, "B"), 1);

    // Width 12: the row step round(2.4) is 2, so x = 1, 3, ..., 11 (6 points);
    // the columns at x = 3 and x = 9 add 2 each at height 10.
    QCOMPARE(CountEdgeMismatches(Filled(kBlack, 12, 10), "B"), 6 + 2 + 2);
}

void TestExportAcceptance::background_data() {
    QTest::addColumn<QRgb>("colour");
    QTest::addColumn<int>("refused");
    QTest::addColumn<bool>("coloured");
    QTest::addColumn<int>("bottomRefused");

    QTest::newRow("blue") << kBlue << 0 << true << 0;
    QTest::newRow("red (230,30,30)") << qRgb(230, 30, 30) << 0 << true << 0;
    QTest::newRow("grey 210 is white") << qRgb(210, 210, 210) << 0 << false << 0;
    QTest::newRow("all white") << kWhite << 0 << false << 1;
    QTest::newRow("grey 128 is blue") << qRgb(128, 128, 128) << 0 << true << 0;
    QTest::newRow("boundary blue (100,149,110)") << qRgb(100, 149, 110) << 0 << true << 0;
    QTest::newRow("boundary red (101,100,89)") << qRgb(101, 100, 89) << 0 << true << 0;
    QTest::newRow("black") << kBlack << 1 << false << 0;
    QTest::newRow("green") << qRgb(0, 200, 0) << 1 << false << 0;
    QTest::newRow("swapped blue (110,149,100)") << qRgb(110, 149, 100) << 1 << false << 0;
    QTest::newRow("grey 200") << qRgb(200, 200, 200) << 1 << false << 0;
}

void TestExportAcceptance::background() {
    QFETCH(QRgb, colour);
    QFETCH(int, refused);
    QFETCH(bool, coloured);
    QFETCH(int, bottomRefused);
    const QImage photo = Filled(colour);
    bool coloredBackground = !coloured;
    QCOMPARE(CheckBackground(photo, coloredBackground), refused);
    QCOMPARE(coloredBackground, coloured);
    QCOMPARE(CheckBottomEdge(photo), bottomRefused);
}

void TestExportAcceptance::backgroundWithOneBlackPoint() {
    QImage photo = Filled(kBlue);
    photo.setPixel(41, 3, kBlack);
    QCOMPARE(CountEdgeMismatches(photo, "B"), 1);
    QCOMPARE(CountEdgeMismatches(photo, "R"), 9);
    QCOMPARE(CountEdgeMismatches(photo, "W"), 9);
    bool coloredBackground = true;
    QCOMPARE(CheckBackground(photo, coloredBackground), 1);
    QVERIFY(!coloredBackground);
}

void TestExportAcceptance::refusalClearsColouredFlag() {
    bool coloredBackground = false;
    QCOMPARE(CheckBackground(Filled(kBlue), coloredBackground), 0);
    QVERIFY(coloredBackground);
    QCOMPARE(CheckBackground(Filled(kBlack), coloredBackground), 1);
    QVERIFY(!coloredBackground);
    QCOMPARE(CheckBackground(Filled(qRgb(230, 30, 30)), coloredBackground), 0);
    QVERIFY(coloredBackground);
    QCOMPARE(CheckBackground(Filled(kWhite), coloredBackground), 0);
    QVERIFY(!coloredBackground);
}

void TestExportAcceptance::blueBackgroundWithWhiteBottomIsAccepted() {
    // The bottom row is not part of the edge set; the window skips the
    // bottom-edge check for a blue or red background.
    QImage photo = Filled(kBlue);
    for (int y = 270; y < 280; ++y)
        for (int x = 0; x < 200; ++x)
            photo.setPixel(x, y, kWhite);
    bool coloredBackground = false;
    QCOMPARE(CheckBackground(photo, coloredBackground), 0);
    QVERIFY(coloredBackground);
    QCOMPARE(CheckBottomEdge(photo), 1);
}

void TestExportAcceptance::bottomEdgeWithOneDarkPoint() {
    QImage photo = Filled(kWhite);
    photo.setPixel(161, 277, qRgb(250, 250, 240));
    QCOMPARE(CheckBottomEdge(photo), 0);
    bool coloredBackground = true;
    QCOMPARE(CheckBackground(photo, coloredBackground), 0);
    QVERIFY(!coloredBackground);
}

void TestExportAcceptance::tooSmallPhotoIsRefused() {
    // No endless walk and no read outside the raster.
    bool coloredBackground = true;
    QCOMPARE(CheckBackground(Filled(kBlue, 3, 3), coloredBackground), 1);
    QVERIFY(!coloredBackground);
    QCOMPARE(CheckBottomEdge(Filled(kWhite, 3, 280)), 1);
    QCOMPARE(CheckBottomEdge(QImage()), 1);
    QCOMPARE(CountEdgeMismatches(Filled(kBlue, 4, 4), "B"), 0);
}

QTEST_GUILESS_MAIN(TestExportAcceptance)
#include "test_export_acceptance.moc"
