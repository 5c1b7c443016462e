// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Portraits of known outline, made at run time: a head of hair and skin with
// a real face in it (the face fixtures' own, so that the face check finds it),
// a neck and shoulders, on a wall of one colour under soft light, with a
// sensor's grain.
#include <QImage>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <random>

namespace heads {

struct Look {
    QRgb wall;
    QRgb hair;
};
inline const QRgb kBlue = qRgb(20, 50, 210), kRed = qRgb(200, 30, 35), kWhite = qRgb(235, 235, 235);
inline const QRgb kDark = qRgb(30, 25, 25), kBrown = qRgb(100, 65, 40), kBlond = qRgb(215, 180, 120);
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
    photo.fill(look.wall);
    const double a = width / 2.0, b = width * 0.62;
    const QPointF centre(centreX + 0.5, top + b);
    const QColor skin(224, 178, 152), clothes(40, 40, 48);
    {
        QPainter p(&photo);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        const double chin = centre.y() + 0.77 * width;
        p.setBrush(clothes);
        p.drawEllipse(QPointF(centre.x(), chin + 0.6 * width), 1.1 * width, 0.55 * width);
        p.setBrush(skin);
        p.drawRect(QRectF(centre.x() - 0.17 * width, chin - 0.1 * width, 0.34 * width, 0.3 * width));
        p.setBrush(QColor(look.hair));
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
