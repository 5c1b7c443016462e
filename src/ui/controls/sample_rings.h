// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QPoint>
#include <QVector>
#include <QWidget>

// Small red rings over whatever lies below, each centred on a point of the
// parent; they mark where something fails. Presses pass through.
class SampleRings : public QWidget {
    Q_OBJECT
public:
    explicit SampleRings(QWidget* parent);
    void SetCentres(const QVector<QPoint>& centres);
    const QVector<QPoint>& Centres() const { return centres_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVector<QPoint> centres_;
};
