// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/guide_line.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int kEndInset = 10;   // segment ends, from the box's corners
constexpr int kPressInset = 6;  // press area, from the box's edges
constexpr int kPressReach = 4;  // press area, across from the segment
}  // namespace

GuideLine::GuideLine(Qt::Orientation orientation, const QRect& box, QWidget* parent)
    : QWidget(parent), orientation_(orientation) {
    setGeometry(box);
    setFocusPolicy(Qt::NoFocus);
    const int w = box.width();
    const int h = box.height();
    const QRect shrunk(kPressInset, kPressInset, w - 2 * kPressInset, h - 2 * kPressInset);
    // The pen is 2 pixels wide; the segment's line is its second row (or
    // column), the first lying just before it.
    if (orientation == Qt::Horizontal) {
        const int line = kEndInset;
        segment_ = QRect(QPoint(kEndInset, line - 1), QPoint(w - kEndInset - 1, line));
        pressArea_ = shrunk & QRect(0, line - kPressReach, w, 2 * kPressReach + 1);
    } else {
        const int line = kEndInset;
        segment_ = QRect(QPoint(line - 1, kEndInset), QPoint(line, h - kEndInset - 1));
        pressArea_ = shrunk & QRect(line - kPressReach, 0, 2 * kPressReach + 1, h);
    }
    setMask(QRegion(pressArea_));
}

void GuideLine::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(segment_, QColor(0, 128, 0));
}

void GuideLine::mousePressEvent(QMouseEvent* event) {
    event->accept();  // taken and dropped: no drag starts on a guide line
}

void GuideLine::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}
