// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QImage>
#include <QRect>
#include <QWidget>
#include <functional>

// The working photo control. It keeps no picture of its own: a paint asks
// `draw` for just the visible part, drawn 1:1 (no Qt scaling), so a rendering
// is never built whole. Mouse presses, moves, releases and double-clicks of
// any button are passed on with the pointer relative to the control.
class PhotoView : public QWidget {
    Q_OBJECT
public:
    using Painter = std::function<QImage(const QRect& region)>;
    PhotoView(Painter draw, QWidget* parent);

signals:
    void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseMoved(Qt::KeyboardModifiers modifiers, int x, int y);
    void mouseReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void doubleClicked(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    Painter draw_;
};
