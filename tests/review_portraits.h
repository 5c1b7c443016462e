// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Upload photos for the reviewer's eye, made at run time from heads.h's
// portrait: the head on any wall (a pattern, a landscape, a shadow), a
// darker skin, and the light, blur and tilt a camera gives, each encoded and
// decoded as the save does.
#include <QPainter>
#include <QTransform>

#include <opencv2/imgproc.hpp>

#include <functional>

#include "export/jpeg_encoder.h"
#include "heads.h"
#include "photo/jpeg_decoder.h"

namespace portraits {

// The upload frame and the head framed in it as a double-click frames it:
// 120 pixels wide, 40 from the top, left and right.
inline const QSize kUpload(200, 280);
inline const QRect kHead(40, 40, 120, 1);

using Wall = std::function<QRgb(int x, int y)>;
inline Wall Plain(QRgb colour) {
    return [colour](int, int) { return colour; };
}

// The head in front of `wall`, under the portrait's light and grain, its skin
// and hair `tone` times as bright. Two renderings on two greys give each
// pixel's share of wall times its light, k = (a - b) / (grey a - grey b), and
// the head's own part, a - k * grey a; the canvas is `size`, the head
// `width` wide from `top`, centred.
inline QImage OnWall(const Wall& wall, double tone = 1, QSize size = kUpload, int top = kHead.top(),
                     int width = kHead.width()) {
    const int greyA = 60, greyB = 200;
    const auto render = [&](int grey) {
        return heads::MakePortrait(size, size.width() / 2, top, width, {qRgb(grey, grey, grey), heads::kDark}).photo;
    };
    const QImage a = render(greyA), b = render(greyB);
    QImage out(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const QRgb pa = a.pixel(x, y), want = wall(x, y);
            const double k = double(qGreen(pa) - qGreen(b.pixel(x, y))) / (greyA - greyB);
            const auto channel = [&](int own, int wallChannel) {
                return std::clamp(int(std::lround(k * wallChannel + tone * (own - k * greyA))), 0, 255);
            };
            out.setPixel(x, y, qRgb(channel(qRed(pa), qRed(want)), channel(qGreen(pa), qGreen(want)),
                                    channel(qBlue(pa), qBlue(want))));
        }
    return out;
}

// The frame's light times `gain` at column x, clipped as a camera clips.
inline QImage Lit(const QImage& photo, const std::function<double(int x)>& gain) {
    QImage out = photo.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = out.pixel(x, y);
            const auto channel = [&](int v) { return std::clamp(int(std::lround(v * gain(x))), 0, 255); };
            out.setPixel(x, y, qRgb(channel(qRed(c)), channel(qGreen(c)), channel(qBlue(c))));
        }
    return out;
}

// OpenCV's filter `apply` on the photo's pixels.
inline QImage Filtered(const QImage& photo, const std::function<void(cv::Mat&)>& apply) {
    QImage out = photo.convertToFormat(QImage::Format_RGB888);
    cv::Mat pixels(out.height(), out.width(), CV_8UC3, out.bits(), size_t(out.bytesPerLine()));
    apply(pixels);
    return out;
}
inline QImage Blurred(const QImage& photo, double sigma) {
    return Filtered(photo, [sigma](cv::Mat& m) { cv::GaussianBlur(m, m, cv::Size(), sigma); });
}
// A phone's grain: a spread of `sigma` levels a channel.
inline QImage Grainy(const QImage& photo, double sigma) {
    return Filtered(photo, [sigma](cv::Mat& m) {
        cv::Mat noise(m.size(), CV_16SC3);
        cv::theRNG().state = 7;
        cv::randn(noise, 0, sigma);
        cv::Mat sum;
        m.convertTo(sum, CV_16SC3);
        sum += noise;
        sum.convertTo(m, CV_8UC3);
    });
}

