// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the command line asks for, looked at before the windowing
// application exists: so --help works without a display, and Qt's own
// options (-platform, -style, ...) are left to Qt instead of taken for files.
#include <QString>
#include <QStringList>

struct CommandLine {
    enum class Action { Run, Help, Misuse };
    Action action = Action::Run;
    QString file;  // the photo to read at start; empty for none
};

// `arguments` without the program's name. The first file counts; later
// ones are ignored. "--" ends the options.
CommandLine ParseCommandLine(const QStringList& arguments);

// How many of argc's arguments Qt may see: those before a "--", so that a
// file named after it is never taken for one of Qt's options.
int ArgumentsForQt(int argc, char** argv);
