// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>

#include "batch/console.h"
#include "texts/texts.h"
#include "ui/batch/batch_window.h"
#include "ui/window/app_setup.h"
#include "ui/window/command_line.h"
#include "ui/window/main_window.h"

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    const CommandLine line = ParseCommandLine(arguments);
    if (line.action == CommandLine::Action::Help || line.action == CommandLine::Action::Misuse) {
        const bool help = line.action == CommandLine::Action::Help;
        if (!line.misuse.isEmpty())
            std::fprintf(stderr, "exam-photo: %s\n", line.misuse.toLocal8Bit().constData());
        std::fputs(texts::kUsage, help ? stdout : stderr);
        return help ? 0 : 2;
    }
    const batch::Options folders{line.input, line.output, line.names, line.jobs, line.redo};
    // With its folders a batch needs no display: it runs in the terminal.
    if (line.action == CommandLine::Action::Batch && !folders.input.isEmpty()) {
        QCoreApplication app(argc, argv);
        return batch::RunInConsole(folders);
    }

    int qtArgc = ArgumentsForQt(argc, argv);
    QApplication app(qtArgc, argv);
    SetUpApplication(app);
    if (line.action == CommandLine::Action::Batch) {
        BatchWindow window(folders);
        window.show();
        return app.exec();
    }
    TForm1 Form1;
    QApplication::setWindowIcon(Form1.windowIcon());
    Form1.show();
    // Active at once, so that Enter opens the open dialog without a click.
    Form1.activateWindow();
    // A photo named on the command line is read once the window shows, as
    // if the user had chosen it at once.
    if (!line.file.isEmpty())
        QTimer::singleShot(0, &Form1, [&Form1, &line] { Form1.ReadPhotoFile(line.file); });
    return app.exec();
}
