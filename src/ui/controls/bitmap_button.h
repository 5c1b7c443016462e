// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "ui/controls/mouse_click.h"
#include <QImage>
#include <QWidget>

// A button that is nothing but its face picture. QPushButton is not used: it
// ignores Enter outside a dialog and draws pressed and focused states.
//
// - exactly the size of its face, drawn unscaled and never changing, no
//   focus mark;
// - a press of any mouse button takes the focus, a left press arms the
//   button, releasing the left button over the armed button clicks it;
// - with the focus, Enter clicks at once and Space clicks on its release.
class BitmapButton : public QWidget {
    Q_OBJECT
public:
    // `words` are the words on the face, for screen readers.
    BitmapButton(const QImage& face, const QString& words, QWidget* parent);
    const QImage& Face() const { return face_; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QImage face_;
    MouseClick click_;
    bool spaceDown_ = false;
};
