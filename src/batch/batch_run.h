// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A batch run: the plan's photos side by side on a pool of workers, each
// kept, left as saved by hand, or worked anew through WorkPhoto into the
// output folder, as the output folder's journal says. The command line and
// the batch window both run it.
#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>
#include <vector>

#include "batch/batch_plan.h"
#include "batch/photo_job.h"
#include "workspace/outcome.h"

namespace batch {

struct Summary {
    std::vector<PhotoOutcome> photos;  // those done, in the order of their paths
    int total = 0;                     // the photos planned
    QStringList skipped;               // files that are no photos
    std::vector<RosterRow> rowsWithoutPhoto;
    QString input, output;             // the folders, absolute
    double seconds = 0;
    bool stopped = false;              // by the user, before all were done
    std::exception_ptr stopFailure;    // what stopped the run: a full disk, no face cascade, no journal
    qint64 memoryBudget = 0;
    qint64 memoryPeak = 0;             // the decoded pixels held at once, at the most
    int Count(PhotoOutcome::Result result) const;
};

// A run that cannot start or go on, in the user's words.
class RunRefused : public std::runtime_error {
public:
    explicit RunRefused(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const { return text_; }

private:
    QString text_;
};

// What a run tells as it goes: how many are done, and the file just taken
// up or finished (`finished` then holds its outcome). Called on the workers'
// threads, one call at a time.
struct Tick {
    int done = 0;
    int total = 0;
    QString current;
    const PhotoOutcome* finished = nullptr;
};

// Runs the plan; `control.stop` ends it early (set by the caller, or by the
// run itself at a full disk, a journal that takes no more, or a missing face
// cascade). Throws only when not one worker can start.
Summary Run(const Options& options, const Plan& plan, workspace::Progress& control,
            const std::function<void(const Tick&)>& tick);

// 0 every photo passed, 1 some need a person or a roster row has no photo,
// 2 a failure stopped it, 130 stopped by the user.
int ExitCode(const Summary& summary);

}  // namespace batch
