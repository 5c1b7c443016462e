// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QVector>
#include <QWidget>

// A status bar of fixed-width panes laid out from the left, each cut at the
// bar's right end; the last pane runs to the bar's end. No size grip.
class StatusPanes : public QWidget {
    Q_OBJECT
public:
    struct Pane {
        int width;
        Qt::Alignment alignment;
        QString text;
    };
    StatusPanes(const QVector<Pane>& panes, QWidget* parent);

    int PaneCount() const { return int(panes_.size()); }
    QString PaneText(int index) const { return panes_.at(index).text; }
    void SetPaneText(int index, const QString& text);
    // The visible part of a pane in the bar's coordinates (empty when the
    // bar ends before it).
    QRect PaneRect(int index) const;
    // Whether a text is seen whole in a pane.
    bool Fits(int index, const QString& text) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVector<Pane> panes_;
};
