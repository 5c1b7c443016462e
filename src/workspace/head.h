// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the head sits in the upload photo, measured against the third of the
// window's requirements: the head about 0.5 cm from the photo's left, top and
// right. Guidance only: no check refuses a photo for it.
#include <QImage>
#include <QLine>
#include <QPoint>
#include <QRect>
#include <QVector>

#include <optional>
#include <vector>

#include "base/marks.h"
#include "workspace/zoom.h"

namespace workspace {

// The 200 x 280 photo stands for a one-inch print, 25 x 35 mm, so 8 pixels
// make a millimetre. The head's 0.5 cm is 40 pixels, and "about" is taken as
// 0.3 to 0.7 cm, 24 to 56 pixels: a reviewer refuses a head that is cut off,
// pushed against an edge or lost in the middle, not one a few pixels off.
constexpr int kPixelsPerMm = kFrameWidth / 25;
constexpr int kHeadMargin = 5 * kPixelsPerMm;
constexpr int kHeadMarginLeast = 3 * kPixelsPerMm;
constexpr int kHeadMarginMost = 7 * kPixelsPerMm;
// The head's width that leaves that margin on both sides: 120 pixels.
constexpr int kHeadWidthWanted = kFrameWidth - 2 * kHeadMargin;

struct HeadMeasure {
    enum Side { Top, Left, Right };
    // Pixels between the head and each edge of the photo; 0 where the head
    // touches or crosses that edge.
    int margin[3] = {0, 0, 0};
    // The head's outline in the photo: its top row, its outermost columns
    // (above the face box's lower quarter, where a collar does not reach),
    // down to the face's bottom.
    QRect outline;

    bool Within(Side side) const { return margin[side] >= kHeadMarginLeast && margin[side] <= kHeadMarginMost; }
    bool AllWithin() const { return Within(Top) && Within(Left) && Within(Right); }
    // The side to name first: one the head touches (0), else the margin
    // furthest from kHeadMargin; on a tie the top, then the left.
    Side Furthest() const;
};

// Why a head in a frame whose colours pass could not be measured with
// confidence: hair too near the wall's colour to tell where it ends, an
// object or straight edge touching the head (or a head larger than a head
// can be), or no outline found above the face.
enum class HeadDoubt { None, HairLikeWall, ObjectBeside, NoTop };

struct HeadFinding {
    // Only where the head's outline was told from the wall with confidence.
    std::optional<HeadMeasure> measure;
    // Why there is no measure.
    HeadDoubt doubt = HeadDoubt::None;
    // A shadow cast on the wall next to the head, left out of the head (never
    // with HairLikeWall: such hair can look like one).
    bool shadow = false;
};

// The largest of the faces (the first of equals); an empty rectangle for none.
QRect LargestFace(const QVector<QRect>& faces);

// The head around `face` (the largest face the face check found in the
// photo) in a photo whose colour checks pass, so that its edges are
// background.
HeadFinding MeasureHead(const QImage& photo, const QRect& face);

// What the frame shows of a measured head, in the coordinates of a frame
// whose top-left corner is `corner`: the head's top across its width, then its
// left and right sides over its rows, each as wanted within the margins and
// unwanted outside them, and the places the margins aim at as short ticks on
// the frame's inside (the top's on both sides, then the sides' on the top).
QVector<base::MarkLine> HeadGuides(const HeadMeasure& measure, QPoint corner);
// Those ticks alone, for a head that could not be measured.
QVector<base::MarkLine> TargetTicks(QPoint corner);

}  // namespace workspace
