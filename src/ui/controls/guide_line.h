// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QRect>
#include <QRegion>
#include <QWidget>

// A green guide line in the viewport: a segment 2 pixels wide along the
// middle of its box, from 10 pixels inside one end to 10 pixels inside the
// other. It takes mouse presses only near its segment (the box shrunk by 6
// pixels on every side, and no more than 4 pixels across from the segment),
// doing nothing with them; the widget's mask is that area, so every other
// press in its box reaches the photo below.
class GuideLine : public QWidget {
    Q_OBJECT
public:
    // `box` in the parent's coordinates; a horizontal line runs along the
    // box's width, a vertical one along its height.
    GuideLine(Qt::Orientation orientation, const QRect& box, QWidget* parent);

    // In the line's own coordinates.
    QRect PressArea() const { return pressArea_; }
    QRect Segment() const { return segment_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Qt::Orientation orientation_;
    QRect pressArea_;
    QRect segment_;
};
