// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/picture_box.h"

#include <QPaintEvent>
#include <QPainter>

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void PictureBox::SetPicture(const QImage& picture) {
    picture_ = picture;
    update();
    emit pictureChanged();
}

void PictureBox::ClearPicture() {
    picture_ = QImage();
    update();
    emit pictureChanged();
}

void PictureBox::paintEvent(QPaintEvent* event) {
    if (picture_.isNull())
        return;
    QPainter p(this);
    p.setClipRect(event->rect());
    p.drawImage(0, 0, picture_);
}
