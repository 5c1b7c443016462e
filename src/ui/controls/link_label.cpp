// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/link_label.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setFocusPolicy(Qt::NoFocus);
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, QColor(0, 90, 181));
    setPalette(pal);
}

// The label is only as tall as the text, so the font's own underline would
// fall below it: the line is drawn on the label's last row instead.
void LinkLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    QPainter painter(this);
    const int width = std::min(fontMetrics().horizontalAdvance(text()), this->width());
    painter.fillRect(0, height() - 1, width, 1, palette().color(QPalette::WindowText));
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    event->accept();
    click_.Press(*event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (click_.Release(*event, *this))
        emit clicked();
}
