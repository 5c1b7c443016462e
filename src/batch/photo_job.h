// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One photo of a batch, through the steps a user takes in the window: read
// it, double-click to frame it, crop, save. Every step is the workspace's own.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <exception>
#include <optional>

#include "batch/memory_gate.h"
#include "workspace/head.h"
#include "workspace/outcome.h"

namespace batch {

struct PhotoOutcome {
    enum Result { Passed, NeedsPerson, DoneBefore, HandSaved };
    QString source;   // the photo, relative to the input folder
    QString upload;   // the upload file, relative to the output folder; empty where none was written
    Result result = NeedsPerson;
    QString reason;   // for a photo that needs a person: the window's own words
    int quality = 0;  // of the upload file's JPEG data; 0 where not known
    int bytes = 0;    // the upload file's size, its tag included; 0 where none was written
    std::optional<workspace::HeadMeasure> head;
    QStringList findings;  // what a reviewer would refuse it for, in the texts' order
    bool faceRead = false;  // read as a JPEG with a face: a person can frame it by hand
    // A JPEG to show: the upload photo for a pass, the photo with the frame
    // where the framing put it and the window's marks for one that needs a
    // person; empty where there is nothing to show.
    QByteArray picture;
    // What stops the whole run rather than this photo alone: the disk or the
    // quota is full, or the face cascade cannot be loaded.
    std::exception_ptr stopFailure;
};

// Works `path` into the upload file `uploadPath` (".jpg" already added). Its
// decoded pixels wait for their place in `gate`. Nothing when `control.stop`
// came before the photo was done: a stop never leaves half a file. A failure
// of the photo's own (memory, OpenCV, its upload file refused by the system)
// makes it need a person; nothing escapes.
std::optional<PhotoOutcome> WorkPhoto(const QString& path, const QString& uploadPath, MemoryGate& gate,
                                      workspace::Progress& control);

// A whole upload file a run made from the photo's very bytes, kept as it
// is: done before, unless judged again as when it was made it needs a person.
PhotoOutcome KeptPhoto(const QByteArray& file);

}  // namespace batch
