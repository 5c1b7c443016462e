// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/batch_plan.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryFile>

#include <map>

#include "batch/file_kind.h"
#include "batch/upload_names.h"
#include "export/upload_file.h"
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

// Why a file named or made as a photo cannot be worked on; empty for a JPEG.
QString FileRefusal(const Sniffed& sniffed, const QString& path) {
    switch (sniffed.kind) {
    case FileKind::OtherFormat:
        return texts::kBatchOtherFormat.arg(sniffed.format);
    case FileKind::UnknownPhoto:
        return QFileInfo(path).size() == 0 ? texts::kBatchEmptyFile : texts::kBatchUnknownPhoto;
    case FileKind::Unreadable:
        return texts::kBatchUnreadable.arg(sniffed.error);
    case FileKind::Jpeg:
    case FileKind::NotAPhoto:
        break;
    }
    return {};
}

QString NameText(const NameProblem& problem) {
    switch (problem.kind) {
    case NameProblem::Empty:
        return texts::kNameEmpty;
    case NameProblem::ControlCharacter:
        return texts::kNameControl.arg(problem.part, QStringLiteral("U+%1").arg(problem.character.unicode(), 4, 16,
                                                                               QLatin1Char('0')));
    case NameProblem::ForbiddenCharacter:
        return texts::kNameForbidden.arg(problem.part, QString(problem.character));
    case NameProblem::EndsInDotOrSpace:
        return texts::kNameDotOrSpace.arg(problem.part);
    case NameProblem::ReservedName:
        return texts::kNameReserved.arg(problem.part);
    case NameProblem::LongerThanUsb:
        return texts::kNameLongForUsb.arg(problem.part).arg(problem.limit);
    case NameProblem::LongerThanOutput:
        return texts::kNameLongForOutput.arg(problem.part).arg(problem.limit);
    case NameProblem::PathTooLong:
        return texts::kNamePathTooLong.arg(problem.limit);
    case NameProblem::None:
        break;
    }
    return {};
}

QString Rows(const std::vector<int>& rows) {
    QStringList numbers;
    for (const int row : rows)
        numbers << QString::number(row);
    return numbers.join(QStringLiteral("、"));
}

QString RosterText(const RosterProblem& p, const QString& roster) {
    switch (p.kind) {
    case RosterProblem::Unreadable:
        return texts::kRosterUnreadable.arg(QDir::toNativeSeparators(roster), p.names.value(1));
    case RosterProblem::NotText:
        return texts::kRosterNotText.arg(QDir::toNativeSeparators(roster));
    case RosterProblem::MissingCell:
        return texts::kRosterMissingCell.arg(Rows(p.rows));
    case RosterProblem::MangledNumber:
        return texts::kRosterMangled.arg(Rows(p.rows), p.names.join(QStringLiteral("、")));
    case RosterProblem::SameUpload:
        return texts::kRosterSameUpload.arg(Rows(p.rows), p.names.join(QStringLiteral("、")));
    case RosterProblem::PhotoNamedTwice:
        return texts::kRosterPhotoTwice.arg(Rows(p.rows), p.names.value(0));
    case RosterProblem::AmbiguousName:
        return texts::kRosterAmbiguous.arg(Rows(p.rows), p.names.value(0),
                                           p.names.mid(1).join(QStringLiteral("、")));
    }
    return {};
}

// Two photos may ask for one upload file, "a" and "a.jpg", or, on the file
// systems of USB sticks, "a.JPG" and "a.jpg"; or one's upload file is
// another's folder. The photo whose own name its upload file is keeps it,
// the first in the order of their paths where none is.
void TellClashes(std::vector<PlannedPhoto>& photos) {
    std::map<QString, size_t> owner;  // upload name, case folded -> photo
    for (int pass = 0; pass < 2; ++pass)
        for (size_t i = 0; i < photos.size(); ++i) {
            PlannedPhoto& photo = photos[i];
            if (!photo.refusal.isEmpty() || (photo.upload == photo.source) != (pass == 0))
                continue;
            const auto [at, fresh] = owner.emplace(photo.upload.toCaseFolded(), i);
            if (!fresh)
                photo.refusal = texts::kBatchNameTaken.arg(photos[at->second].upload);
        }
    for (const auto& [name, i] : owner)
        for (auto inside = owner.lower_bound(name + QLatin1Char('/'));
             inside != owner.end() && inside->first.startsWith(name + QLatin1Char('/')); ++inside)
            photos[inside->second].refusal = texts::kBatchNameTaken.arg(photos[i].upload);
}

// The roster's names in place of the photos' own, at the top of the output
// folder; a photo it does not name is not written.
bool NameByRoster(const Options& options, Plan& plan, QString* misuse) {
    QStringList sources;
    for (const PlannedPhoto& photo : plan.photos)
        sources << photo.source;
    const RosterPlan roster = PlanRosterFile(options.names, sources);
    if (!roster.misuses.empty()) {
        QStringList lines{texts::kRosterMisuse};
        for (const RosterProblem& problem : roster.misuses)
            lines << RosterText(problem, options.names);
        *misuse = lines.join(QLatin1Char('\n'));
        return false;
    }
    for (PlannedPhoto& photo : plan.photos) {
        photo.upload = roster.uploadOf.value(photo.source);
        if (photo.upload.isEmpty() && photo.refusal.isEmpty())
            photo.refusal = texts::kBatchNotInRoster;
    }
    plan.rowsWithoutPhoto = roster.rowsWithoutPhoto;
    return true;
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
    QTemporaryFile trial(QDir(options.output).filePath(QStringLiteral(".exam-photo-XXXXXX")));
    if (!trial.open())
        return texts::kBatchOutputUnwritable.arg(options.output, trial.errorString());
    return {};
}

QStringList FilesUnder(const Options& options) {
    const QDir input(QFileInfo(options.input).absoluteFilePath());
    const QString output = Canonical(options.output);
    QStringList files;
    // Hidden files and folders are left out, as a file manager leaves them.
    QDirIterator it(options.input, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo file = it.fileInfo();
        if (!file.isFile() || IsReport(file.fileName()) || Inside(Canonical(file.absolutePath()), output))
            continue;
        files << input.relativeFilePath(file.absoluteFilePath());
    }
    files.sort();
    return files;
}

QString UploadName(const QString& photo) {
    return upload::WithJpgExtension(photo);
}

Plan PlanRun(const Options& options, QString* misuse) {
    Plan plan;
    const QDir input(options.input);
    for (const QString& file : FilesUnder(options)) {
        const Sniffed sniffed = SniffFile(input.filePath(file));
        if (sniffed.kind == FileKind::NotAPhoto)
            plan.skipped << file;
        else
            plan.photos.push_back({file, UploadName(file), FileRefusal(sniffed, input.filePath(file))});
    }
    if (!options.names.isEmpty() && !NameByRoster(options, plan, misuse))
        return {};
    // Names a USB stick or the output cannot hold are told before any write.
    const NameLimits limits = LimitsOf(QFileInfo(options.output).absoluteFilePath());
    for (PlannedPhoto& photo : plan.photos)
        if (photo.refusal.isEmpty())
            photo.refusal = NameText(UploadPathProblem(photo.upload, limits));
    if (options.names.isEmpty())
        TellClashes(plan.photos);
    return plan;
}

}  // namespace batch
