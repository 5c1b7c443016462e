// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "ui/controls/mouse_click.h"
#include <QLabel>
class QPaintEvent;

// A text that acts as a link: link blue, underlined; a left press and release
// on it is a click. It never takes the focus.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& text, QWidget* parent);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    MouseClick click_;
};
