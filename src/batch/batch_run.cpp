// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/batch_run.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "batch/journal.h"
#include "export/upload_file.h"
#include "face/face_check.h"
#include "photo/file_reader.h"
#include "texts/texts.h"

namespace batch {

namespace {

// What the workers share: the run's folders, its journal, the memory bound
// and the stop.
struct Shared {
    const Options& options;
    Journal& journal;
    MemoryGate& gate;
    workspace::Progress& control;
};

// A journal that takes no more records stops the run: what it would have
// kept could not be trusted by the next.
void Record(Shared& run, const JournalRecord& record, PhotoOutcome& out) {
    if (const std::error_code error = run.journal.Append(record))
        out.stopFailure = std::make_exception_ptr(upload::FileError(
            upload::FileError::Step::Write, QDir(run.options.output).filePath(Journal::kFileName),
            QString::fromStdString(error.message()), error.value()));
}

// The whole upload file at `path`, or nothing where none is there.
QByteArray WholeUpload(const QString& path) {
    try {
        const QByteArray file = photo::ReadWholeFile(path, 1 << 20);
        return upload::IsUploadFile(file) ? file : QByteArray();
    } catch (const std::exception&) {
        return {};
    }
}

// The photo worked anew: the journal says so before and after, so that a
// run killed on the way never takes its upload for one saved by hand.
std::optional<PhotoOutcome> Anew(Shared& run, const PlannedPhoto& planned, const QByteArray& source, bool redo) {
    const QString uploadPath = QDir(run.options.output).filePath(planned.upload);
    PhotoOutcome out;
    if (redo)
        QFile::remove(uploadPath);  // one that needs a person now leaves no old upload behind
    const QString folder = QFileInfo(uploadPath).absolutePath();
    if (!QDir().mkpath(folder)) {
        out.reason = texts::kBatchCannotMakeFolder.arg(QDir::toNativeSeparators(folder));
        return out;
    }
    Record(run, {planned.source, planned.upload, JournalRecord::Writing, source, {}}, out);
    if (out.stopFailure)
        return out;
    std::optional<PhotoOutcome> worked =
        WorkPhoto(QDir(run.options.input).filePath(planned.source), uploadPath, run.gate, run.control);
    if (!worked || worked->stopFailure)
        return worked;
    const QByteArray written = worked->bytes > 0 ? DigestOfFile(uploadPath).value_or(QByteArray()) : QByteArray();
    Record(run, {planned.source, planned.upload, JournalRecord::Written, source, written}, *worked);
    if (worked->bytes > 0)
        worked->upload = planned.upload;
    return worked;
}

// One planned photo: told before any read, kept, left as saved by hand, or
// worked anew; nothing where a stop came before it was done.
std::optional<PhotoOutcome> Take(Shared& run, const PlannedPhoto& planned) {
    PhotoOutcome out;
    out.reason = planned.refusal;
    if (!planned.refusal.isEmpty())
        return out;
    const QString sourcePath = QDir(run.options.input).filePath(planned.source);
    const std::optional<QByteArray> source = DigestOfFile(sourcePath);
    if (!source) {
        QFile file(sourcePath);
        file.open(QIODevice::ReadOnly);
        out.reason = texts::kBatchUnreadable.arg(file.errorString());
        return out;
    }
    const QByteArray kept = WholeUpload(QDir(run.options.output).filePath(planned.upload));
    const std::optional<JournalRecord> record = run.journal.Find(planned.source);
    Resume resume = DecideResume(*source, planned.upload,
                                 kept.isEmpty() ? std::nullopt : std::optional<QByteArray>(DigestOf(kept)), record);
    if (run.options.redo && resume == Resume::KeptAsDone)
        resume = Resume::Redo;
    if (resume == Resume::KeptAsDone) {
        out = KeptPhoto(kept);
    } else if (resume == Resume::SavedByHand) {
        out.result = PhotoOutcome::HandSaved;
        out.reason.clear();
        out.picture = kept;
        out.bytes = int(kept.size());
        if (record->stage != JournalRecord::ByHand)
            Record(run, {planned.source, planned.upload, JournalRecord::ByHand, *source, DigestOf(kept)}, out);
    } else {
        return Anew(run, planned, *source, resume == Resume::Redo);
    }
    out.upload = planned.upload;
    return out;
}

// The workers' loop: each takes the next photo until none is left or the
// run stops; the first failure that stops the run is kept.
void Work(Shared& run, const Plan& plan, Summary& summary, std::vector<std::optional<PhotoOutcome>>& done,
          std::atomic<int>& next, std::mutex& mutex, const std::function<void(const Tick&)>& tick, int& finished) {
    for (int i = next++; i < int(plan.photos.size()) && !run.control.stop; i = next++) {
        const PlannedPhoto& planned = plan.photos[size_t(i)];
        {
            std::lock_guard<std::mutex> lock(mutex);
            tick({finished, summary.total, planned.source, nullptr});
        }
        std::optional<PhotoOutcome> out = Take(run, planned);
        if (!out)
            continue;  // stopped part way: not done
        out->source = planned.source;
        std::lock_guard<std::mutex> lock(mutex);
        if (out->stopFailure) {
            if (!summary.stopFailure)
                summary.stopFailure = out->stopFailure;
            run.control.stop = true;
            continue;
        }
        done[size_t(i)] = std::move(out);
        ++finished;
        tick({finished, summary.total, planned.source, &*done[size_t(i)]});
    }
}

// The output folder's journal, or why the run cannot keep one.
QString JournalProblem(const Journal& journal, const Options& options) {
    const std::error_code error = journal.Error();
    if (!error)
        return {};
    const QString folder = QDir::toNativeSeparators(options.output);
    if (error == std::errc::operation_would_block)
        return texts::kBatchLocked.arg(folder);
    return texts::kBatchNoJournal.arg(folder, QString::fromStdString(error.message()));
}

// Starts the workers, one photo a core unless told otherwise, and waits.
void RunWorkers(int jobs, int photos, const std::function<void()>& work) {
    // One photo a core: the face searches keep to their photo's thread.
    const face::SearchOnOneThread oneThread;
    std::vector<std::thread> workers;
    try {
        for (int j = 0; j < std::min(jobs, std::max(1, photos)); ++j)
            workers.emplace_back(work);
    } catch (...) {
        // Fewer workers than asked for do the work; none at all cannot.
        if (workers.empty())
            throw;
    }
    for (std::thread& worker : workers)
        worker.join();
}

}  // namespace

int Summary::Count(PhotoOutcome::Result result) const {
    return int(std::count_if(photos.begin(), photos.end(), [result](const PhotoOutcome& p) { return p.result == result; }));
}

Summary Run(const Options& options, const Plan& plan, workspace::Progress& control,
            const std::function<void(const Tick&)>& tick) {
    QElapsedTimer clock;
    clock.start();
    Summary summary;
    summary.total = int(plan.photos.size());
    summary.skipped = plan.skipped;
    summary.rowsWithoutPhoto = plan.rowsWithoutPhoto;
    summary.input = QFileInfo(options.input).absoluteFilePath();
    summary.output = QFileInfo(options.output).absoluteFilePath();
    Journal journal(options.output);
    if (const QString problem = JournalProblem(journal, options); !problem.isEmpty()) {
        summary.stopFailure = std::make_exception_ptr(RunRefused(problem));
        return summary;
    }
    MemoryGate gate(MemoryGate::QuarterOfMemory());
    summary.memoryBudget = gate.Budget();
    Shared run{options, journal, gate, control};
    std::vector<std::optional<PhotoOutcome>> done(plan.photos.size());
    std::atomic<int> next{0};
    std::mutex mutex;  // for the tick, the count and the failure that stops the run
    int finished = 0;
    const int jobs = options.jobs > 0 ? options.jobs : std::max(1, QThread::idealThreadCount());
    RunWorkers(jobs, summary.total, [&] { Work(run, plan, summary, done, next, mutex, tick, finished); });
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
    return summary.Count(PhotoOutcome::NeedsPerson) > 0 || !summary.rowsWithoutPhoto.empty() ? 1 : 0;
}

}  // namespace batch
