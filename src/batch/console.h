// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A batch run from the command line: progress on standard error (one line
// that updates in place on a terminal, one line a photo elsewhere), Ctrl+C
// and SIGTERM stop it cleanly, and the exit code tells how it went.
#include "batch/batch_run.h"

namespace batch {

int RunInConsole(const Options& options);

}  // namespace batch
