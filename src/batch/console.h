// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A batch run from the command line: progress on standard error (one line
// that updates in place on a terminal, one line a photo elsewhere), Ctrl+C
// and SIGTERM stop it cleanly, and the exit code tells how it went.
#include <csignal>

#include <atomic>

#include "batch/batch_run.h"

namespace batch {

int RunInConsole(const Options& options);

// While one lives, the first SIGINT or SIGTERM sets `stop` and a second one
// ends the program at once, as a user who presses Ctrl+C again means it to.
// The handlers before it come back however the run ends.
class StopOnSignals {
public:
    explicit StopOnSignals(std::atomic<bool>& stop);
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

private:
    struct sigaction oldInterrupt_ {};
    struct sigaction oldTerminate_ {};
};

}  // namespace batch
