// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/status_panes.h"

#include <QPainter>

StatusPanes::StatusPanes(const QVector<Pane>& panes, QWidget* parent)
    : QWidget(parent), panes_(panes) {
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
}

void StatusPanes::SetPaneText(int index, const QString& text) {
    panes_[index].text = text;
    update();
}

QRect StatusPanes::PaneRect(int index) const {
    int left = 0;
    for (int i = 0; i < index; ++i)
        left += panes_.at(i).width;
    const int right = index + 1 == PaneCount() ? width() : left + panes_.at(index).width;
    const int visibleRight = std::min(right, width());
    if (visibleRight <= left)
        return QRect();
    return QRect(left, 0, visibleRight - left, height());
}

namespace {

// A pane's text area: inside its border, with a little room on each side.
QRect TextArea(const QRect& pane) {
    return pane.adjusted(3, 1, -3, -1);
}

}  // namespace

bool StatusPanes::Fits(int index, const QString& text) const {
    return fontMetrics().horizontalAdvance(text) <= TextArea(PaneRect(index).adjusted(0, 2, -2, 0)).width();
}

void StatusPanes::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    for (int i = 0; i < PaneCount(); ++i) {
        const QRect pane = PaneRect(i).adjusted(0, 2, -2, 0);
        if (pane.width() <= 0)
            continue;
        // A thin sunken border around each pane.
        p.setPen(pal.color(QPalette::Dark));
        p.drawLine(pane.topLeft(), pane.topRight());
        p.drawLine(pane.topLeft(), pane.bottomLeft());
        p.setPen(pal.color(QPalette::Light));
        p.drawLine(pane.bottomLeft(), pane.bottomRight());
        p.drawLine(pane.topRight(), pane.bottomRight());
        p.setPen(pal.color(QPalette::WindowText));
        p.drawText(TextArea(pane), int(panes_.at(i).alignment | Qt::AlignVCenter),
                   panes_.at(i).text);
    }
}
