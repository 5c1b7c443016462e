// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/user_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>

#include "texts/texts.h"
#include "ui/window/picture_preview.h"

namespace {

// Qt's own file dialog (the same on every desktop) behind both questions.
QString AskPictureName(QWidget* parent, bool save, const QString& start) {
    const std::unique_ptr<QFileDialog> dialog = MakePictureDialog(parent, save, start);
    if (dialog->exec() != QDialog::Accepted)
        return QString();
    return dialog->selectedFiles().value(0);
}

class QtDialogs : public UserDialogs {
public:
    explicit QtDialogs(const QString& saveStart) : saveStart_(saveStart) {}
    QString OpenPictureName(QWidget* parent) override { return AskPictureName(parent, false, QString()); }
    QString SavePictureName(QWidget* parent) override { return AskPictureName(parent, true, saveStart_); }
    QString SaveStart() const override { return saveStart_; }
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

private:
    QString saveStart_;
};

}  // namespace

std::unique_ptr<UserDialogs> MakeQtDialogs(const QString& saveStart) {
    return std::make_unique<QtDialogs>(saveStart);
}

// A preview pane beside the file list. AnyFile mode: a typed name is not
// checked for existence, the handler reports what it cannot read.
std::unique_ptr<QFileDialog> MakePictureDialog(QWidget* parent, bool save, const QString& start) {
    auto dialog = std::make_unique<QFileDialog>(parent, save ? texts::kSaveTitle : texts::kOpenTitle);
    dialog->setObjectName(save ? QStringLiteral("SavePictureDialog1") : QStringLiteral("OPicture"));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(texts::kJpegFilter);
    dialog->setDefaultSuffix(QString());
    // Every dialog starts where the program was started, or at the file it
    // is given, never in a folder remembered from an earlier dialog.
    if (start.isEmpty()) {
        dialog->setDirectory(QDir::currentPath());
    } else {
        const QFileInfo file(start);
        dialog->setDirectory(file.absolutePath());
        dialog->selectFile(file.fileName());
    }

    auto* preview = new PicturePreview(dialog.get());
    preview->setObjectName(QStringLiteral("PicturePreview"));
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()))
        grid->addWidget(preview, 1, grid->columnCount(), 1, 1);
    QObject::connect(dialog.get(), &QFileDialog::currentChanged, preview, &PicturePreview::ShowFile);
    if (!start.isEmpty())
        preview->ShowFile(start);  // the file a save would replace, as if the user had picked it
    return dialog;
}
