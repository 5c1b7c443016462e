// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <memory>

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
};

// The real dialogs and message boxes.
std::unique_ptr<UserDialogs> MakeQtDialogs();
