// SPDX-License-Identifier: GPL-3.0-or-later
#include "workspace/zoom.h"

#include "base/rounding.h"

#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

namespace workspace {

double ScaleForPosition(int position) {
    // One correctly rounded division: (p + 20) / 20 is exact before rounding,
    // while p / 20.0 + 1 rounds twice (0.09999999999999998 at -18).
    return (position + 20) / 20.0;
}

int ScaledLength(int length, double scale) {
    if (length <= 0 || !(scale > 0.0))
        return 0;
    // scale = mantissa * 2^exponent exactly; the product is then an integer
    // times a power of two, rounded here without any intermediate rounding.
    int exponent = 0;
    const double fraction = std::frexp(scale, &exponent);
    const auto mantissa = static_cast<std::int64_t>(std::ldexp(fraction, 53));
    exponent -= 53;
    const __int128 product = static_cast<__int128>(length) * mantissa;
    if (exponent >= 0)
        return static_cast<int>(product << exponent);
    const int shift = -exponent;
    if (shift > 100)
        return 0;  // the product is below one half
    __int128 quotient = product >> shift;
    const __int128 remainder = product - (quotient << shift);
    const __int128 half = static_cast<__int128>(1) << (shift - 1);
    if (remainder > half || (remainder == half && (quotient & 1)))
        ++quotient;
    return static_cast<int>(quotient);
}

QSize ScaledSize(QSize size, double scale) {
    return {ScaledLength(size.width(), scale), ScaledLength(size.height(), scale)};
}

int CentredOffset(int outer, int inner) {
    return base::RoundHalfEven((outer - inner) / 2.0);
}

QRect CropFrame(QSize viewport) {
    return {CentredOffset(viewport.width(), kFrameWidth), CentredOffset(viewport.height(), kFrameHeight),
            kFrameWidth, kFrameHeight};
}

int SourceIndex(int dst, int srcLength, int dstLength) {
    return static_cast<int>(static_cast<std::int64_t>(dst) * srcLength / dstLength);
}

namespace {

// One source row's pixels fetched through the column map.
void CopyMappedRow(const QImage& source, int sy, const std::vector<int>& columns, QRgb* out) {
    const uchar* line = source.constScanLine(sy);
    switch (source.format()) {
    case QImage::Format_RGB888:
        for (size_t i = 0; i < columns.size(); ++i) {
            const uchar* p = line + 3 * columns[i];
            out[i] = qRgb(p[0], p[1], p[2]);
        }
        break;
    case QImage::Format_Indexed8: {
        const QList<QRgb> table = source.colorTable();
        for (size_t i = 0; i < columns.size(); ++i) {
            const int index = line[columns[i]];
            out[i] = index < table.size() ? (table[index] | 0xff000000u) : qRgb(0, 0, 0);
        }
        break;
    }
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        for (size_t i = 0; i < columns.size(); ++i)
            out[i] = reinterpret_cast<const QRgb*>(line)[columns[i]] | 0xff000000u;
        break;
    default:
        for (size_t i = 0; i < columns.size(); ++i)
            out[i] = source.pixel(columns[i], sy) | 0xff000000u;
        break;
    }
}

}  // namespace

QImage RenderRegion(const QImage& source, QSize renderSize, const QRect& region) {
    QImage out(region.size(), QImage::Format_RGB32);
    if (out.isNull() && !region.isEmpty())
        throw std::bad_alloc();
    out.fill(Qt::white);
    if (source.isNull() || renderSize.isEmpty())
        return out;
    const QRect covered = region.intersected(QRect(QPoint(0, 0), renderSize));
    if (covered.isEmpty())
        return out;

    std::vector<int> columns(covered.width());
    for (int i = 0; i < covered.width(); ++i)
        columns[i] = SourceIndex(covered.left() + i, source.width(), renderSize.width());
    const int outLeft = covered.left() - region.left();
    for (int y = covered.top(); y <= covered.bottom(); ++y) {
        const int sy = SourceIndex(y, source.height(), renderSize.height());
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y - region.top())) + outLeft;
        CopyMappedRow(source, sy, columns, row);
    }
    return out;
}

int DragAxis(int position, int pointer, int grab, int lowest, int highest) {
    // The move is not clamped in the same step: a photo may overshoot a limit
    // by one move's offset and is put on the limit by the next move.
    if (pointer <= grab)
        return position > lowest ? position + (pointer - grab) : lowest;
    return position < highest ? position + (pointer - grab) : highest;
}

}  // namespace workspace
