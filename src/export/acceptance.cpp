// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/acceptance.h"

#include "base/rounding.h"

namespace upload {

namespace {

// Rounds p / q (q > 0) to the nearest integer, halves to the even neighbour.
int RoundQuotient(int p, int q) {
    return base::RoundHalfEven(static_cast<double>(p) / q);
}

// Column 3, row 3 and a non-zero walk step need at least 4 x 4 pixels;
// anything smaller would loop forever or read outside the raster.
bool Walkable(const QImage& photo) {
    return photo.width() >= 4 && photo.height() >= 4;
}

// Mismatches of the points of a set (edge or bottom) with the class.
int Mismatches(const std::vector<Sample>& samples, bool edge, const QString& colourClass) {
    int count = 0;
    for (const Sample& s : samples)
        if (s.OnEdge() == edge)
            count += ColorMismatch(s.colour, colourClass);
    return count;
}

}  // namespace

QRgb PixelAt(const QImage& photo, int x, int y) {
    if (!photo.valid(x, y))
        return qRgb(0, 0, 0);
    return photo.pixel(x, y);
}

int ColorMismatch(QRgb colour, const QString& colourClass) {
    int result = 1;
    const int r = qRed(colour);
    const int g = qGreen(colour);
    const int b = qBlue(colour);
    if (colourClass == QLatin1String("B")) {
        const int t = b > 110 ? b - 110 : 0;
        if (b > t + 40 && r + g < t + 250)
            result = 0;
    } else if (colourClass == QLatin1String("R")) {
        const int t = r > 110 ? r - 110 : 0;
        if (r > t + 100 && g + b < t + 190)
            result = 0;
    } else if (colourClass == QLatin1String("W")) {
        if (r > 200 && g > 200 && b > 200)
            result = 0;
    } else if (colourClass == QLatin1String("W1")) {
        if (r > 240 && g > 240 && b > 240)
            result = 0;
    }
    return result;
}

std::vector<Sample> WalkSamples(const QImage& photo) {
    std::vector<Sample> samples;
    if (!Walkable(photo))
        return samples;
    const int w = photo.width(), h = photo.height();
    // The steps and bounds follow the photo's size, halves to even.
    const int across = RoundQuotient(w, 5), down = RoundQuotient(h, 4), half = RoundQuotient(h, 2);
    const auto row = [&](Sample::Set set, int y) {
        for (int x = 1; x < w; x += across)
            samples.push_back({set, QPoint(x, y), PixelAt(photo, x, y)});
    };
    const auto column = [&](Sample::Set set, int x) {
        for (int y = 1; y < half; y += down)
            samples.push_back({set, QPoint(x, y), PixelAt(photo, x, y)});
    };
    row(Sample::Top, 3);
    column(Sample::Left, 3);
    column(Sample::Right, w - 3);
    row(Sample::Bottom, h - 3);
    return samples;
}

int CountEdgeMismatches(const QImage& photo, const QString& colourClass) {
    if (!Walkable(photo))
        return 1;
    return Mismatches(WalkSamples(photo), true, colourClass);
}

int CheckBackground(const QImage& photo, bool& coloredBackground) {
    const int nB = CountEdgeMismatches(photo, QStringLiteral("B"));
    const int nR = CountEdgeMismatches(photo, QStringLiteral("R"));
    const int nW = CountEdgeMismatches(photo, QStringLiteral("W"));
    coloredBackground = nB == 0 || nR == 0;
    return (nB > 0 && nR > 0 && nW > 0) ? 1 : 0;
}

int CheckBottomEdge(const QImage& photo) {
    if (!Walkable(photo))
        return 1;
    return Mismatches(WalkSamples(photo), false, QStringLiteral("W1")) == 0 ? 1 : 0;
}

std::vector<QPoint> BackgroundMisfits(const QImage& photo) {
    const std::vector<Sample> samples = WalkSamples(photo);
    QString nearest;
    int fewest = -1;
    for (const QString& colourClass : {QStringLiteral("B"), QStringLiteral("R"), QStringLiteral("W")}) {
        const int count = Mismatches(samples, true, colourClass);
        if (fewest < 0 || count < fewest) {
            nearest = colourClass;
            fewest = count;
        }
    }
    std::vector<QPoint> misfits;
    for (const Sample& s : samples)
        if (s.OnEdge() && ColorMismatch(s.colour, nearest))
            misfits.push_back(s.at);
    return misfits;
}

std::vector<QPoint> BottomEdgePoints(const QImage& photo) {
    std::vector<QPoint> points;
    for (const Sample& s : WalkSamples(photo))
        if (!s.OnEdge())
            points.push_back(s.at);
    return points;
}

}  // namespace upload
