// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/photo_view.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

PhotoView::PhotoView(Painter draw, QWidget* parent) : QWidget(parent), draw_(std::move(draw)) {
    setFocusPolicy(Qt::NoFocus);
    // Moves are reported with no button held, too.
    setMouseTracking(true);
}

void PhotoView::paintEvent(QPaintEvent* event) {
    try {
        const QImage part = draw_(event->rect());
        if (part.isNull())
            return;
        QPainter p(this);
        p.drawImage(event->rect().topLeft(), part);
    } catch (...) {
        // Out of memory for this strip: the area stays unpainted rather than
        // a failure escaping from the paint.
    }
}

void PhotoView::mousePressEvent(QMouseEvent* event) {
    event->accept();
    const QPoint at = event->position().toPoint();
    emit mousePressed(event->button(), event->modifiers(), at.x(), at.y());
}

void PhotoView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    const QPoint at = event->position().toPoint();
    emit mouseMoved(event->modifiers(), at.x(), at.y());
}

void PhotoView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const QPoint at = event->position().toPoint();
    emit mouseReleased(event->button(), event->modifiers(), at.x(), at.y());
}

// Qt delivers the second press of a quick pair only as this; the window
// decides whether it frames or is a press like any other.
void PhotoView::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    const QPoint at = event->position().toPoint();
    emit doubleClicked(event->button(), event->modifiers(), at.x(), at.y());
}
