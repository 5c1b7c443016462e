#pragma once
// A stand-in for the user in window tests: answers the file dialogs from
// queues (an empty queue answers "cancelled") and records every message box.
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

#include "ui/user_dialogs.h"

class ScriptedDialogs : public UserDialogs {
public:
    struct Message {
        QString text;
        QString caption;
        int flags = 0;
    };

    QStringList openAnswers;  // taken from the front, one per open dialog
    QStringList saveAnswers;  // taken from the front, one per save dialog
    int openCount = 0;
    int saveCount = 0;
    QVector<Message> messages;
    // Runs while a message "box" is open, e.g. to look at the window then.
    std::function<void(const Message&)> onMessage;

    QString OpenPictureName(QWidget*) override {
        ++openCount;
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString SavePictureName(QWidget*) override {
        ++saveCount;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
    void ShowMessage(QWidget*, const QString& text, const QString& caption, int flags) override {
        messages.push_back({text, caption, flags});
        if (onMessage)
            onMessage(messages.back());
    }
};
