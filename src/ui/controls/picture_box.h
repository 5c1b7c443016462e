// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QImage>
#include <QWidget>

// A fixed-size control that draws its picture 1:1 from its top-left corner,
// cut at its edges. Without a picture it draws nothing, so what lies below
// shows through.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent);

    void SetPicture(const QImage& picture);
    void ClearPicture();
    bool HasPicture() const { return !picture_.isNull(); }
    const QImage& Picture() const { return picture_; }

signals:
    void pictureChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};
