// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/frame_marks.h"

#include <QPainter>

namespace {
constexpr int kRingDiameter = 9;
constexpr int kPen = 2;
const QColor kGreen(0, 128, 0);
const QColor kOrange(255, 150, 0);
}  // namespace

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

void FrameMarks::SetLines(const QVector<Line>& lines) {
    if (lines == lines_)
        return;
    lines_ = lines;
    update();
}

void FrameMarks::paintEvent(QPaintEvent*) {
    if (rings_.isEmpty() && lines_.isEmpty())
        return;
    QPainter p(this);
    // Each mark centred on the pixels it names.
    const QPointF centre(0.5, 0.5);
    for (const Line& line : lines_) {
        QPen pen(line.style == Unwanted ? kOrange : kGreen, kPen, line.style == Wanted ? Qt::DashLine : Qt::SolidLine);
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
        p.drawLine(QLineF(line.line).translated(centre));
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::red, kPen));
    p.setBrush(Qt::NoBrush);
    const double radius = (kRingDiameter - kPen) / 2.0;
    for (const QPoint& c : rings_)
        p.drawEllipse(QPointF(c) + centre, radius, radius);
}
