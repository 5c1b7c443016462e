// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/user_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>

#include "texts/texts.h"
#include "ui/window/picture_preview.h"

namespace {

// Qt's own file dialog (the same on every desktop), with a preview pane
// beside the file list. AnyFile mode: a typed name is not checked for
// existence, the handler reports what it cannot read.
QString AskPictureName(QWidget* parent, const QString& title, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, title);
    dialog.setObjectName(mode == QFileDialog::AcceptOpen ? QStringLiteral("OPicture")
                                                         : QStringLiteral("SavePictureDialog1"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(texts::kJpegFilter);
    dialog.setDefaultSuffix(QString());
    // Every dialog starts where the program was started, never in a folder
    // remembered from an earlier dialog.
    dialog.setDirectory(QDir::currentPath());

    auto* preview = new PicturePreview(&dialog);
    preview->setObjectName(QStringLiteral("PicturePreview"));
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(preview, 1, grid->columnCount(), 1, 1);
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview, &PicturePreview::ShowFile);

    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

class QtDialogs : public UserDialogs {
public:
    QString OpenPictureName(QWidget* parent) override {
        return AskPictureName(parent, texts::kOpenTitle, QFileDialog::AcceptOpen);
    }
    QString SavePictureName(QWidget* parent) override {
        return AskPictureName(parent, texts::kSaveTitle, QFileDialog::AcceptSave);
    }
    void ShowMessage(QWidget* parent, const QString& text, const QString& caption, int flags) override {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        if (flags == texts::MB_ICONERROR)
            icon = QMessageBox::Critical;
        else if (flags == texts::MB_ICONINFORMATION)
            icon = QMessageBox::Information;
        QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
};

}  // namespace

std::unique_ptr<UserDialogs> MakeQtDialogs() {
    return std::make_unique<QtDialogs>();
}
