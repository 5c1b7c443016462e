// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/panel.h"

#include <QPainter>

Panel::Panel(const QColor& colour, bool raisedEdge, QWidget* parent)
    : QWidget(parent), raisedEdge_(raisedEdge) {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colour);
    setPalette(pal);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
}

void Panel::paintEvent(QPaintEvent*) {
    if (!raisedEdge_)
        return;
    QPainter p(this);
    const int r = width() - 1;
    const int b = height() - 1;
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(0, 0, r - 1, 0);
    p.drawLine(0, 0, 0, b - 1);
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(0, b, r, b);
    p.drawLine(r, 0, r, b);
}
