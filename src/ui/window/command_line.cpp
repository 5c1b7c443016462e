// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/command_line.h"


namespace {

// Qt's options that take a value, and those that stand alone.
const QStringList kQtWithValue = {
    QStringLiteral("-platform"),  QStringLiteral("-platformpluginpath"), QStringLiteral("-platformtheme"),
    QStringLiteral("-plugin"),    QStringLiteral("-qwindowgeometry"),    QStringLiteral("-qwindowtitle"),
    QStringLiteral("-qwindowicon"), QStringLiteral("-style"),            QStringLiteral("-stylesheet"),
    QStringLiteral("-session"),   QStringLiteral("-display"),            QStringLiteral("-geometry"),
    QStringLiteral("-title"),     QStringLiteral("-name"),               QStringLiteral("-visual")};
const QStringList kQtAlone = {QStringLiteral("-reverse"), QStringLiteral("-widgetcount"),
                              QStringLiteral("-nograb"),  QStringLiteral("-dograb"), QStringLiteral("-sync")};

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
    CommandLine line;
    bool options = true;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (options && a == QLatin1String("--")) {
            options = false;
        } else if (options && a.startsWith(QLatin1Char('-'))) {
            const QString name = a.startsWith(QLatin1String("--")) ? a.mid(1) : a;
            if (a == QLatin1String("-h") || a == QLatin1String("--help"))
                return {CommandLine::Action::Help, {}};
            if (kQtWithValue.contains(name.section(QLatin1Char('='), 0, 0))) {
                if (!name.contains(QLatin1Char('=')))
                    ++i;
            } else if (!kQtAlone.contains(name)) {
                return {CommandLine::Action::Misuse, {}};
            }
        } else if (line.file.isEmpty()) {
            line.file = a;
        }
    }
    return line;
}

int ArgumentsForQt(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (QLatin1String(argv[i]) == QLatin1String("--"))
            return i;
    return argc;
}
