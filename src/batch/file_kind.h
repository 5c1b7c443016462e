// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a file in a class's folder is, told by its first bytes rather than
// its name: a JPEG to work on, a photo in another format, something named as
// a photo that is none, or a file that is no photo at all.
#include <QByteArray>
#include <QString>

namespace batch {

enum class FileKind {
    Jpeg,          // worked on
    OtherFormat,   // a photo a person converts first: `format` names it
    UnknownPhoto,  // named as a photo, but empty or of no format known here
    Unreadable,    // could not be read: `error` holds the system's reason
    NotAPhoto,     // skipped: documents, spreadsheets, system files
};

struct Sniffed {
    FileKind kind = FileKind::NotAPhoto;
    QString format;  // "PNG", "HEIC", "HEIF", "AVIF", "WebP", "BMP", "TIFF", "GIF"
    QString error;
};

// Enough of a file's start for every format told here.
constexpr int kSniffBytes = 32;

// Whether the name's extension is one a photo has (.jpg, .png, .heic, ...),
// in any letter case.
bool NamedAsPhoto(const QString& fileName);

// The kind of a file that starts with `head` (its first kSniffBytes bytes,
// or all of a shorter file) and is named `fileName`.
Sniffed SniffBytes(const QByteArray& head, const QString& fileName);

// The kind of the file at `path`; reads its first kSniffBytes bytes only.
// Anything but a regular file is no photo.
Sniffed SniffFile(const QString& path);

}  // namespace batch
