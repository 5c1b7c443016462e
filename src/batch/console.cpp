// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/console.h"

#include <QDir>
#include <QElapsedTimer>

#include <csignal>
#include <cstdio>
#include <unistd.h>

#include "batch/report.h"
#include "texts/texts.h"

namespace batch {

namespace {

// Where a signal asks the run to stop; only the handler writes through it.
std::atomic<bool>* StopOnSignal = nullptr;

extern "C" void AskToStop(int) {
    if (StopOnSignal)
        StopOnSignal->store(true);
}

void Print(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

QString Duration(double seconds) {
    const int s = int(seconds + 0.5);
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

int RunInConsole(const Options& options) {
    const QString problem = FolderProblem(options);
    if (!problem.isEmpty()) {
        Print(QStringLiteral("exam-photo: %1\n").arg(problem));
        return 2;
    }
    workspace::Progress control;
    StopOnSignal = &control.stop;
    // The first signal asks for a clean stop; a second one ends the program
    // at once, as a user who presses Ctrl+C again means it to.
    struct sigaction action {}, oldInterrupt {}, oldTerminate {};
    action.sa_handler = AskToStop;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInterrupt);
    sigaction(SIGTERM, &action, &oldTerminate);

    const bool terminal = isatty(STDERR_FILENO);
    QElapsedTimer clock;
    clock.start();
    Summary summary;
    try {
        summary = Run(options, control, [&](const Tick& tick) {
        if (terminal) {
            const double seconds = clock.nsecsElapsed() / 1e9;
            const double rate = seconds > 0 ? tick.done / seconds : 0;
            const QString left = rate > 0 ? Duration((tick.total - tick.done) / rate) : QStringLiteral("-");
            Print(QStringLiteral("\r") +
                  texts::kBatchLine.arg(tick.done)
                      .arg(tick.total)
                      .arg(tick.total ? 100 * tick.done / tick.total : 100)
                      .arg(rate, 0, 'f', 1)
                      .arg(left, tick.current) +
                  QStringLiteral("\033[K"));
        } else if (tick.finished) {
            Print(QStringLiteral("%1/%2 %3 %4 %5")
                      .arg(tick.done)
                      .arg(tick.total)
                      .arg(ResultWord(tick.finished->result), tick.finished->source, tick.finished->reason)
                      .trimmed() +
                  QLatin1Char('\n'));
        }
        });
    } catch (...) {
        Print(QStringLiteral("exam-photo: %1\n").arg(texts::WithFullStop(texts::FailureText(std::current_exception()))));
        return 2;
    }
    sigaction(SIGINT, &oldInterrupt, nullptr);
    sigaction(SIGTERM, &oldTerminate, nullptr);
    StopOnSignal = nullptr;
    if (terminal)
        Print(QStringLiteral("\n"));

    QString error;
    const QString page = WriteReport(options, summary, &error);
    if (summary.stopFailure)
        Print(QStringLiteral("exam-photo: %1\n").arg(StopText(summary)));
    if (page.isEmpty()) {
        Print(QStringLiteral("exam-photo: %1\n").arg(error));
        return 2;
    }
    Print(texts::kBatchDone.arg(CountsText(summary), QDir::toNativeSeparators(page)) + QLatin1Char('\n'));
    return ExitCode(summary);
}

}  // namespace batch
