// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QLine>
#include <QPoint>
#include <QVector>
#include <QWidget>

// Marks over whatever lies below, in the parent's coordinates: small red
// rings on points where something fails, and thin lines where something is
// measured, dashed in the guide lines' green where it is as wanted, solid
// orange where it is not (orange reads on blue, red and white alike), or a
// short green tick on a target. Presses pass through.
class FrameMarks : public QWidget {
    Q_OBJECT
public:
    enum Style { Wanted, Unwanted, Target };
    struct Line {
        QLine line;
        Style style;
        bool operator==(const Line& other) const { return line == other.line && style == other.style; }
    };
    explicit FrameMarks(QWidget* parent);
    void SetRings(const QVector<QPoint>& centres);
    void SetLines(const QVector<Line>& lines);
    const QVector<QPoint>& Rings() const { return rings_; }
    const QVector<Line>& Lines() const { return lines_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVector<QPoint> rings_;
    QVector<Line> lines_;
};
