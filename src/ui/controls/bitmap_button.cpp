// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/bitmap_button.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

// A screen reader sees a push button named after the face's words, not an
// anonymous picture.
QAccessibleInterface* AccessibleBitmapButton(const QString& className, QObject* object) {
    if (className == QLatin1String("BitmapButton") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Button);
    return nullptr;
}

}  // namespace

BitmapButton::BitmapButton(const QImage& face, const QString& words, QWidget* parent)
    : QWidget(parent), face_(face) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(AccessibleBitmapButton);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setAccessibleName(words);
    setFixedSize(face_.size());
    // Focus on a mouse press is taken by hand below, for every button.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void BitmapButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, face_);
}

void BitmapButton::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    click_.Press(*event);
    event->accept();
}

void BitmapButton::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (click_.Release(*event, *this))
        emit clicked();
}

void BitmapButton::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        emit clicked();
        return;
    case Qt::Key_Space:
        event->accept();
        if (!event->isAutoRepeat())
            spaceDown_ = true;
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void BitmapButton::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        event->accept();
        if (spaceDown_) {
            spaceDown_ = false;
            emit clicked();
        }
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void BitmapButton::focusOutEvent(QFocusEvent* event) {
    spaceDown_ = false;
    QWidget::focusOutEvent(event);
}
