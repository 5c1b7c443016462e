// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QColor>
#include <QWidget>

// A plain coloured panel, optionally with a 1-pixel raised edge (highlight on
// the top and left, shadow on the bottom and right).
class Panel : public QWidget {
    Q_OBJECT
public:
    explicit Panel(const QColor& colour, bool raisedEdge, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool raisedEdge_;
};
