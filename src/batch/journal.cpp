// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/journal.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "batch/csv.h"

namespace batch {

const QString Journal::kFileName = QStringLiteral(".exam-photo-journal.csv");

namespace {

constexpr auto kAlgorithm = QCryptographicHash::Blake2b_256;
constexpr int kDigestBytes = 32;
constexpr qint64 kBlock = 1 << 20;

// The columns by name, in the order a line holds them; a reader finds them
// by the header, so a later version may add or move columns.
const QStringList& Columns() {
    static const QStringList columns{QStringLiteral("photo"), QStringLiteral("upload"), QStringLiteral("stage"),
                                     QStringLiteral("source_blake2b_256"), QStringLiteral("upload_blake2b_256")};
    return columns;
}

const QStringList& Stages() {
    static const QStringList stages{QStringLiteral("writing"), QStringLiteral("written"), QStringLiteral("by_hand")};
    return stages;
}

std::error_code LastError() {
    return {errno ? errno : EIO, std::generic_category()};
}

QString RecordLine(const JournalRecord& record) {
    return CsvLine({record.photo, record.upload, Stages()[record.stage], QString::fromLatin1(record.sourceDigest.toHex()),
                    QString::fromLatin1(record.uploadDigest.toHex())});
}

bool FromHex(const QString& hex, QByteArray& digest, bool emptyAllowed) {
    digest = QByteArray::fromHex(hex.toLatin1());
    return digest.toHex() == hex.toLatin1() && (digest.size() == kDigestBytes || (emptyAllowed && digest.isEmpty()));
}

// The record a whole line holds, its cells found at `at` (the columns'
// places); nothing for a line cut short or not of this journal.
std::optional<JournalRecord> ParseRecord(const CsvRecord& line, const QList<qsizetype>& at) {
    JournalRecord record;
    const auto cell = [&](int column) { return line.cells.value(at[column]); };
    const qsizetype stage = Stages().indexOf(cell(2));
    if (!line.ended || cell(0).isEmpty() || stage < 0 || !FromHex(cell(3), record.sourceDigest, false) ||
        !FromHex(cell(4), record.uploadDigest, true))
        return std::nullopt;
    record.photo = cell(0);
    record.upload = cell(1);
    record.stage = JournalRecord::Stage(stage);
    return record;
}

std::error_code ReadAll(const QString& path, QByteArray& bytes) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? std::error_code() : LastError();
    QByteArray block(kBlock, Qt::Uninitialized);
    ssize_t got;
    while ((got = ::read(fd, block.data(), size_t(block.size()))) > 0 || (got < 0 && errno == EINTR))
        bytes.append(block.constData(), got > 0 ? got : 0);
    const std::error_code error = got < 0 ? LastError() : std::error_code();
    ::close(fd);
    return error;
}

std::error_code ReadRecords(const QString& path, QMap<QString, JournalRecord>& records) {
    QByteArray bytes;
    if (const std::error_code error = ReadAll(path, bytes))
        return error;
    const std::vector<CsvRecord> lines = SplitCsv(QString::fromUtf8(bytes));
    if (lines.empty())
        return {};
    QList<qsizetype> at;
    for (const QString& column : Columns())
        at << lines.front().cells.indexOf(column);
    if (at.contains(-1))
        return {};  // not a journal this version reads: every photo is done anew
    for (auto line = lines.begin() + 1; line != lines.end(); ++line)
        if (const std::optional<JournalRecord> record = ParseRecord(*line, at))
            records.insert(record->photo, *record);
    return {};
}

bool WriteAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += wrote;
    }
    return true;
}

// A renamed file's new name reaches the disk with its folder; a record must
// not name an upload that a power cut could still take back.
std::error_code SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return LastError();
    const std::error_code error = ::fsync(fd) == 0 ? std::error_code() : LastError();
    ::close(fd);
    return error;
}

}  // namespace

QByteArray DigestOf(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, kAlgorithm);
}

std::optional<QByteArray> DigestOfFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::nullopt;
    QCryptographicHash hash(kAlgorithm);
    QByteArray block(kBlock, Qt::Uninitialized);
    qint64 got;
    while ((got = file.read(block.data(), block.size())) > 0)
        hash.addData(QByteArrayView(block.constData(), got));
    if (got < 0)
        return std::nullopt;
    return hash.result();
}

Journal::Journal(const QString& outputFolder) : folder_(QFileInfo(outputFolder).absoluteFilePath()) {
    const QString path = QDir(folder_).filePath(kFileName);
    folderLock_ = ::open(QFile::encodeName(folder_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderLock_ < 0 || ::flock(folderLock_, LOCK_EX | LOCK_NB) != 0)
        error_ = LastError();
    if (!error_)
        error_ = ReadRecords(path, records_);
    if (!error_)
        error_ = Compact(path);
    if (!error_ && (file_ = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC)) < 0)
        error_ = LastError();
}

Journal::~Journal() {
    if (file_ >= 0)
        ::close(file_);
    if (folderLock_ >= 0)
        ::close(folderLock_);  // and with it the lock
}

std::error_code Journal::Compact(const QString& path) {
    QString text = Columns().join(QLatin1Char(',')) + QLatin1Char('\n');
    for (const JournalRecord& record : records_)
        text += RecordLine(record);
    const QByteArray bytes = text.toUtf8();
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return LastError();
    return {};
}

std::error_code Journal::Error() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
}

std::optional<JournalRecord> Journal::Find(const QString& photo) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = records_.constFind(photo);
    return found == records_.cend() ? std::nullopt : std::optional<JournalRecord>(*found);
}

std::error_code Journal::Append(const JournalRecord& record) {
    if (record.stage != JournalRecord::Writing && !record.uploadDigest.isEmpty())
        if (const std::error_code error = SyncFolder(QFileInfo(QDir(folder_).filePath(record.upload)).absolutePath()))
            return error;
    const QByteArray line = RecordLine(record).toUtf8();
    std::lock_guard<std::mutex> lock(mutex_);
    if (error_)
        return error_;
    // One write a line: lines of several threads never interleave.
    if (!WriteAll(file_, line) || ::fdatasync(file_) != 0)
        return error_ = LastError();
    records_.insert(record.photo, record);
    return {};
}

Resume DecideResume(const QByteArray& sourceDigest, const QString& upload,
                    const std::optional<QByteArray>& uploadDigest, const std::optional<JournalRecord>& record) {
    if (!uploadDigest)
        return Resume::Fresh;
    if (!record || record->upload != upload || record->stage == JournalRecord::Writing ||
        record->sourceDigest != sourceDigest)
        return Resume::Redo;
    if (record->stage == JournalRecord::ByHand || *uploadDigest != record->uploadDigest)
        return Resume::SavedByHand;
    return Resume::KeptAsDone;
}

}  // namespace batch
