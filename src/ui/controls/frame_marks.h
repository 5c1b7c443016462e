// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QPoint>
#include <QVector>
#include <QWidget>

#include "base/marks.h"

// The frame's marks over whatever lies below, in the parent's coordinates:
// rings where something fails, lines where something is measured (see
// base/marks.h for their look). Presses pass through.
class FrameMarks : public QWidget {
    Q_OBJECT
public:
    explicit FrameMarks(QWidget* parent);
    void SetRings(const QVector<QPoint>& centres);
    void SetLines(const QVector<base::MarkLine>& lines);
    const QVector<QPoint>& Rings() const { return rings_; }
    const QVector<base::MarkLine>& Lines() const { return lines_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVector<QPoint> rings_;
    QVector<base::MarkLine> lines_;
};
