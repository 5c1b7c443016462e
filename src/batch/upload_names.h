// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether an upload file's name can be held where it goes, told before
// anything is written: on the output folder's own file system, and on the
// USB stick (FAT32 or exFAT) a class's uploads are handed in on.
#include <QChar>
#include <QString>

namespace batch {

// What the output folder's file system holds; LimitsOf asks the system.
struct NameLimits {
    QString folder;           // the output folder, absolute
    int nameBytes = 255;      // a file or folder name, in UTF-8 bytes
    int pathBytes = 4096;     // a whole path, its ending NUL counted
};

// The limits of the file system `outputFolder` (which exists) lies on;
// where the system does not answer, those of Linux's own file systems.
NameLimits LimitsOf(const QString& outputFolder);

// The longest name FAT32 and exFAT hold, in UTF-16 code units.
constexpr int kUsbNameUnits = 255;

struct NameProblem {
    enum Kind {
        None,
        Empty,              // a name with nothing in it
        ControlCharacter,   // U+0000..U+001F: `character`
        ForbiddenCharacter, // " * : < > ? \ | (and / within one name): `character`
        EndsInDotOrSpace,   // FAT drops the ending dots and spaces
        ReservedName,       // CON, PRN, AUX, NUL, COM1-9, LPT1-9, with any extension
        LongerThanUsb,      // more than kUsbNameUnits: `limit`
        LongerThanOutput,   // more UTF-8 bytes than the output's file system holds: `limit`
        PathTooLong,        // the whole path, in bytes: `limit`
    };
    Kind kind = None;
    QString part;    // the name (file or folder) at fault; the whole path for PathTooLong
    QChar character;
    int limit = 0;
    explicit operator bool() const { return kind != None; }
};

// What keeps one file or folder name (no "/" in it) from being held, in the
// order the kinds are listed; None where nothing does.
NameProblem FileNameProblem(const QString& name, const NameLimits& limits);

// The same for an upload file's path relative to the output folder, "/"
// between its folders, ".jpg" already added: each part, then the whole.
NameProblem UploadPathProblem(const QString& upload, const NameLimits& limits);

}  // namespace batch
