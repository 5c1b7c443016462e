// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/frame_marks.h"

#include <QPainter>

FrameMarks::FrameMarks(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
}

void FrameMarks::SetRings(const QVector<QPoint>& centres) {
    if (centres == rings_)
        return;
    rings_ = centres;
    update();
}

void FrameMarks::SetLines(const QVector<base::MarkLine>& lines) {
    if (lines == lines_)
        return;
    lines_ = lines;
    update();
}

void FrameMarks::paintEvent(QPaintEvent*) {
    if (rings_.isEmpty() && lines_.isEmpty())
        return;
    QPainter p(this);
    base::DrawMarks(p, rings_, lines_);
}
