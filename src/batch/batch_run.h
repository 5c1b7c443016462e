// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A batch run: every regular file under the input folder, side by side on a
// pool of workers, each through WorkPhoto into the output folder under its
// relative path. The command line and the batch window both run it.
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

#include "batch/photo_job.h"
#include "workspace/outcome.h"

namespace batch {

struct Options {
    QString input;
    QString output;
    int jobs = 0;  // 0: one per core
    bool redo = false;
};

// Why the folders cannot be used, for the user; empty when they can. Makes
// the output folder where it is missing.
QString FolderProblem(const Options& options);

// The files a run works on, relative to the input folder and sorted: every
// regular file under it but hidden ones, files named as the report is, and
// the output folder's where it lies inside.
QStringList PhotosUnder(const Options& options);

// The upload file of a photo, relative to the output folder: the photo's own
// path, with ".jpg" added as the save adds it.
QString UploadName(const QString& photo);

struct Summary {
    std::vector<PhotoOutcome> photos;  // those done, in the order of their paths
    int total = 0;                     // the files found
    double seconds = 0;
    bool stopped = false;              // by the user, before all were done
    std::exception_ptr stopFailure;    // what stopped the run: a write that failed, no face cascade
    qint64 memoryBudget = 0;
    qint64 memoryPeak = 0;             // the decoded pixels held at once, at the most
    int Count(PhotoOutcome::Result result) const;
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

// Runs it; `control.stop` ends it early (set by the caller, or by the run
// itself at the first upload file that cannot be written or when the face
// cascade cannot be loaded). Throws only when not one worker can start.
Summary Run(const Options& options, workspace::Progress& control, const std::function<void(const Tick&)>& tick);

// 0 every photo passed, 1 some need a person, 2 a failure stopped it, 130
// stopped by the user.
int ExitCode(const Summary& summary);

}  // namespace batch
