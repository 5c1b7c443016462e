// SPDX-License-Identifier: GPL-3.0-or-later
#include "workspace/head.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "export/acceptance.h"

namespace workspace {

namespace {

// A pixel is background while every channel lies within this of the
// background's own colour near it. Phones' grain (a spread of 4 to 7 a
// channel) and JPEG's error at the qualities they save stay far inside it;
// dark, brown and blond hair, skin and clothes stand out from a blue, red or
// white wall by 60 and more in some channel.
constexpr int kBackgroundTolerance = 40;

// Rows or columns count as the head once this share of their pixels is not
// background: noise and a stray hair never reach it, while the head's rounded
// top reaches it within a row or two.
constexpr int kHeadShare = 8;  // one in eight

// A head (hair and ears included) is at most this many face boxes wide, and
// reaches at most one face box's height above the face box.
constexpr int kWidestHead = 2;

using Colour = std::array<int, 3>;

Colour Channels(QRgb c) {
    return {qRed(c), qGreen(c), qBlue(c)};
}

// The mean of the 3 x 3 pixels around a sample point: one pixel's grain
// would move the whole reference.
Colour Around(const QImage& photo, QPoint at) {
    Colour sum{0, 0, 0};
    int n = 0;
    for (int y = at.y() - 1; y <= at.y() + 1; ++y)
        for (int x = at.x() - 1; x <= at.x() + 1; ++x)
            if (photo.valid(x, y)) {
                const Colour c = Channels(photo.pixel(x, y));
                for (int i = 0; i < 3; ++i)
                    sum[i] += c[i];
                ++n;
            }
    for (int& v : sum)
        v /= std::max(n, 1);
    return sum;
}

// The background's colour along one edge, from its sample points (which
// passed the colour check, so they are background): at each place between
// two of them the straight blend of the two, beyond the last the nearest.
// Soft light and a graded wall change the colour slowly along an edge.
std::vector<Colour> AlongEdge(const std::vector<std::pair<int, Colour>>& samples, int length) {
    std::vector<Colour> along(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        auto next = std::find_if(samples.begin(), samples.end(), [i](const auto& s) { return s.first >= i; });
        if (next == samples.begin() || next == samples.end()) {
            along[size_t(i)] = (next == samples.end() ? samples.back() : *next).second;
            continue;
        }
        const auto& [x0, c0] = *(next - 1);
        const auto& [x1, c1] = *next;
        for (int k = 0; k < 3; ++k)
            along[size_t(i)][k] = c0[k] + (c1[k] - c0[k]) * (i - x0) / (x1 - x0);
    }
    return along;
}

bool Background(QRgb pixel, const Colour& reference) {
    const Colour c = Channels(pixel);
    for (int i = 0; i < 3; ++i)
        if (std::abs(c[i] - reference[i]) > kBackgroundTolerance)
            return false;
    return true;
}

}  // namespace

HeadMeasure::Side HeadMeasure::Furthest() const {
    Side furthest = Top;
    for (Side side : {Left, Right})
        if (std::abs(margin[side] - kHeadMargin) > std::abs(margin[furthest] - kHeadMargin))
            furthest = side;
    return furthest;
}

QRect LargestFace(const QVector<QRect>& faces) {
    QRect largest;
    for (const QRect& face : faces)
        if (qint64(face.width()) * face.height() > qint64(largest.width()) * largest.height())
            largest = face;
    return largest;
}

std::optional<HeadMeasure> MeasureHead(const QImage& picture, const QRect& found) {
    const QImage photo = picture.convertToFormat(QImage::Format_RGB32);
    const QRect face = found & photo.rect();
    if (face.isEmpty() || photo.width() < 4 || photo.height() < 4)
        return std::nullopt;
    std::vector<std::pair<int, Colour>> top, left, right;
    for (const upload::Sample& s : upload::WalkSamples(photo)) {
        if (s.set == upload::Sample::Top)
            top.push_back({s.at.x(), Around(photo, s.at)});
        else if (s.set == upload::Sample::Left)
            left.push_back({s.at.y(), Around(photo, s.at)});
        else if (s.set == upload::Sample::Right)
            right.push_back({s.at.y(), Around(photo, s.at)});
    }
    const std::vector<Colour> above = AlongEdge(top, photo.width());
    const std::vector<Colour> leftOf = AlongEdge(left, photo.height());
    const std::vector<Colour> rightOf = AlongEdge(right, photo.height());
    const auto pixel = [&photo](int x, int y) { return reinterpret_cast<const QRgb*>(photo.constScanLine(y))[x]; };

    // The head's top: the first row whose pixels above the face, across its
    // width, stop being background.
    const int rowShare = std::max(3, face.width() / kHeadShare);
    const auto isHeadRow = [&](int y) {
        int count = 0;
        for (int x = face.left(); x <= face.right(); ++x)
            count += !Background(pixel(x, y), above[size_t(x)]);
        return count >= rowShare;
    };
    int headTop = 0;
    while (headTop <= face.top() && !isHeadRow(headTop))
        ++headTop;
    // A head holds together from its top down to the face; anything else
    // found first (a shelf, a pattern) means the face's surroundings are not
    // the background.
    for (int y = headTop; y <= face.top(); ++y)
        if (!isHeadRow(y))
            return std::nullopt;

    // Its sides: from each edge inwards, the first column whose pixels from
    // the head's top down to the face's bottom stop being background. The
    // shoulders lie below the face and do not count.
    const int columnShare = std::max(3, (face.bottom() - headTop + 1) / kHeadShare);
    const auto isHead = [&](int x, const std::vector<Colour>& reference) {
        int count = 0;
        for (int y = headTop; y <= face.bottom(); ++y)
            count += !Background(pixel(x, y), reference[size_t(y)]);
        return count >= columnShare;
    };
    const int middle = face.center().x();
    int headLeft = 0;
    while (headLeft <= middle && !isHead(headLeft, leftOf))
        ++headLeft;
    int headRight = photo.width() - 1;
    while (headRight >= middle && !isHead(headRight, rightOf))
        --headRight;
    for (int x = headLeft; x <= face.left(); ++x)
        if (!isHead(x, leftOf))
            return std::nullopt;
    for (int x = headRight; x >= face.right(); --x)
        if (!isHead(x, rightOf))
            return std::nullopt;

    const QRect head(QPoint(headLeft, headTop), QPoint(headRight, face.bottom()));
    const int slack = face.width() / 4;
    const bool holdsFace = headLeft <= face.left() + slack && headRight >= face.right() - slack;
    const bool headSized = head.width() <= kWidestHead * face.width() && face.top() - headTop <= face.height();
    if (!holdsFace || !headSized)
        return std::nullopt;
    HeadMeasure measure;
    measure.margin[HeadMeasure::Top] = headTop;
    measure.margin[HeadMeasure::Left] = headLeft;
    measure.margin[HeadMeasure::Right] = photo.width() - 1 - headRight;
    measure.outline = head;
    return measure;
}

QVector<base::MarkLine> HeadGuides(const HeadMeasure& measure, QPoint corner) {
    using base::MarkLine;
    const auto style = [&measure](HeadMeasure::Side side) {
        return measure.Within(side) ? MarkLine::Wanted : MarkLine::Unwanted;
    };
    const QRect h = measure.outline.translated(corner);
    constexpr int tick = 6;
    const QRect frame(corner, QSize(kFrameWidth, kFrameHeight));
    const int targetTop = frame.top() + kHeadMargin;
    const int targetLeft = frame.left() + kHeadMargin, targetRight = frame.right() - kHeadMargin;
    return {{QLine(h.left(), h.top(), h.right(), h.top()), style(HeadMeasure::Top)},
            {QLine(h.left(), h.top(), h.left(), h.bottom()), style(HeadMeasure::Left)},
            {QLine(h.right(), h.top(), h.right(), h.bottom()), style(HeadMeasure::Right)},
            {QLine(frame.left(), targetTop, frame.left() + tick - 1, targetTop), MarkLine::Target},
            {QLine(frame.right() - tick + 1, targetTop, frame.right(), targetTop), MarkLine::Target},
            {QLine(targetLeft, frame.top(), targetLeft, frame.top() + tick - 1), MarkLine::Target},
            {QLine(targetRight, frame.top(), targetRight, frame.top() + tick - 1), MarkLine::Target}};
}

}  // namespace workspace
