// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QWidget>

class QLabel;

// The preview pane of the picture dialogs: the selected picture scaled down,
// and its size in pixels. It reads through the project's JPEG decoder; a file
// it cannot read (or one too large to read quickly) shows nothing.
class PicturePreview : public QWidget {
    Q_OBJECT
public:
    // Files larger than this are not read at all.
    static constexpr qint64 kMaxFileBytes = 64LL * 1024 * 1024;
    // Pictures of more pixels than this are not decoded for the preview.
    static constexpr long long kMaxPixels = 40000000;

    explicit PicturePreview(QWidget* parent = nullptr);

    void ShowFile(const QString& path);
    void Clear();
    bool HasPicture() const;
    QString SizeText() const;

private:
    QLabel* picture_;
    QLabel* size_;
};
