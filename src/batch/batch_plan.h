// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a batch run is given, worked out before any photo is read: the files
// under the input folder told by their content, each photo's upload name
// (its own path, or the roster's), and what keeps a photo from being worked
// on at all (another format, a name a USB stick cannot hold, two photos for
// one name, no row in the roster).
#include <QString>
#include <QStringList>

#include <vector>

#include "batch/roster.h"

namespace batch {

struct Options {
    QString input;
    QString output;
    QString names;  // a roster: two columns, photo and upload file name; empty for none
    int jobs = 0;   // 0: one per core
    bool redo = false;
};

// Why the folders cannot be used, for the user; empty when they can. Makes
// the output folder where it is missing, and tries a file in it.
QString FolderProblem(const Options& options);

// Every regular file under the input folder, relative to it and sorted, but
// hidden ones, files named as the report is, and the output folder's where
// it lies inside.
QStringList FilesUnder(const Options& options);

// The upload file of a photo, relative to the output folder: the photo's own
// path, with ".jpg" added as the save adds it.
QString UploadName(const QString& photo);

struct PlannedPhoto {
    QString source;   // relative to the input folder
    QString upload;   // relative to the output folder
    QString refusal;  // why it needs a person before any read; empty to work on it
};

struct Plan {
    std::vector<PlannedPhoto> photos;            // every file taken for a photo, sorted
    QStringList skipped;                         // files that are no photos: listed, left alone
    std::vector<RosterRow> rowsWithoutPhoto;     // the roster's rows that name no photo
};

// The run's plan. A roster that cannot be used is a misuse: `misuse` says
// why, naming the rows and files, and the plan is empty.
Plan PlanRun(const Options& options, QString* misuse);

}  // namespace batch
