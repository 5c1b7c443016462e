// SPDX-License-Identifier: GPL-3.0-or-later
// The wall behind the head: how plain it is, how bright, and what keeps a
// wall that fails the background check from its class.
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "review/measures.h"
#include "review/review.h"
#include "review/thresholds.h"

namespace review {

cv::Mat WallMask(cv::Size photo, const QRect& face, const std::optional<QRect>& head) {
    // The head's box: its outline where measured, down to the face's
    // bottom at least; else guessed around the face, hair and ears included.
    QRect box;
    if (head && !head->isEmpty()) {
        box = QRect(QPoint(head->left(), head->top()), QPoint(head->right(), std::max(head->bottom(), face.bottom())))
                  .adjusted(-kHeadMarginPixels, -kHeadMarginPixels, kHeadMarginPixels, 0);
    } else {
        const int side = int(kWallBesideFace * face.width()), above = int(kWallAboveFace * face.height());
        box = QRect(QPoint(face.left() - side, face.top() - above), QPoint(face.right() + side, face.bottom()));
    }
    cv::Mat mask(photo, CV_8UC1, cv::Scalar(0));
    // Above the head across the photo, and beside it down to its box's bottom.
    const int bottom = std::min(box.bottom() + 1, photo.height);
    mask(cv::Rect(0, 0, photo.width, std::clamp(box.top(), 0, photo.height))).setTo(255);
    if (bottom > 0) {
        mask(cv::Rect(0, 0, std::clamp(box.left(), 0, photo.width), bottom)).setTo(255);
        const int right = std::clamp(box.right() + 1, 0, photo.width);
        mask(cv::Rect(right, 0, photo.width - right, bottom)).setTo(255);
    }
    return mask;
}

namespace {

// A pixel's colour without its brightness: red and green over the sum, in
// steps of 1/256, so that soft light, a gradient and a shadow leave it as it
// is. Below a floor the sum counts as the floor, as a near-black pixel's grain
// would make any colour of it.
std::array<int, 2> Chromaticity(const uchar* bgr) {
    const int sum = std::max(bgr[0] + bgr[1] + bgr[2], kDarkestColour);
    return {bgr[2] * 255 / sum, bgr[1] * 255 / sum};
}

}  // namespace

WallLook LookAtWall(const cv::Mat& bgr, const cv::Mat& grey, const cv::Mat& wall) {
    // Sobel's weights sum to 8 a pixel. Colours are taken after a blur:
    // the grain of a dark channel (a red wall's green and blue) moves a
    // single pixel's colour a long way.
    cv::Mat dx, dy, colours;
    cv::Sobel(grey, dx, CV_16S, 1, 0);
    cv::Sobel(grey, dy, CV_16S, 0, 1);
    cv::GaussianBlur(bgr, colours, cv::Size(), kWallColourBlur);
    const int edge = int(kWallEdgeLevel * 8 * kWallEdgeLevel * 8);
    Histogram levels{}, reds{}, greens{};
    int total = 0, edges = 0;
    for (int y = 0; y < bgr.rows; ++y)
        for (int x = 0; x < bgr.cols; ++x)
            if (wall.at<uchar>(y, x)) {
                const uchar* c = bgr.ptr<uchar>(y, x);
                ++levels[std::max({c[0], c[1], c[2]})];
                const std::array<int, 2> tint = Chromaticity(colours.ptr<uchar>(y, x));
                ++reds[size_t(tint[0])];
                ++greens[size_t(tint[1])];
                const int gx = dx.at<short>(y, x), gy = dy.at<short>(y, x);
                edges += gx * gx + gy * gy > edge;
                ++total;
            }
    if (total == 0)
        return {kNotMeasured, kNotMeasured, kNotMeasured};
    const int red = MedianOf(reds, total), green = MedianOf(greens, total);
    int off = 0;
    for (int y = 0; y < bgr.rows; ++y)
        for (int x = 0; x < bgr.cols; ++x)
            if (wall.at<uchar>(y, x)) {
                const std::array<int, 2> tint = Chromaticity(colours.ptr<uchar>(y, x));
                off += std::abs(tint[0] - red) + std::abs(tint[1] - green) > kWallTintStep;
            }
    return {double(MedianOf(levels, total)), double(edges) / total, double(off) / total};
}

WallMiss WhatTheWallMisses(const QImage& photo, const std::vector<QPoint>& misfits) {
    const auto kind = [&](QPoint at) {
        if (!photo.valid(at))
            return WallMiss::None;
        const QRgb c = photo.pixel(at);
        const int r = qRed(c), g = qGreen(c), b = qBlue(c);
        const int low = std::min({r, g, b}), high = std::max({r, g, b});
        if (high - low <= kGreySpread && low > kGreyLeast && low <= kWhiteLeast)
            return WallMiss::GreyNotWhite;
        if (b >= std::max(r, g) + kTintLead && std::min(r, g) > kPaleBlueLeast)
            return WallMiss::BlueTooPale;
        if (r >= std::max(g, b) + kTintLead && std::min(g, b) > kPaleRedLeast)
            return WallMiss::RedTooPale;
        return WallMiss::None;
    };
    if (misfits.empty())
        return WallMiss::None;
    const WallMiss first = kind(misfits.front());
    for (const QPoint& at : misfits)
        if (kind(at) != first)
            return WallMiss::None;
    return first;
}

}  // namespace review
