// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/zoom_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

#include "base/rounding.h"

ZoomSlider::ZoomSlider(QWidget* parent) : QWidget(parent) {
    // Tab reaches it; a mouse press takes the focus by hand (left button only).
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    repeat_.setSingleShot(true);
    // A precise timer never fires early, so the held press keeps its rhythm.
    repeat_.setTimerType(Qt::PreciseTimer);
    connect(&repeat_, &QTimer::timeout, this, &ZoomSlider::RepeatStep);
}

void ZoomSlider::SetPosition(int position) {
    position = std::clamp(position, kMinimum, kMaximum);
    if (position == position_)
        return;
    position_ = position;
    update();
    emit changed();
}

void ZoomSlider::ShowPosition(int position) {
    position_ = std::clamp(position, kMinimum, kMaximum);
    update();
}

void ZoomSlider::StopRepeat() {
    repeat_.stop();
    trackPressed_ = false;
    dragging_ = false;
}

int ZoomSlider::Travel() const {
    return std::max(1, width() - 2 * kMargin - kThumbWidth);
}

int ZoomSlider::ThumbLeftFor(int position) const {
    const double offset = double(position - kMinimum) * Travel() / double(kMaximum - kMinimum);
    return kMargin + base::RoundHalfEven(offset);
}

int ZoomSlider::PositionForThumbLeft(int left) const {
    const double steps = double(left - kMargin) * double(kMaximum - kMinimum) / Travel();
    const double rounded = base::RoundHalfEven(steps);
    const double clamped = std::clamp(rounded, 0.0, double(kMaximum - kMinimum));
    return kMinimum + int(clamped);
}

QRect ZoomSlider::ThumbRect() const {
    const int top = (height() - kThumbHeight) / 2;
    return QRect(ThumbLeftFor(position_), top, kThumbWidth, kThumbHeight);
}

int ZoomSlider::PendingRepeatMs() const {
    return repeat_.isActive() ? repeat_.interval() : -1;
}

bool ZoomSlider::ThumbReachedPointer() const {
    const QRect thumb = ThumbRect();
    return direction_ < 0 ? pointerX_ >= thumb.left() : pointerX_ <= thumb.right();
}

void ZoomSlider::StepTowardPointer() {
    if (ThumbReachedPointer()) {
        StopRepeat();
        return;
    }
    // The change handler runs inside; it may stop the repeat (a message box).
    SetPosition(position_ + direction_ * kPageSize);
    if (!trackPressed_)
        return;
    if (ThumbReachedPointer() || position_ == kMinimum || position_ == kMaximum) {
        repeat_.stop();
        trackPressed_ = false;
    }
}

void ZoomSlider::RepeatStep() {
    if (!trackPressed_)
        return;
    StepTowardPointer();
    if (trackPressed_)
        repeat_.start(kRepeatIntervalMs);
}

void ZoomSlider::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton || dragging_ || trackPressed_)
        return;
    setFocus(Qt::MouseFocusReason);
    const QPoint at = event->position().toPoint();
    const QRect thumb = ThumbRect();
    if (thumb.contains(at)) {
        dragging_ = true;
        grab_ = at.x() - thumb.left();
        return;
    }
    pointerX_ = at.x();
    if (pointerX_ < thumb.left())
        direction_ = -1;
    else if (pointerX_ > thumb.right())
        direction_ = 1;
    else
        return;  // above or below the thumb itself: nothing to reach
    trackPressed_ = true;
    StepTowardPointer();
    if (trackPressed_)
        repeat_.start(kRepeatDelayMs);
}

void ZoomSlider::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    const int x = event->position().toPoint().x();
    if (dragging_)
        SetPosition(PositionForThumbLeft(x - grab_));
    else if (trackPressed_)
        pointerX_ = x;
}

void ZoomSlider::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton)
        StopRepeat();
}

void ZoomSlider::wheelEvent(QWheelEvent* event) {
    event->accept();  // the wheel does nothing, and goes nowhere else either
}

void ZoomSlider::keyPressEvent(QKeyEvent* event) {
    const bool keypad = event->modifiers() & Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        SetPosition(position_ - 1);
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        SetPosition(position_ + 1);
        break;
    case Qt::Key_PageUp:
        SetPosition(position_ + kPageSize);
        break;
    case Qt::Key_PageDown:
        SetPosition(position_ - kPageSize);
        break;
    case Qt::Key_Home:
        SetPosition(kMinimum);
        break;
    case Qt::Key_End:
        SetPosition(kMaximum);
        break;
    case Qt::Key_Minus:
        if (!keypad)
            return QWidget::keyPressEvent(event);
        SetPosition(position_ - 1);
        break;
    case Qt::Key_Plus:
        if (!keypad)
            return QWidget::keyPressEvent(event);
        SetPosition(position_ + 1);
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    event->accept();
}

void ZoomSlider::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        StopRepeat();
    QWidget::changeEvent(event);
}

void ZoomSlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    const bool enabled = isEnabled();
    p.fillRect(rect(), pal.color(QPalette::Window));

    // Sunken track along the thumb's travel.
    const int mid = height() / 2;
    const QRect track(kMargin + kThumbWidth / 2 - 2, mid - 2, Travel() + 5, 4);
    p.fillRect(track, pal.color(QPalette::Button));
    p.setPen(pal.color(QPalette::Dark));
    p.drawLine(track.topLeft(), track.topRight());
    p.drawLine(track.topLeft(), track.bottomLeft());
    p.setPen(pal.color(QPalette::Midlight));
    p.drawLine(track.bottomLeft(), track.bottomRight());
    p.drawLine(track.topRight(), track.bottomRight());

    // Box-shaped thumb, flat and grey while disabled.
    const QRect thumb = ThumbRect();
    p.fillRect(thumb, pal.color(QPalette::Button));
    if (enabled) {
        p.setPen(pal.color(QPalette::Light));
        p.drawLine(thumb.topLeft(), thumb.topRight());
        p.drawLine(thumb.topLeft(), thumb.bottomLeft());
        p.setPen(pal.color(QPalette::Shadow));
        p.drawLine(thumb.bottomLeft(), thumb.bottomRight());
        p.drawLine(thumb.topRight(), thumb.bottomRight());
        p.setPen(pal.color(QPalette::Dark));
        p.drawLine(thumb.left() + 1, thumb.bottom() - 1, thumb.right() - 1, thumb.bottom() - 1);
        p.drawLine(thumb.right() - 1, thumb.top() + 1, thumb.right() - 1, thumb.bottom() - 1);
    } else {
        p.setPen(pal.color(QPalette::Mid));
        p.drawRect(thumb.adjusted(0, 0, -1, -1));
    }

    if (hasFocus()) {
        QPen dots(pal.color(QPalette::WindowText), 1, Qt::DotLine);
        p.setPen(dots);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}
