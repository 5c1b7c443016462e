// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QWidget>

// A rectangle outline in sky blue, 2 pixels wide along the inside of the
// control's edges, no fill. It takes no mouse input.
class FrameShape : public QWidget {
    Q_OBJECT
public:
    explicit FrameShape(QWidget* parent);
    static constexpr int kPenWidth = 2;

protected:
    void paintEvent(QPaintEvent* event) override;
};
