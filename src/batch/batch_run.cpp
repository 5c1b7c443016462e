// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/batch_run.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <map>
#include <thread>

#include "export/upload_file.h"
#include "face/face_check.h"
#include "texts/texts.h"

namespace batch {

namespace {

QString Canonical(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : canonical;
}

bool Inside(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

bool IsReport(const QString& name) {
    return name == texts::kBatchReportName + QStringLiteral(".html") ||
           name == texts::kBatchReportName + QStringLiteral(".csv");
}

}  // namespace

QString FolderProblem(const Options& options) {
    const QFileInfo input(options.input), output(options.output);
    if (!input.isDir())
        return texts::kBatchNoInput.arg(options.input);
    if (output.exists() && !output.isDir())
        return texts::kBatchOutputIsFile.arg(options.output);
    if (Inside(Canonical(options.input), Canonical(options.output)))
        return texts::kBatchOutputHoldsInput.arg(options.output);
    if (!QDir().mkpath(options.output))
        return texts::kBatchNoOutput.arg(options.output);
    return {};
}

QStringList PhotosUnder(const Options& options) {
    const QDir input(QFileInfo(options.input).absoluteFilePath());
    const QString output = Canonical(options.output);
    QStringList photos;
    // Hidden files and folders are left out, as a file manager leaves them.
    QDirIterator it(options.input, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo file = it.fileInfo();
        if (!file.isFile() || IsReport(file.fileName()) || Inside(Canonical(file.absolutePath()), output))
            continue;
        photos << input.relativeFilePath(file.absoluteFilePath());
    }
    photos.sort();
    return photos;
}

QString UploadName(const QString& photo) {
    return upload::WithJpgExtension(photo);
}

int Summary::Count(PhotoOutcome::Result result) const {
    return int(std::count_if(photos.begin(), photos.end(), [result](const PhotoOutcome& p) { return p.result == result; }));
}

Summary Run(const Options& options, workspace::Progress& control, const std::function<void(const Tick&)>& tick) {
    QElapsedTimer clock;
    clock.start();
    const QStringList photos = PhotosUnder(options);
    const QDir input(options.input), output(options.output);
    MemoryGate gate(MemoryGate::QuarterOfMemory());
    Summary summary;
    summary.total = int(photos.size());
    summary.memoryBudget = gate.Budget();
    std::vector<std::optional<PhotoOutcome>> done(photos.size());
    std::atomic<int> next{0};
    std::mutex mutex;  // for the tick, the count and the write failure
    int finished = 0;

    // Two photos may ask for one upload file, "a" and "a.jpg", or, on the
    // file systems of USB sticks, "a.JPG" and "a.jpg"; or one's upload file
    // is another's folder. The photo whose own name its upload file is keeps
    // it, the first in the order of their paths where none is.
    std::vector<QString> takenBy(photos.size());
    {
        std::map<QString, int> owner;  // upload name, case folded -> photo
        for (int pass = 0; pass < 2; ++pass)
            for (int i = 0; i < photos.size(); ++i) {
                const bool own = UploadName(photos[i]) == photos[i];
                if (own != (pass == 0))
                    continue;
                const auto [at, fresh] = owner.emplace(UploadName(photos[i]).toCaseFolded(), i);
                if (!fresh)
                    takenBy[size_t(i)] = UploadName(photos[at->second]);
            }
        for (const auto& [name, i] : owner)
            for (auto inside = owner.lower_bound(name + QLatin1Char('/'));
                 inside != owner.end() && inside->first.startsWith(name + QLatin1Char('/')); ++inside)
                takenBy[size_t(inside->second)] = UploadName(photos[i]);
    }

    const auto work = [&] {
        for (int i = next++; i < photos.size() && !control.stop; i = next++) {
            PhotoOutcome out;
            out.source = photos[i];
            const QString upload = UploadName(photos[i]);
            {
                std::lock_guard<std::mutex> lock(mutex);
                tick({finished, summary.total, photos[i], nullptr});
            }
            const QString uploadPath = output.filePath(upload);
            std::optional<PhotoOutcome> kept;
            if (!takenBy[size_t(i)].isEmpty()) {
                out.reason = texts::kBatchNameTaken.arg(takenBy[size_t(i)]);
            } else if (!options.redo && (kept = KeptPhoto(uploadPath))) {
                // Kept as it is: an interrupted run resumes where it stopped.
                out = *kept;
                out.source = photos[i];
                out.upload = upload;
            } else {
                std::optional<PhotoOutcome> worked;
                if (QDir().mkpath(QFileInfo(uploadPath).absolutePath()))
                    worked = WorkPhoto(input.filePath(photos[i]), uploadPath, gate, control);
                else
                    out.stopFailure = std::make_exception_ptr(upload::FileError(
                        upload::FileError::Step::Create, uploadPath, QStringLiteral("cannot make its folder")));
                if (worked) {
                    out = *worked;
                    out.source = photos[i];
                    if (out.bytes > 0)  // written
                        out.upload = upload;
                } else if (!out.stopFailure) {
                    continue;  // stopped part way: not done
                }
            }
            std::lock_guard<std::mutex> lock(mutex);
            if (out.stopFailure) {
                // The first upload file that cannot be written, or a missing
                // cascade, stops the run: no other photo would fare better.
                if (!summary.stopFailure)
                    summary.stopFailure = out.stopFailure;
                control.stop = true;
                continue;
            }
            done[size_t(i)] = out;
            ++finished;
            tick({finished, summary.total, photos[i], &*done[size_t(i)]});
        }
    };
    const int jobs = options.jobs > 0 ? options.jobs : std::max(1, QThread::idealThreadCount());
    // One photo a core: the face searches keep to their photo's thread.
    const face::SearchOnOneThread oneThread;
    std::vector<std::thread> workers;
    try {
        for (int j = 0; j < std::min<qsizetype>(jobs, std::max<qsizetype>(1, photos.size())); ++j)
            workers.emplace_back(work);
    } catch (...) {
        // Fewer workers than asked for do the work; none at all cannot.
        if (workers.empty())
            throw;
    }
    for (std::thread& worker : workers)
        worker.join();

    for (std::optional<PhotoOutcome>& out : done)
        if (out)
            summary.photos.push_back(std::move(*out));
    summary.stopped = control.stop && !summary.stopFailure && int(summary.photos.size()) < summary.total;
    summary.seconds = clock.nsecsElapsed() / 1e9;
    summary.memoryPeak = gate.Peak();
    return summary;
}

int ExitCode(const Summary& summary) {
    if (summary.stopFailure)
        return 2;
    if (summary.stopped)
        return 130;
    return summary.Count(PhotoOutcome::NeedsPerson) > 0 ? 1 : 0;
}

}  // namespace batch
