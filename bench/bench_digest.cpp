// SPDX-License-Identifier: GPL-3.0-or-later
// What resuming by content costs a class: the digests of 60 photos of
// 12 MP, the journal's records and the roster, each beside the decode of one
// such photo, measured in the same run. Not a test: nothing passes or fails.
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "batch/journal.h"
#include "batch/roster.h"
#include "bench/best_of.h"
#include "export/jpeg_encoder.h"
#include "photo/file_reader.h"
#include "photo/jpeg_decoder.h"

namespace {

constexpr int kClass = 60;

// A phone's 12 MP photo: grain everywhere, so it encodes to several MB.
QByteArray PhoneJpeg() {
    QImage photo(4000, 3000, QImage::Format_RGB888);
    QRandomGenerator grain(7);
    for (int y = 0; y < photo.height(); ++y) {
        uchar* line = photo.scanLine(y);
        for (int x = 0; x < 3 * photo.width(); ++x)
            line[x] = uchar((x / 3 + y) / 30 + grain.bounded(48));
    }
    return upload::EncodeJpeg(photo, 92);
}

double HashMs(const QStringList& files, QCryptographicHash::Algorithm algorithm) {
    return BestMs([&] {
        for (const QString& file : files) {
            QCryptographicHash hash(algorithm);
            hash.addData(photo::ReadWholeFile(file));
            hash.result();
        }
    });
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QByteArray jpeg = PhoneJpeg();
    QStringList files, names;
    QByteArray roster;
    for (int i = 0; i < kClass; ++i) {
        names << QStringLiteral("考生%1.jpg").arg(i);
        files << dir.filePath(names.back());
        QFile file(files.back());
        file.open(QIODevice::WriteOnly);
        file.write(jpeg);
        roster += QStringLiteral("考生%1,1101011990030700%2\r\n").arg(i).arg(i, 2, 10, QLatin1Char('0')).toUtf8();
    }
    const double mb = kClass * jpeg.size() / 1e6;
    const double decode = BestMs([&] { photo::DecodeJpeg(jpeg); });
    const double read = BestMs([&] { for (const QString& file : files) photo::ReadWholeFile(file); });
    const double blake = BestMs([&] { for (const QString& file : files) batch::DigestOfFile(file); });
    const double sha256 = HashMs(files, QCryptographicHash::Sha256);
    const double blakeRead = HashMs(files, QCryptographicHash::Blake2b_256);
    const double plan = BestMs([&] { batch::PlanRoster(roster, names); });
    batch::Journal journal(dir.path());
    const double append = BestMs([&] {
        // As a run records a photo it writes: before the write, then after it.
        for (const QString& name : names) {
            const QByteArray source = batch::DigestOf(name.toUtf8());
            journal.Append({name, name, batch::JournalRecord::Writing, source, {}});
            journal.Append({name, name, batch::JournalRecord::Written, source, source});
        }
    }, 1);
    std::printf("one 12 MP photo: %.1f MB, its decode %.0f ms (the yardstick)\n", jpeg.size() / 1e6, decode);
    std::printf("class of %d (%.0f MB), page cache warm:\n", kClass, mb);
    std::printf("  read whole           %6.0f ms  %5.0f MB/s\n", read, mb / read * 1e3);
    std::printf("  BLAKE2b-256 by block %6.0f ms  %5.0f MB/s  = %.2f decodes, %.1f ms a photo\n", blake, mb / blake * 1e3,
                blake / decode, blake / kClass);
    std::printf("  read + BLAKE2b-256   %6.0f ms  %5.0f MB/s\n", blakeRead, mb / blakeRead * 1e3);
    std::printf("  read + SHA-256       %6.0f ms  %5.0f MB/s\n", sha256, mb / sha256 * 1e3);
    std::printf("  journal, %d photos   %6.0f ms  %5.1f ms a photo (two records on the disk)\n", kClass, append, append / kClass);
    std::printf("  roster of %d rows    %6.2f ms\n", kClass, plan);
    return 0;
}
