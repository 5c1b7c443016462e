// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The reviewer's eye: what a person checking the upload photo would refuse
// it for, measured on the decoded upload photo (the bytes the save would
// write) and the largest face found in it. Guidance only: nothing here
// refuses a photo or changes it. Each measure is a pure function of its
// inputs; the only state searches share is the parsed eye cascade.
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "face/face_check.h"

namespace review {

inline constexpr double kNotMeasured = std::numeric_limits<double>::quiet_NaN();

struct Findings {
    bool blurred = false;      // 照片模糊
    bool tooDark = false;      // 脸部太暗
    bool tooBright = false;    // 脸部过亮
    bool unevenLight = false;  // 脸部光线不均
    bool tilted = false;       // 头部歪斜
    bool busyWall = false;     // 背景不是纯色

    // What was measured, NaN where a measure could not look.
    // The face's edges as soft as a Gaussian blur of this sigma, in pixels.
    double blurSigma = kNotMeasured;
    // The median brightness of the face box's middle (luma, 0 to 255).
    double faceLight = kNotMeasured;
    // The share of the face's pixels blown to white (0 to 1).
    double clippedShare = kNotMeasured;
    // The wall's median brightness (its brightest channel, 0 to 255); NaN
    // where the photo shows too little wall.
    double wallLight = kNotMeasured;
    // The light on the face's darker half over its brighter half (0 to 1).
    double lightRatio = kNotMeasured;
    // The eye line's angle in degrees, positive where the photo's right eye
    // sits lower; NaN unless exactly one eye was found on each side.
    double tiltDegrees = kNotMeasured;
    // Shares of the wall's pixels on an edge, and off the wall's colour.
    double wallEdgeShare = kNotMeasured;
    double wallColourShare = kNotMeasured;

    bool Any() const { return blurred || tooDark || tooBright || unevenLight || tilted || busyWall; }
};

// Every measure of the upload photo (200 x 280, as decoded from the save's
// JPEG) around `face`, the largest face found in it. `head`, where known,
// is the head's outline (its top row and outermost columns), which tells
// where the wall is; without it the wall is taken well outside the face.
// Nothing is found for an empty face. Throws face::CascadeMissing when the
// eye cascade cannot be loaded from cascadeFolder, std::bad_alloc and
// face::DetectorFailure as face::FindEyes does.
Findings Review(const QImage& upload, const QRect& face, const std::optional<QRect>& head,
                const QString& cascadeFolder = face::ProgramFolder());

// What keeps a wall that fails the background check from its class, where
// it can be said simply: every failing point a neutral light grey (not yet
// white), a blue too pale for blue, or a red too pale (pink) for red.
enum class WallMiss { None, GreyNotWhite, BlueTooPale, RedTooPale };

// `misfits` are the points where the background check fails
// (upload::BackgroundMisfits of the same photo); None when there are none
// or they differ in kind.
WallMiss WhatTheWallMisses(const QImage& photo, const std::vector<QPoint>& misfits);

}  // namespace review
