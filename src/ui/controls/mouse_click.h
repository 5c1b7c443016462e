// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QMouseEvent>
#include <QWidget>

// The click of the window's own controls: a left press arms, and releasing
// the left button over the armed control is the click.
class MouseClick {
public:
    void Press(const QMouseEvent& event) {
        if (event.button() == Qt::LeftButton)
            armed_ = true;
    }
    // Whether this release completes a click on `control`.
    bool Release(const QMouseEvent& event, const QWidget& control) {
        if (event.button() != Qt::LeftButton || !armed_)
            return false;
        armed_ = false;
        return control.rect().contains(event.position().toPoint());
    }

private:
    bool armed_ = false;
};
