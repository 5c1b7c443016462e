// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every threshold of the reviewer's eye, with the numbers it was set from.
//
// Measured on the 200 x 280 upload as the save writes it (the highest even
// quality within 30720 bytes, 94 to 98 for these), the face as the face check
// finds it in those bytes. "Fixtures" are tests/review_portraits.h's heads
// (120 pixels wide, 40 from the top) on white, blue, red and light-grey walls,
// faces 85 to 116 pixels; "real" is the public-domain astronaut portrait the
// test data come from (tests/data/README.md), framed with faces of 50 to 124
// pixels, and a copy of it enlarged 1.7 times from the 256-pixel fixture.

namespace review {

// Parts of the face box, as shares of its width and height. Its middle, for
// the face's light, leaves out the hair and wall in its corners and the
// forehead's top; the halves lie beside the nose from brow to chin.
struct FacePart {
    double left, top, right, bottom;
};
constexpr FacePart kFaceMiddle{0.2, 0.2, 0.8, 0.9};
constexpr FacePart kLeftHalf{0.1, 0.2, 0.5, 0.9}, kRightHalf{0.5, 0.2, 0.9, 0.9};

// 照片模糊. Blurring the face box again with kReblurSigma keeps a share of
// its gradient's energy that tells how soft its edges already are, as the
// sigma of a Gaussian blur, in pixels, whatever their contrast. An edge-width
// measure: it does not grow with the face's size as the Laplacian's variance
// does; divided by the face box's width it would move with the box, which the
// detector draws up to 16 % wider around a blurred face.
//   sharp fixtures 0.61-0.65 (a phone's grain of 6 levels included);
//   blurred sigma 0.8: 0.91-0.96; real 0.58-0.88 (faces of 53 to 124
//   pixels), real enlarged 1.7 times and blurred 0.8: 1.12; JPEG down to
//   quality 30 moves a sharp face by 0.03 at most;
//   blurred sigma 2.0: 1.76-1.91, real 1.88; sigma 2.5: 2.12-2.35.
constexpr double kReblurSigma = 1.5;
constexpr double kBlurredSigma = 1.4;

// 脸部太暗. Dark skin under good light and a face in halved light can have
// the same levels; the wall tells them apart: under halved light it is dark
// too. Face: the median luma of the face box's middle; wall: the median of
// its brightest channel (a blue wall's luma is low in any light).
//   face: well lit 174 (fixtures), 188-190 (real); darker skins 78 and 52;
//   light halved 87, real 94, a darker skin halved 40;
//   wall: well lit 182-231 (fixtures), 187-199 (real); halved 91-113, real 99.
//   Two thirds of the light (face 122, wall 128-158) is told by neither.
constexpr double kDarkFace = 110;
constexpr double kDarkWall = 150;

// 脸部过亮. The share of the face box's middle at luma kWhiteLevel or above,
// where skin has lost its colour to white.
//   well lit 0.000-0.001 (real highlights included); light times 1.3: 0.12-0.16;
//   brightened until the cheeks clip (times 1.6): 0.65-0.72.
constexpr int kWhiteLevel = 245;
constexpr double kClippedShare = 0.25;

// 脸部光线不均. The darker half of the face over the brighter (beside the nose,
// brow to chin), in linear light: "half the light" is half the light a camera
// sees, which its levels show as 0.73 times.
//   soft light (fixtures) 0.79-0.97, real 0.71-0.79 (the astronaut is lit a
//   little from her left); one side at half the light 0.42-0.45; at 0.7 of
//   it 0.60-0.62 (not told).
constexpr double kEvenRatio = 0.56;

// 头部歪斜. The eye line's angle, where exactly one eye is found on each side.
// The face is searched level and, when that finds one eye only, turned by
// kEyeSearchTurn either way: the cascade misses eyes beyond about 8 degrees.
//   level (the astronaut's own head leans 3 degrees): fixtures 0.7-2.6,
//   real 2.0-3.4 (faces of 55 to 110 pixels); tilted 4 degrees: 1.5-3.3;
//   12 degrees: 10.5-12.8; -8 degrees: -5.9 to -7.0. The eyes' boxes put
//   the line within about 2.5 degrees.
constexpr double kTiltedDegrees = 8;
constexpr double kEyeSearchTurn = 12;

// 背景不是纯色. The wall: the photo beside the head's outline (widened by
// kHeadMarginPixels for its antialiased edge and stray hair) down to the
// face's bottom, and above it; without an outline, beside the face box
// widened by kWallBesideFace face widths and above it by kWallAboveFace
// heights: hair reaches 0.17 to 0.36 face widths beside the box and 0.53
// to 1.0 heights above it in the fixtures and the real portrait, the most
// for blond hair on white, around which the detector draws the smallest box
// (at 0.7 heights that hair's colours read 0.055, a busy wall). Less than
// kLeastWall pixels of wall tell nothing.
constexpr int kHeadMarginPixels = 4;
constexpr double kWallBesideFace = 0.45;
constexpr double kWallAboveFace = 1.0;
constexpr int kLeastWall = 400;
// Edges: the share of wall pixels whose gradient exceeds kWallEdgeLevel
// levels a pixel. A gradient of 60 levels across the frame is 0.3 a pixel,
// the soft shadow's edge 4.
//   plain walls with a grain of up to 9 levels a channel: 0.000-0.001; the
//   60-level gradient and the soft shadow 0.000; real clean 0.000 (faces of
//   70 to 100 pixels), 0.027 with the face 62 wide, her flag's edge entering
//   the frame; grey stripes 0.324, flag 0.067-0.069, shelf 0.035, real
//   before her flag 0.099-0.175, sky over fields 0.008-0.012 (told by its
//   colours).
constexpr double kWallEdgeLevel = 10;
constexpr double kWallEdgeShare = 0.03;
// Colours: the share of wall pixels, after a blur of kWallColourBlur, whose
// red and green over the sum (in 255ths; a sum below kDarkestColour counts
// as that) lie more than kWallTintStep from the wall's median; light,
// gradients and shadows change a colour's brightness, not its tint. Without
// the blur a red wall's grain of 6 levels reads 0.109.
//   plain walls, red and blue with a grain of 9 levels included, the
//   gradient, the shadow: 0.000; real clean 0.000-0.008; grey stripes 0.000
//   (told by their edges); shelf 0.071, sky over fields 0.144-0.145, flag
//   0.325-0.341, real before her flag 0.056-0.169, a painted landscape behind
//   a painted woman 0.049-0.104.
constexpr double kWallColourBlur = 1.5;
constexpr int kDarkestColour = 90;
constexpr int kWallTintStep = 15;
constexpr double kWallColourShare = 0.04;

// A wall that fails the background check only just. A neutral light grey:
// channels within kGreySpread, all above kGreyLeast, not all above the white
// class's 200 (the light-grey fixture at 190 reads 179-188 at its failing
// points, the real astronaut's backdrop 155-216). A pale blue or red: that channel leads the
// others by kTintLead and they are above what the blue class (red plus green
// below blue plus 140) and the red class (green plus blue below red plus 80)
// leave for a colour that leads by that much.
constexpr int kGreySpread = 30;
constexpr int kGreyLeast = 150;
constexpr int kWhiteLeast = 200;
constexpr int kTintLead = 15;
constexpr int kPaleBlueLeast = 150;
constexpr int kPaleRedLeast = 95;

}  // namespace review
