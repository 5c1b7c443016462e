// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <memory>

class QFileDialog;
class QWidget;

// What the window asks of the user: file names and message boxes. Tests put a
// scripted implementation in place of the real dialogs.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;
    // The chosen path, or an empty string when the user cancelled.
    virtual QString OpenPictureName(QWidget* parent) = 0;
    virtual QString SavePictureName(QWidget* parent) = 0;
    // A modal box with one OK button; flags 16 error icon, 64 information icon.
    virtual void ShowMessage(QWidget* parent, const QString& text, const QString& caption, int flags) = 0;
    // Where the save dialog starts: a file's path, its folder open and its
    // name filled in; empty for the current folder, where every dialog
    // starts.
    virtual QString SaveStart() const { return QString(); }
};

// The real dialogs and message boxes. `saveStart` is for a window the batch
// opens for one photo: its save goes to that photo's upload file.
std::unique_ptr<UserDialogs> MakeQtDialogs(const QString& saveStart = QString());

// Qt's own dialog for a picture file, made ready but not shown: to open one
// or to save one, starting at `start` as SaveStart() says.
std::unique_ptr<QFileDialog> MakePictureDialog(QWidget* parent, bool save, const QString& start);
