// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Portraits of known outline, made at run time: a head of hair and skin with
// a real face in it (the face fixtures' own, so that the face check finds it),
// a neck and shoulders, on a wall under soft light, with a sensor's grain.
// The wall may be graded, carry the head's soft shadow, or a light rectangle
// touching the head.
#include <QImage>
#include <QPainter>
#include <QLinearGradient>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <random>

namespace heads {

struct Look {
    QRgb wall;
    QRgb hair;
    int down = 0, across = 0;  // levels the wall gains from top to bottom, from left to right
    int shadow = 0;            // a soft shadow beside the head: -1 on its left, 1 on its right
    bool rectangle = false;    // a light rectangle on the wall, touching the head's right side
    int lit = 0;               // levels the light adds to the hair's left edge, fading to its right
};
inline const QRgb kBlue = qRgb(20, 50, 210), kRed = qRgb(200, 30, 35), kWhite = qRgb(235, 235, 235);
inline const QRgb kBrightWhite = qRgb(245, 245, 245), kDarkBlue = qRgb(20, 30, 60);
inline const QRgb kDark = qRgb(30, 25, 25), kBrown = qRgb(100, 65, 40), kBlond = qRgb(215, 180, 120);
inline const QRgb kGrey = qRgb(225, 220, 210);
inline const Look kDarkOnBlue{kBlue, kDark};
inline const Look kBrownOnRed{kRed, kBrown};
inline const Look kBlondOnWhite{kWhite, kBlond};

struct Portrait {
    QImage photo;
    QRect outline;  // the head's top row and its outermost columns (one row high)
};

// A head `width` pixels wide, hair included, its top on row `top`, centred
// on column `centreX`: hair of 1.24 widths' height, the face below its middle.
inline Portrait MakePortrait(QSize size, int centreX, int top, int width, Look look, unsigned seed = 1) {
    QImage photo(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const int gain = look.down * y / (size.height() - 1) + look.across * x / (size.width() - 1);
            const auto channel = [gain](int v) { return std::clamp(v + gain, 0, 255); };
            photo.setPixel(x, y, qRgb(channel(qRed(look.wall)), channel(qGreen(look.wall)), channel(qBlue(look.wall))));
        }
    const double a = width / 2.0, b = width * 0.62;
    const QPointF centre(centreX + 0.5, top + b);
    const QColor skin(224, 178, 152), clothes(40, 40, 48);
    {
        QPainter p(&photo);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        // The shadow: the head's shape moved aside, darkening the wall by a
        // third over a penumbra of a tenth of the head's width.
        p.setBrush(QColor(0, 0, 0, 10));
        for (int ring = 0; look.shadow && ring < 10; ++ring) {
            const double grow = 0.1 * width * (1 - ring / 10.0);
            p.drawEllipse(centre + QPointF(0.15 * width * look.shadow, 0.05 * width), a + grow, b + grow);
        }
        p.setBrush(QColor(230, 228, 222));
        if (look.rectangle)
            p.drawRect(QRectF(centre.x() + 0.4 * width, top + 0.1 * width, 0.3 * width, 0.6 * width));
        const double chin = centre.y() + 0.77 * width;
        p.setBrush(clothes);
        p.drawEllipse(QPointF(centre.x(), chin + 0.6 * width), 1.1 * width, 0.55 * width);
        p.setBrush(skin);
        p.drawRect(QRectF(centre.x() - 0.17 * width, chin - 0.1 * width, 0.34 * width, 0.3 * width));
        QLinearGradient hair(centre.x() - a, 0, centre.x() + a, 0);
        const auto lighter = [&](int v) { return std::min(255, v + look.lit); };
        hair.setColorAt(0, QColor(lighter(qRed(look.hair)), lighter(qGreen(look.hair)), lighter(qBlue(look.hair))));
        hair.setColorAt(1, QColor(look.hair));
        p.setBrush(hair);
        p.drawEllipse(centre, a, b);
        p.setBrush(skin);
        p.drawEllipse(QPointF(centre.x(), centre.y() + 0.22 * width), 0.40 * width, 0.55 * width);
        // The real face, its edges faded into the skin.
        static const QImage face = QImage(QStringLiteral(EXAM_TESTDATA_DIR "/face/portrait.jpg"))
                                       .copy(86, 36, 52, 52)
                                       .convertToFormat(QImage::Format_ARGB32);
        QImage patch = face.scaled(int(0.62 * width), int(0.62 * width), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QPainter mask(&patch);
        mask.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        QRadialGradient fade(patch.rect().center(), patch.width() / 2.0);
        fade.setColorAt(0.7, Qt::black);
        fade.setColorAt(1.0, Qt::transparent);
        mask.fillRect(patch.rect(), fade);
        mask.end();
        p.drawImage(QPointF(centre.x() - patch.width() / 2.0, centre.y() + 0.25 * width - patch.height() / 2.0), patch);
    }
    // Soft light, a little darker to the lower right, and grain.
    std::mt19937 grain(seed);
    std::normal_distribution<double> noise(0, 3);
    for (int y = 0; y < size.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const double light = 1.0 - 0.06 * (double(x) / size.width() + double(y) / size.height());
            const auto channel = [&](int v) { return std::clamp(int(std::lround(v * light + noise(grain))), 0, 255); };
            line[x] = qRgb(channel(qRed(line[x])), channel(qGreen(line[x])), channel(qBlue(line[x])));
        }
    }
    return {photo, QRect(centreX - width / 2, top, width, 1)};
}

}  // namespace heads
