// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the frame's marks look wherever they are drawn, in the window or in a
// report: small red rings on points where something fails, and the lines of
// a measure, dashed in the guide lines' green where it is as wanted, solid
// orange where it is not (orange reads on blue, red and white alike), or a
// short green tick on a target.
#include <QColor>
#include <QLine>
#include <QPainter>
#include <QPoint>
#include <QTransform>
#include <QVector>

namespace base {

struct MarkLine {
    enum Style { Wanted, Unwanted, Target };
    QLine line;
    Style style;
    bool operator==(const MarkLine& other) const { return line == other.line && style == other.style; }
};

// Draws the marks, their places taken through `to`; rings and pens keep
// their size whatever the scale, and each mark is centred on the pixels it
// names.
inline void DrawMarks(QPainter& p, const QVector<QPoint>& rings, const QVector<MarkLine>& lines,
                      const QTransform& to = QTransform()) {
    constexpr int kPen = 2;
    constexpr double kRingRadius = 3.5;
    const QPointF centre(0.5, 0.5);
    p.save();
    for (const MarkLine& mark : lines) {
        QPen pen(mark.style == MarkLine::Unwanted ? QColor(255, 150, 0) : QColor(0, 128, 0), kPen,
                 mark.style == MarkLine::Wanted ? Qt::DashLine : Qt::SolidLine);
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
        p.drawLine(to.map(QLineF(mark.line).translated(centre)));
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::red, kPen));
    p.setBrush(Qt::NoBrush);
    for (const QPoint& c : rings)
        p.drawEllipse(to.map(QPointF(c) + centre), kRingRadius, kRingRadius);
    p.restore();
}

}  // namespace base
