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

int RowMismatches(const QImage& photo, int y, const QString& colourClass) {
    const int w = photo.width();
    const int step = RoundQuotient(w, 5);
    int count = 0;
    for (int x = 1; x < w; x += step)
        count += ColorMismatch(PixelAt(photo, x, y), colourClass);
    return count;
}

int ColumnMismatches(const QImage& photo, int x, const QString& colourClass) {
    const int h = photo.height();
    const int step = RoundQuotient(h, 4);
    const int bound = RoundQuotient(h, 2);
    int count = 0;
    for (int y = 1; y < bound; y += step)
        count += ColorMismatch(PixelAt(photo, x, y), colourClass);
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

int CountEdgeMismatches(const QImage& photo, const QString& colourClass) {
    if (!Walkable(photo))
        return 1;
    return RowMismatches(photo, 3, colourClass)
           + ColumnMismatches(photo, 3, colourClass)
           + ColumnMismatches(photo, photo.width() - 3, colourClass);
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
    const int count = RowMismatches(photo, photo.height() - 3, QStringLiteral("W1"));
    return count == 0 ? 1 : 0;
}

}  // namespace upload
