// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the command line asks for, looked at before the windowing
// application exists: so --help works without a display, and Qt's own
// options (-platform, -style, ...) are left to Qt instead of taken for files.
#include <QString>
#include <QStringList>

struct CommandLine {
    enum class Action { Run, Help, Misuse, Batch };
    Action action = Action::Run;
    QString file;  // the photo to read at start; empty for none
    // --batch: the two folders (none: the batch window asks for them), and
    // its options.
    QString input, output;
    int jobs = 0;
    bool redo = false;
    QString names;  // --names: the roster
    QString misuse;  // what was wrong, where more than the usage says
};

// `arguments` without the program's name. The first file counts; later
// ones are ignored. "--" ends the options. With --batch the first two
// arguments are the input and the output folder, and there must be two or
// none.
CommandLine ParseCommandLine(const QStringList& arguments);

// How many of argc's arguments Qt may see: those before a "--", so that a
// file named after it is never taken for one of Qt's options.
int ArgumentsForQt(int argc, char** argv);
