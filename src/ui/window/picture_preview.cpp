// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/picture_preview.h"

#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "photo/file_reader.h"
#include "photo/jpeg_decoder.h"
#include "texts/texts.h"

namespace {
constexpr int kBoxSide = 160;
}

PicturePreview::PicturePreview(QWidget* parent) : QWidget(parent) {
    picture_ = new QLabel(this);
    picture_->setFixedSize(kBoxSide, kBoxSide);
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    size_ = new QLabel(this);
    size_->setAlignment(Qt::AlignCenter);
    size_->setTextFormat(Qt::PlainText);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 0, 0);
    layout->addWidget(picture_);
    layout->addWidget(size_);
    layout->addStretch();
}

void PicturePreview::Clear() {
    picture_->clear();
    size_->clear();
}

bool PicturePreview::HasPicture() const {
    return !picture_->pixmap().isNull();
}

QString PicturePreview::SizeText() const {
    return size_->text();
}

void PicturePreview::ShowFile(const QString& path) {
    Clear();
    try {
        const QByteArray bytes = photo::ReadWholeFile(path, kMaxFileBytes);
        const photo::JpegHeader header = photo::ReadJpegHeader(bytes);
        const QSize upright = header.UprightSize();
        if (static_cast<long long>(upright.width()) * upright.height() > kMaxPixels)
            return;
        const QImage image = photo::DecodeJpeg(bytes);
        if (image.isNull())
            return;
        // Scaled down to the box, never up.
        const int room = kBoxSide - 4;
        const QImage shown = image.width() > room || image.height() > room
                                 ? image.scaled(room, room, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                 : image;
        picture_->setPixmap(QPixmap::fromImage(shown));
        size_->setText(texts::kPreviewSize.arg(image.width()).arg(image.height()));
    } catch (...) {
        Clear();  // not a picture we can read: the pane stays empty
    }
}
