// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every failure the tool can meet, sorted in one place with the facts it
// carries: the read tells by this whether the photo is at fault, and the
// texts word each kind.
#include <QString>

#include <exception>

namespace workspace {

struct FailureCause {
    enum Kind {
        NoMemory,        // std::bad_alloc, whatever layer ran out
        CascadeMissing,  // path: the face cascade that cannot be loaded
        Codec,           // code: libjpeg's message code
        FileCreate,      // path, detail: the file and the system's reason
        FileWrite,       // path, detail
        Detector,        // detail: OpenCV's message
        Other,           // anything else: a file the read cannot use, as a rule
    };
    FailureCause(Kind kind = Other, QString path = {}, QString detail = {}, int code = 0)
        : kind(kind), path(std::move(path)), detail(std::move(detail)), code(code) {}

    Kind kind;
    QString path;
    QString detail;
    int code;

    // No fault of the photo's: a broken install, the memory, OpenCV. A read
    // tells these as they are instead of refusing the photo.
    bool NotThePhotos() const { return kind == NoMemory || kind == CascadeMissing || kind == Detector; }
};

FailureCause CauseOf(const std::exception_ptr& failure);

}  // namespace workspace
