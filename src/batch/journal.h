// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The output folder's record of what each photo's upload file was made
// from, so that a later run keeps an upload only while its photo is the
// same, and knows an upload a person saved by hand. A line is added as each
// photo ends, so a run that is killed loses at most the photo it was on.
#include <QByteArray>
#include <QMap>
#include <QString>

#include <mutex>
#include <optional>
#include <system_error>

namespace batch {

// BLAKE2b-256: strong, and three times SHA-256's speed in Qt's own code.
QByteArray DigestOf(const QByteArray& bytes);

// The digest of the file's bytes, read a block at a time; nothing where the
// file cannot be read.
std::optional<QByteArray> DigestOfFile(const QString& path);

struct JournalRecord {
    enum Stage {
        Writing,  // the upload file is being written: what lies there is unknown
        Written,  // by the run: `uploadDigest` is its digest, empty where none was written
        ByHand,   // saved by a person and kept: `uploadDigest` is its digest
    };
    QString photo;   // relative to the input folder
    QString upload;  // relative to the output folder
    Stage stage = Written;
    QByteArray sourceDigest;
    QByteArray uploadDigest;
};

// The record, `.exam-photo-journal.csv` in the output folder: a header
// line naming the columns, then one line per record, the last one for a
// photo counting. Opening it compacts it: one line per photo, rewritten
// whole, so a line cut short by a killed run never runs into a new one.
// One run at a time holds it; it is released when the journal is destroyed.
class Journal {
public:
    static const QString kFileName;

    explicit Journal(const QString& outputFolder);
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Why the journal could not be opened (the output folder cannot be
    // written, or another run holds it: std::errc::operation_would_block),
    // or why it took no more records.
    std::error_code Error() const;

    std::optional<JournalRecord> Find(const QString& photo) const;

    // Adds the record, on the disk before it returns. Any thread may call it.
    // After a failure (a full disk) the journal takes no more records.
    std::error_code Append(const JournalRecord& record);

private:
    std::error_code Compact(const QString& path);

    QString folder_;
    QMap<QString, JournalRecord> records_;
    std::error_code error_;
    int folderLock_ = -1;
    int file_ = -1;
    mutable std::mutex mutex_;
};

// What to do with one photo, from its digest, what lies under its upload
// name (its digest; nothing where no whole upload file is there) and its
// last record.
enum class Resume {
    Fresh,        // no upload file: work the photo
    KeptAsDone,   // made by a run from these very bytes: keep it, judge it as a kept one
    SavedByHand,  // saved by a person for these bytes: keep it, judge it no more
    Redo,         // made from other bytes, or of unknown origin: work the photo again
};
Resume DecideResume(const QByteArray& sourceDigest, const QString& upload,
                    const std::optional<QByteArray>& uploadDigest, const std::optional<JournalRecord>& record);

}  // namespace batch
