// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Geometry of the working photo: the zoom scale, rendering sizes, centring,
// the crop frame, the drag limits, and the pixels of a rendering. A rendering
// is never built whole: any part of it is sampled from the source on demand.
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace workspace {

constexpr int kFrameWidth = 200;
constexpr int kFrameHeight = 280;

// The window's viewport, which clips the working photo, and the working
// photo's place in it before any read: the window is laid out by these, and
// a batch frames its photos in the same viewport.
constexpr QSize kViewport(242, 309);
constexpr QRect kFirstPlace(8, 0, 241, 289);

// The slider position -20..20 as a scale 0.0..2.0: the double nearest to position / 20 + 1.
double ScaleForPosition(int position);

// length * scale computed exactly, rounded half to even.
int ScaledLength(int length, double scale);
QSize ScaledSize(QSize size, double scale);

// Offset that centres `inner` in `outer`: round((outer - inner) / 2).
int CentredOffset(int outer, int inner);

// The crop frame centred in the viewport.
QRect CropFrame(QSize viewport);

// Source index shown at destination index `dst` when `srcLength` pixels are
// stretched to `dstLength` (whole rows and columns dropped or repeated).
int SourceIndex(int dst, int srcLength, int dstLength);

// The pixels of `region` of the rendering of `source` at `renderSize`, as an
// RGB32 image of the region's size; white wherever the rendering does not reach.
QImage RenderRegion(const QImage& source, QSize renderSize, const QRect& region);

// One axis of a drag move: the new left (or top) of the photo.
int DragAxis(int position, int pointer, int grab, int lowest, int highest);

}  // namespace workspace
