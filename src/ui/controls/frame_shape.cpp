// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/frame_shape.h"

#include <QPainter>

FrameShape::FrameShape(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void FrameShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor skyBlue(166, 202, 240);
    const int w = width();
    const int h = height();
    const int k = kPenWidth;
    p.fillRect(0, 0, w, k, skyBlue);
    p.fillRect(0, h - k, w, k, skyBlue);
    p.fillRect(0, k, k, h - 2 * k, skyBlue);
    p.fillRect(w - k, k, k, h - 2 * k, skyBlue);
}
