// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>

#include "texts/texts.h"
#include "ui/window/app_setup.h"
#include "ui/window/command_line.h"
#include "ui/window/main_window.h"

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    const CommandLine line = ParseCommandLine(arguments);
    if (line.action != CommandLine::Action::Run) {
        const bool help = line.action == CommandLine::Action::Help;
        std::fputs(texts::kUsage, help ? stdout : stderr);
        return help ? 0 : 2;
    }

    int qtArgc = ArgumentsForQt(argc, argv);
    QApplication app(qtArgc, argv);
    SetUpApplication(app);
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
