// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QWidget>

// Holds a window's painting for as long as it lives, so that a handler that
// changes it in several steps is seen once, at its end; a failure passing
// through still gives the painting back.
class PaintOnce {
public:
    explicit PaintOnce(QWidget* window) : window_(window) { window_->setUpdatesEnabled(false); }
    ~PaintOnce() { window_->setUpdatesEnabled(true); }
    PaintOnce(const PaintOnce&) = delete;
    PaintOnce& operator=(const PaintOnce&) = delete;

private:
    QWidget* window_;
};
