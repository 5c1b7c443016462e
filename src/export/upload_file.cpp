// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/upload_file.h"

#include <cerrno>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <chrono>
#include <random>

namespace upload {

FileError::FileError(Step step, const QString& fileName, const QString& reason, int code)
    : std::runtime_error("upload file " + fileName.toStdString() + ": " + reason.toStdString()),
      step_(step),
      path_(QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath())),
      reason_(reason),
      code_(code) {}

bool FileError::OutOfSpace() const {
    return code_ == ENOSPC || code_ == EDQUOT || code_ == EFBIG;
}

namespace {

constexpr int kTagDigits = 8;
constexpr int kLargestDraw = 99999999;

// A write that stops part way (the disk filled up in the middle of it)
// returns a short count without an error; the rest is written again, so that
// the write that fails sets the system's reason.
bool WriteAll(QIODevice& device, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const qint64 written = device.write(data.constData() + done, data.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

}  // namespace

void WriteUploadFile(const QString& fileName, const QByteArray& jpeg) {
    QSaveFile file(fileName);
    file.setDirectWriteFallback(true);
    // Unbuffered: every write reaches the file at once, so a failure is seen
    // where it happens and no pending bytes stand in the way of emptying a
    // file written in place.
    // The system's error number is taken right after the call that failed,
    // before anything else can set it.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const int code = errno;
        throw FileError(FileError::Step::Create, fileName, file.errorString(), code);
    }
    if (!WriteAll(file, jpeg) || !AddtoFile(file)) {
        const int code = errno;
        const QString reason = file.errorString();
        // Written in place there is no old file left to keep: leave it empty
        // rather than half written. With a temporary file this only touches
        // the temporary, which is discarded.
        file.resize(0);
        file.cancelWriting();
        throw FileError(FileError::Step::Write, fileName, reason, code);
    }
    if (!file.commit()) {
        const int code = errno;
        throw FileError(FileError::Step::Write, fileName, file.errorString(), code);
    }
}

QString UploadTagFor(int n) {
    if (n < 1 || n > kLargestDraw)
        throw std::out_of_range("upload tag draw out of range");
    const QString digits = QString::number(n).leftJustified(kTagDigits, QLatin1Char('0'));
    int sum = 0;
    for (const QChar c : digits)
        sum += c.digitValue();
    return digits + QString::number(sum % 10);
}

bool IsUploadFile(const QByteArray& file) {
    if (file.size() < 4 + kTagLength || !file.startsWith("\xFF\xD8") || !file.chopped(kTagLength).endsWith("\xFF\xD9"))
        return false;
    const QByteArray tag = file.right(kTagLength);
    int sum = 0;
    for (const char c : tag)
        if (c < '0' || c > '9')
            return false;
    for (int i = 0; i < kTagDigits; ++i)
        sum += tag[i] - '0';
    // The draw is never 0, so the tag never starts with one.
    return tag[0] != '0' && tag[kTagDigits] - '0' == sum % 10;
}

QString MakeUploadTag() {
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    const auto seed = static_cast<unsigned long long>(ticks);
    std::seed_seq seq{static_cast<unsigned>(seed), static_cast<unsigned>(seed >> 32)};
    std::mt19937 generator(seq);
    std::uniform_int_distribution<int> draw(0, kLargestDraw - 1);
    return UploadTagFor(draw(generator) + 1);
}

QString WithJpgExtension(const QString& fileName) {
    qsizetype dot = -1;
    for (qsizetype i = fileName.size() - 1; i >= 0; --i) {
        const QChar c = fileName.at(i);
        if (c == QLatin1Char('.')) {
            dot = i;
            break;
        }
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':'))
            break;
    }
    QString extension = dot < 0 ? QString() : fileName.mid(dot);
    for (QChar& c : extension) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    }
    if (extension == QLatin1String(".JPG"))
        return fileName;
    return fileName + QStringLiteral(".jpg");
}

bool AddtoFile(QIODevice& file) {
    const QByteArray tag = MakeUploadTag().toLatin1();
    if (!file.isSequential() && !file.seek(file.size()))
        return false;
    return WriteAll(file, tag);
}

}  // namespace upload
