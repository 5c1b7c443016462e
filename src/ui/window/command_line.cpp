// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/command_line.h"

#include "texts/texts.h"


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

CommandLine Misuse(const QString& why = {}) {
    CommandLine line;
    line.action = CommandLine::Action::Misuse;
    line.misuse = why;
    return line;
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
    CommandLine line;
    bool options = true, batch = false, batchOption = false;
    QStringList files;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (options && a == QLatin1String("--")) {
            options = false;
        } else if (options && a == QLatin1String("--batch")) {
            batch = true;
        } else if (options && a == QLatin1String("--redo")) {
            line.redo = batchOption = true;
        } else if (options && (a == QLatin1String("--names") || a.startsWith(QLatin1String("--names=")))) {
            line.names = a.contains(QLatin1Char('=')) ? a.section(QLatin1Char('='), 1) : arguments.value(++i);
            batchOption = true;
            if (line.names.isEmpty())
                return Misuse();
        } else if (options && (a == QLatin1String("--jobs") || a.startsWith(QLatin1String("--jobs=")))) {
            const QString value = a.contains(QLatin1Char('=')) ? a.section(QLatin1Char('='), 1)
                                                                : arguments.value(++i);
            bool number = false;
            line.jobs = value.toInt(&number);
            batchOption = true;
            if (!number || line.jobs < 1 || line.jobs > 256)
                return Misuse(texts::kBatchBadJobs);
        } else if (options && a.startsWith(QLatin1Char('-'))) {
            const QString name = a.startsWith(QLatin1String("--")) ? a.mid(1) : a;
            if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
                CommandLine help;
                help.action = CommandLine::Action::Help;
                return help;
            }
            if (kQtWithValue.contains(name.section(QLatin1Char('='), 0, 0))) {
                if (!name.contains(QLatin1Char('=')))
                    ++i;
            } else if (!kQtAlone.contains(name)) {
                return Misuse();
            }
        } else {
            files << a;
        }
    }
    if (!batch) {
        if (batchOption)
            return Misuse();
        line.file = files.value(0);
        return line;
    }
    if (files.size() != 0 && files.size() != 2)
        return Misuse();
    line.action = CommandLine::Action::Batch;
    line.input = files.value(0);
    line.output = files.value(1);
    return line;
}

int ArgumentsForQt(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (QLatin1String(argv[i]) == QLatin1String("--"))
            return i;
    return argc;
}
