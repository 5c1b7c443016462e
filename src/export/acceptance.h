// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Acceptance checks of the result photo: is its border a plain blue, red or
// white background, and is its bottom edge plain bright white? They only read
// the photo. Sample points follow the photo's size; for 200 x 280 they are
// the top row y = 3 at x = 1, 41, 81, 121, 161, the columns x = 3 and x = 197
// at y = 1, 71, and the bottom row y = 277 at the top row's x.
#include <QImage>
#include <QPoint>
#include <QRgb>
#include <QString>

#include <vector>

namespace upload {

// One sample point of the walk, with its pixel.
struct Sample {
    enum Set { Top, Left, Right, Bottom };
    Set set;
    QPoint at;
    QRgb colour;
    bool OnEdge() const { return set != Bottom; }
};

// Every sample point, walked as the checks walk them: the top row, the left
// column, the right column, then the bottom row. Empty for a photo smaller
// than 4 x 4, which has no walkable edge.
std::vector<Sample> WalkSamples(const QImage& photo);

// The pixel at column x, row y (channels via qRed/qGreen/qBlue); opaque black
// for a point outside the photo.
QRgb PixelAt(const QImage& photo, int x, int y);

// 0 when the colour matches the class "B", "R", "W" or "W1", else 1. Any
// other class string (case matters) never matches.
int ColorMismatch(QRgb colour, const QString& colourClass);

// How many edge points (top row, left column, right column) do not match the
// class. A photo smaller than 4 x 4 has no walkable edge and gives 1.
int CountEdgeMismatches(const QImage& photo, const QString& colourClass);

// 1 (refuse) when no class among "B", "R", "W" matches every edge point, else
// 0. coloredBackground becomes true when "B" or "R" matched every edge point.
int CheckBackground(const QImage& photo, bool& coloredBackground);

// 1 (refuse) when every bottom-row point is bright white ("W1"), else 0.
// A photo smaller than 4 x 4 is refused.
int CheckBottomEdge(const QImage& photo);

// The points that make a check refuse, to show the user where: for the
// background, the edge points that do not match the class that matches the
// most of them ("B", then "R", then "W" on a tie); for the bottom edge, the
// bottom row.
std::vector<QPoint> BackgroundMisfits(const QImage& photo);
std::vector<QPoint> BottomEdgePoints(const QImage& photo);

}  // namespace upload
