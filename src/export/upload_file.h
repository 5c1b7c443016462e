// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The upload file: the encoded photo followed directly by a nine-digit upload
// tag, and the rules for its name.
#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <stdexcept>
#include <string>

namespace upload {

// A file that could not be created or completely written, with the native
// absolute path and the system's reason; the texts word it for the user.
class FileError : public std::runtime_error {
public:
    enum class Step { Create, Write };
    // `code` is the system's error number where it is known, else 0.
    FileError(Step step, const QString& fileName, const QString& reason, int code = 0);
    Step step() const { return step_; }
    const QString& path() const { return path_; }
    const QString& reason() const { return reason_; }
    int code() const { return code_; }
    // The disk or the quota is full: no other file would fare better.
    bool OutOfSpace() const;

private:
    Step step_;
    QString path_;
    QString reason_;
    int code_;
};

// The tag's bytes at the end of an upload file: eight digits and a check digit.
constexpr int kTagLength = 9;

// The tag for the draw n (1..99999999): n's digits filled up behind with
// zeros to 8 characters, then the digit sum modulo 10. 12345 -> "123450005".
// Throws std::out_of_range for any other n.
QString UploadTagFor(int n);

// A new tag for a uniform draw from 1..99999999; the generator is seeded
// anew from the high-resolution clock on every call.
QString MakeUploadTag();

// The name with ".jpg" appended unless its extension (from the last "." that
// follows the last "/", "\" or ":") reads ".JPG" with only a..z upper-cased.
QString WithJpgExtension(const QString& fileName);

// Whether the bytes are a whole upload file: JPEG data from its start marker
// to its end marker, then a tag whose ninth digit checks the eight before it.
bool IsUploadFile(const QByteArray& file);

// Writes one new tag (MakeUploadTag) at the end of the open, writable device.
// Returns true when all 9 bytes were written; the caller reports a failure.
bool AddtoFile(QIODevice& file);

// Writes the encoded photo and an upload tag after it (AddtoFile) to
// fileName, creating or replacing it. The data go to a temporary file beside
// it that replaces the old file only once it is complete and tagged, so a
// failure leaves the old file as it was and nothing new behind. Where the
// folder allows no new file but the existing file may be written, the file is
// written in place instead; a failure then leaves it empty, never half
// written. Throws FileError.
void WriteUploadFile(const QString& fileName, const QByteArray& jpeg);

}  // namespace upload
