// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/review.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <numeric>

#include "face/detector.h"
#include "face/eye_check.h"
#include "review/measures.h"
#include "review/thresholds.h"

namespace review {

namespace {

cv::Rect ToCv(const QRect& r) {
    return cv::Rect(r.x(), r.y(), r.width(), r.height());
}

cv::Rect PartOf(const QRect& face, const FacePart& part) {
    const auto at = [](int from, int length, double share) { return from + int(share * length); };
    return cv::Rect(cv::Point(at(face.x(), face.width(), part.left), at(face.y(), face.height(), part.top)),
                    cv::Point(at(face.x(), face.width(), part.right), at(face.y(), face.height(), part.bottom)));
}

// The gradient's energy over `box`.
double GradientEnergy(const cv::Mat& grey, const cv::Rect& box) {
    cv::Mat dx, dy;
    cv::Sobel(grey, dx, CV_32F, 1, 0);
    cv::Sobel(grey, dy, CV_32F, 0, 1);
    return cv::sum(dx(box).mul(dx(box)) + dy(box).mul(dy(box)))[0];
}

// Blurring a picture again with kReblurSigma takes little of its gradient's
// energy when the picture is soft already. For an edge blurred by sigma the
// energy goes as 1 / sigma, so the ratio q of the energies before and after
// gives sigma = kReblurSigma / sqrt(q^2 - 1), whatever the edge's contrast.
// Worked out around the face only, wide enough for the blur's reach.
double BlurSigma(const cv::Mat& grey, const cv::Rect& face) {
    const int reach = int(std::ceil(3 * kReblurSigma)) + 1;
    const cv::Rect around =
        (face + cv::Size(2 * reach, 2 * reach) - cv::Point(reach, reach)) & cv::Rect(0, 0, grey.cols, grey.rows);
    const cv::Mat part = grey(around);
    const cv::Rect box = face - around.tl();
    cv::Mat reblurred;
    cv::GaussianBlur(part, reblurred, cv::Size(), kReblurSigma);
    const double before = GradientEnergy(part, box), after = GradientEnergy(reblurred, box);
    if (after <= 0)
        return kNotMeasured;
    const double q = before / after;
    return q > 1 ? kReblurSigma / std::sqrt(q * q - 1) : std::numeric_limits<double>::infinity();
}

Histogram HistogramOf(const cv::Mat& grey) {
    Histogram counts{};
    for (int y = 0; y < grey.rows; ++y)
        for (int x = 0; x < grey.cols; ++x)
            ++counts[grey.at<uchar>(y, x)];
    return counts;
}

// The face's middle: its median level and the share at kWhiteLevel or above.
void MeasureLight(const cv::Mat& middle, Findings& f) {
    const Histogram counts = HistogramOf(middle);
    const int total = int(middle.total());
    f.faceLight = MedianOf(counts, total);
    f.clippedShare = double(std::accumulate(counts.begin() + kWhiteLevel, counts.end(), 0)) / std::max(total, 1);
}

// Light on the face's darker half over its brighter half, in linear light
// (the photo's levels undone).
double LightRatio(const cv::Mat& grey, const QRect& face) {
    const auto light = [&](const cv::Rect& half) {
        const Histogram counts = HistogramOf(grey(half));
        double sum = 0;
        for (int v = 0; v < 256; ++v) {
            const double c = v / 255.0;
            sum += counts[size_t(v)] * (c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return sum / std::max(half.area(), 1);
    };
    const double left = light(PartOf(face, kLeftHalf)), right = light(PartOf(face, kRightHalf));
    return std::max(left, right) > 0 ? std::min(left, right) / std::max(left, right) : kNotMeasured;
}

// The eye line's angle where exactly one eye lies on each side of the face's
// middle; NaN otherwise.
double EyeLine(const QVector<QRectF>& eyes, const QRect& face) {
    const double middle = face.x() + face.width() / 2.0;
    QVector<QPointF> left, right;
    for (const QRectF& eye : eyes)
        (eye.center().x() < middle ? left : right).push_back(eye.center());
    if (left.size() != 1 || right.size() != 1)
        return kNotMeasured;
    const QPointF line = right[0] - left[0];
    return std::atan2(line.y(), line.x()) * 180 / M_PI;
}

// The cascade finds eyes within some degrees of level only: a face that
// shows the level search a single eye is searched again turned either way.
double TiltDegrees(const QImage& upload, const QRect& face, const QString& cascadeFolder) {
    const QVector<QRectF> level = face::FindEyes(upload, face, 0, cascadeFolder);
    double tilt = EyeLine(level, face);
    for (const double turn : {kEyeSearchTurn, -kEyeSearchTurn})
        if (std::isnan(tilt) && level.size() == 1)
            tilt = EyeLine(face::FindEyes(upload, face, turn, cascadeFolder), face);
    return tilt;
}

struct Pictures {
    cv::Mat bgr, grey;
};

Pictures PicturesOf(const QImage& upload) {
    Pictures p;
    p.bgr = face::ToMat(upload, CV_8UC3);
    cv::cvtColor(p.bgr, p.grey, cv::COLOR_BGR2GRAY);
    return p;
}

void MeasureFace(const Pictures& p, const QRect& face, Findings& f) {
    f.blurSigma = BlurSigma(p.grey, ToCv(face));
    MeasureLight(p.grey(PartOf(face, kFaceMiddle)), f);
    f.lightRatio = LightRatio(p.grey, face);
}

void MeasureWall(const Pictures& p, const QRect& face, const std::optional<QRect>& head, Findings& f) {
    const cv::Mat wall = WallMask(p.grey.size(), face, head);
    if (cv::countNonZero(wall) < kLeastWall)
        return;
    const WallLook look = LookAtWall(p.bgr, p.grey, wall);
    f.wallLight = look.light;
    f.wallEdgeShare = look.edges;
    f.wallColourShare = look.colours;
}

}  // namespace

Findings Review(const QImage& upload, const QRect& faceFound, const std::optional<QRect>& head,
                const QString& cascadeFolder) {
    Findings f;
    const QRect face = faceFound & upload.rect();
    if (face.width() < 4 || face.height() < 4)
        return f;
    f.tiltDegrees = TiltDegrees(upload, face, cascadeFolder);
    const Pictures pictures = PicturesOf(upload);
    MeasureFace(pictures, face, f);
    MeasureWall(pictures, face, head, f);
    // A comparison with NaN is false: what was not measured is not told.
    f.blurred = f.blurSigma > kBlurredSigma;
    f.tooDark = f.faceLight < kDarkFace && f.wallLight < kDarkWall;
    f.tooBright = f.clippedShare >= kClippedShare;
    f.unevenLight = f.lightRatio < kEvenRatio;
    f.tilted = std::abs(f.tiltDegrees) > kTiltedDegrees;
    f.busyWall = f.wallEdgeShare > kWallEdgeShare || f.wallColourShare > kWallColourShare;
    return f;
}

}  // namespace review
