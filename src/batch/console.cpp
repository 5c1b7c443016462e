// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/console.h"

#include <QDir>
#include <QElapsedTimer>

#include <csignal>
#include <cstdio>
#include <optional>
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

// How far the run has come: one line that updates in place on a terminal,
// one line a photo elsewhere.
void PrintTick(const Tick& tick, bool terminal, const QElapsedTimer& clock) {
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
}

}  // namespace

StopOnSignals::StopOnSignals(std::atomic<bool>& stop) {
    StopOnSignal = &stop;
    struct sigaction action {};
    action.sa_handler = AskToStop;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInterrupt_);
    sigaction(SIGTERM, &action, &oldTerminate_);
}

StopOnSignals::~StopOnSignals() {
    sigaction(SIGINT, &oldInterrupt_, nullptr);
    sigaction(SIGTERM, &oldTerminate_, nullptr);
    StopOnSignal = nullptr;
}

int RunInConsole(const Options& options) {
    const QString problem = FolderProblem(options);
    if (!problem.isEmpty()) {
        Print(QStringLiteral("exam-photo: %1\n").arg(problem));
        return 2;
    }
    QString misuse;
    const Plan plan = PlanRun(options, &misuse);
    if (!misuse.isEmpty()) {
        Print(QStringLiteral("exam-photo: %1\n").arg(misuse));
        return 2;
    }
    workspace::Progress control;
    std::optional<StopOnSignals> asked(std::in_place, control.stop);
    const bool terminal = isatty(STDERR_FILENO);
    QElapsedTimer clock;
    clock.start();
    Summary summary;
    try {
        summary = Run(options, plan, control, [&](const Tick& tick) { PrintTick(tick, terminal, clock); });
    } catch (...) {
        Print(QStringLiteral("exam-photo: %1\n").arg(texts::WithFullStop(texts::FailureText(std::current_exception()))));
        return 2;
    }
    asked.reset();
    if (terminal)
        Print(QStringLiteral("\n"));
    for (const RosterRow& row : summary.rowsWithoutPhoto)
        Print(texts::kBatchRosterRow.arg(row.row).arg(row.photo) + QLatin1Char(' ') + texts::kBatchRowWithoutPhoto +
              QLatin1Char('\n'));

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