// The head tilted by `degrees` in the frame's plane (clockwise on screen),
// turned about the face on a plain wall. The real face leans 3 degrees that
// way of itself.
inline QImage Tilted(double degrees, QRgb wall) {
    const double ownTilt = 3;
    const QImage big = OnWall(Plain(wall), 1, QSize(360, 400), 100);
    QImage out(kUpload, QImage::Format_RGB32);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.translate(100, 140);
    p.rotate(degrees - ownTilt);
    p.translate(-180, -200);
    p.drawImage(0, 0, big);
    return out;
}

// What the save writes of the photo, decoded.
inline QImage Upload(const QImage& photo) {
    return photo::DecodeJpeg(upload::EncodeWithinLimit(photo));
}

}  // namespace portraits

namespace portraits {

// Walls that are not plain, made up as the photos people take show them.
// A flag beside the head: red and white stripes, a blue corner.
inline QRgb Flag(int x, int y) {
    if (x >= 75)
        return heads::kWhite;
    if (x < 40 && y < 60)
        return qRgb(40, 50, 130);
    return (y / 10) % 2 ? qRgb(235, 235, 235) : qRgb(190, 30, 45);
}
// Grey stripes on a white wall: a pattern in the wall's own tint.
inline QRgb Stripes(int x, int) {
    const int v = (x / 6) % 2 ? 120 : 235;
    return qRgb(v, v, v);
}
// A sky over a horizon, fields below it.
inline QRgb Landscape(int x, int y) {
    if (y < 150)
        return qRgb(120 + y / 2, 165 + y / 3, 230);
    const int grass = ((x * 7919 + y * 104729) % 41) - 20;
    return qRgb(90 + grass, 120 + grass, 60 + grass / 2);
}
// A shelf of books close to the head's right on a white wall.
inline QRgb Shelf(int x, int y) {
    static const QRgb books[] = {qRgb(170, 40, 40), qRgb(40, 90, 160), qRgb(220, 190, 60), qRgb(60, 130, 70)};
    if (x < 166 || x > 185 || y < 60 || y > 130)
        return heads::kWhite;
    if (y > 122)
        return qRgb(120, 80, 50);
    return books[(x / 7) % 4];
}
// A white wall, 30 levels brighter on the left edge, 30 darker on the right.
inline QRgb Graded(int x, int) {
    const int v = 220 + 30 - 60 * x / (kUpload.width() - 1);
    return qRgb(v, v, v);
}
// The head's own shadow on a white wall, offset to the lower right and soft
// over some 25 pixels, at most 30 % darker.
inline QRgb Shadowed(int x, int y) {
    const double dx = (x - 114) / 60.0, dy = (y - 124) / 75.0;
    const double r = std::sqrt(dx * dx + dy * dy), inside = std::clamp((1.3 - r) / 0.4, 0.0, 1.0);
    const int v = int(std::lround(235 * (1 - 0.3 * inside * inside * (3 - 2 * inside))));
    return qRgb(v, v, v);
}

}  // namespace portraits

namespace portraits {

// A photo scaled so that `face` (in its pixels) becomes `width` wide, placed
// on the upload frame with that face centred and its top on row 95 as far as
// the photo reaches.
inline QImage Framed(const QImage& photo, const QRect& face, int width) {
    const double scale = double(width) / face.width();
    const double left = 100 - (face.x() + face.width() / 2.0) * scale, top = 95 - face.y() * scale;
    QImage out(kUpload, QImage::Format_RGB32);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.translate(std::clamp(left, kUpload.width() - photo.width() * scale, 0.0),
                std::clamp(top, kUpload.height() - photo.height() * scale, 0.0));
    p.scale(scale, scale);
    p.drawImage(0, 0, photo);
    return out;
}

// Dark glasses over the eyes of the head OnWall paints.
inline QImage WithSunglasses(QImage photo) {
    QPainter p(&photo);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(25, 25, 30));
    p.drawEllipse(QPointF(85, 127), 13, 9);
    p.drawEllipse(QPointF(117, 128), 13, 9);
    return photo;
}

}  // namespace portraits
