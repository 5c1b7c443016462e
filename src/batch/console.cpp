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

QString ResultWord(PhotoOutcome::Result result) {
    return result == PhotoOutcome::Passed       ? texts::kBatchPassed
           : result == PhotoOutcome::DoneBefore ? texts::kBatchDoneBefore
                                                : texts::kBatchNeedsPerson;
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
    struct sigaction action {};
    action.sa_handler = AskToStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    const bool terminal = isatty(STDERR_FILENO);
    QElapsedTimer clock;
    clock.start();
    const Summary summary = Run(options, control, [&](const Tick& tick) {
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
    StopOnSignal = nullptr;
    if (terminal)
        Print(QStringLiteral("\n"));

    QString error;
    const QString page = WriteReport(options, summary, &error);
    QString path, reason;
    if (WriteFailure(summary, &path, &reason))
        Print(QStringLiteral("exam-photo: %1\n").arg(texts::kBatchWriteStopped.arg(path, reason)));
    if (page.isEmpty()) {
        Print(QStringLiteral("exam-photo: %1\n").arg(error));
        return 2;
    }
    Print(texts::kBatchDone.arg(summary.photos.size())
              .arg(summary.Count(PhotoOutcome::Passed))
              .arg(summary.Count(PhotoOutcome::NeedsPerson))
              .arg(summary.Count(PhotoOutcome::DoneBefore))
              .arg(QDir::toNativeSeparators(page)) +
          QLatin1Char('\n'));
    return ExitCode(summary);
}

}  // namespace batch
