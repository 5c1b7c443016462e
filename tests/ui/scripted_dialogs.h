// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A stand-in for the user: answers the file dialogs from queues (an empty
// queue answers "cancelled") and records every message box.
#include <QStringList>
#include <QVector>

#include "ui/window/user_dialogs.h"

class ScriptedDialogs : public UserDialogs {
public:
    struct Message {
        QString text, caption;
        int flags = 0;
    };
    QStringList openAnswers, saveAnswers;
    int openCount = 0;
    QVector<Message> messages;

    QString OpenPictureName(QWidget*) override {
        ++openCount;
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString SavePictureName(QWidget*) override { return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst(); }
    void ShowMessage(QWidget*, const QString& text, const QString& caption, int flags) override {
        messages.push_back({text, caption, flags});
    }
};
