// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/sample_rings.h"

#include <QPainter>

namespace {
constexpr int kDiameter = 9;
constexpr int kPen = 2;
}  // namespace

SampleRings::SampleRings(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
}

void SampleRings::SetCentres(const QVector<QPoint>& centres) {
    if (centres == centres_)
        return;
    centres_ = centres;
    update();
}

void SampleRings::paintEvent(QPaintEvent*) {
    if (centres_.isEmpty())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::red, kPen));
    p.setBrush(Qt::NoBrush);
    const double radius = (kDiameter - kPen) / 2.0;
    for (const QPoint& c : centres_)
        p.drawEllipse(QPointF(c) + QPointF(0.5, 0.5), radius, radius);
}
