// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/roster.h"

#include <QMultiHash>
#include <QRegularExpression>
#include <QStringDecoder>

#include <map>

#include "batch/csv.h"
#include "export/upload_file.h"
#include "photo/file_reader.h"

namespace batch {

namespace {

// Larger than any school's roster; a photo chosen by mistake is not read whole.
constexpr qint64 kLargestRoster = 8 << 20;

// Names compared as a USB stick and a person compare them: without letter
// case, and alike however their accents are composed (macOS decomposes them).
QString Folded(const QString& name) {
    return name.normalized(QString::NormalizationForm_C).toCaseFolded();
}

QString PhotoKey(QString name) {
    return Folded(name.replace(QLatin1Char('\\'), QLatin1Char('/')));
}

QString WithoutExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const qsizetype name = path.lastIndexOf(QLatin1Char('/')) + 1;
    return dot > name ? path.left(dot) : path;
}

// The photos by the four ways a cell may name one.
class PhotoIndex {
public:
    explicit PhotoIndex(const QStringList& photos) : photos_(photos) {
        for (int i = 0; i < photos.size(); ++i) {
            const QString path = PhotoKey(photos[i]);
            const QString name = path.section(QLatin1Char('/'), -1);
            byPath_.insert(path, i);
            byPathStem_.insert(WithoutExtension(path), i);
            byName_.insert(name, i);
            byNameStem_.insert(WithoutExtension(name), i);
        }
    }

    QStringList Matches(const QString& cell) const {
        const QString key = PhotoKey(cell);
        const bool path = key.contains(QLatin1Char('/'));
        QList<int> found = (path ? byPath_ : byName_).values(key);
        if (found.isEmpty())
            found = (path ? byPathStem_ : byNameStem_).values(key);
        QStringList matches;
        for (const int i : found)
            matches << photos_[i];
        matches.sort();
        return matches;
    }

private:
    const QStringList& photos_;
    QMultiHash<QString, int> byPath_, byPathStem_, byName_, byNameStem_;
};

// Every row that holds anything, its first two cells trimmed; later
// columns are the roster's own business.
std::vector<RosterRow> FilledRows(const QString& text) {
    std::vector<RosterRow> rows;
    for (const CsvRecord& record : SplitCsv(text)) {
        const RosterRow row{record.row, record.cells.value(0).trimmed(), record.cells.value(1).trimmed()};
        if (!row.photo.isEmpty() || !row.upload.isEmpty())
            rows.push_back(row);
    }
    return rows;
}

// A heading names what its column holds: a file, a photo, a name, a number.
bool LooksLikeHeading(const RosterRow& row) {
    static const QStringList chinese{QStringLiteral("文件"), QStringLiteral("照片"), QStringLiteral("相片"),
                                     QStringLiteral("图片"), QStringLiteral("姓名"), QStringLiteral("名字"),
                                     QStringLiteral("名称"), QStringLiteral("考号"), QStringLiteral("证号"),
                                     QStringLiteral("学号"), QStringLiteral("编号"), QStringLiteral("序号"),
                                     QStringLiteral("报名号")};
    static const QStringList english{QStringLiteral("file"),  QStringLiteral("filename"), QStringLiteral("photo"),
                                     QStringLiteral("picture"), QStringLiteral("image"),  QStringLiteral("name"),
                                     QStringLiteral("upload"), QStringLiteral("id")};
    static const QRegularExpression notLetter(QStringLiteral("[^a-z]+"));
    for (const QString& cell : {row.photo, row.upload}) {
        for (const QString& word : chinese)
            if (cell.contains(word))
                return true;
        for (const QString& word : cell.toLower().split(notLetter, Qt::SkipEmptyParts))
            if (english.contains(word))
                return true;
    }
    return false;
}

bool IdCheckDigitHolds(const QString& id) {
    static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += id[i].digitValue() * weights[i];
    return id[17] == QStringLiteral("10X98765432")[sum % 11];
}

using Repeats = std::map<QString, std::vector<std::pair<int, QString>>>;  // key -> (row, name)

void AddRepeats(const Repeats& repeats, RosterProblem::Kind kind, std::vector<RosterProblem>& misuses) {
    for (const auto& [key, entries] : repeats) {
        if (entries.size() < 2)
            continue;
        RosterProblem problem{kind, {}, {}};
        for (const auto& [row, name] : entries) {
            problem.rows.push_back(row);
            if (!problem.names.contains(name))
                problem.names << name;
        }
        misuses.push_back(problem);
    }
}

}  // namespace

std::optional<QString> DecodeRoster(const QByteArray& bytes, RosterEncoding* encoding) {
    for (const RosterEncoding tried : {RosterEncoding::Utf8, RosterEncoding::Gb18030}) {
        // Qt finds GB18030 through ICU; a BOM at the start is dropped.
        QStringDecoder decoder = tried == RosterEncoding::Utf8 ? QStringDecoder(QStringDecoder::Utf8)
                                                               : QStringDecoder("GB18030");
        const QString text = decoder.decode(bytes);
        if (!decoder.isValid() || decoder.hasError())
            continue;
        if (encoding)
            *encoding = tried;
        return text;
    }
    return std::nullopt;
}

bool MangledNumber(const QString& cell) {
    static const QRegularExpression scientific(QStringLiteral("^[+-]?[0-9]+(\\.[0-9]+)?[eE][+-]?[0-9]+$"));
    static const QRegularExpression longNumber(QStringLiteral("^[0-9]{15}0+$"));
    if (scientific.match(cell).hasMatch())
        return true;
    return longNumber.match(cell).hasMatch() && !(cell.size() == 18 && IdCheckDigitHolds(cell));
}

RosterPlan PlanRoster(const QByteArray& roster, const QStringList& photos) {
    RosterPlan plan;
    const std::optional<QString> text = DecodeRoster(roster, &plan.encoding);
    if (!text) {
        plan.misuses.push_back({RosterProblem::NotText, {}, {}});
        return plan;
    }
    const PhotoIndex index(photos);
    std::vector<RosterRow> rows = FilledRows(*text);
    if (!rows.empty() && index.Matches(rows.front().photo).isEmpty() && LooksLikeHeading(rows.front())) {
        rows.erase(rows.begin());
        plan.header = true;
    }
    Repeats byUpload, byPhoto;
    for (const RosterRow& row : rows) {
        if (row.photo.isEmpty() || row.upload.isEmpty()) {
            plan.misuses.push_back({RosterProblem::MissingCell, {row.row}, {row.photo + row.upload}});
            continue;
        }
        for (const QString& cell : {row.photo, row.upload})
            if (MangledNumber(cell))
                plan.misuses.push_back({RosterProblem::MangledNumber, {row.row}, {cell}});
        const QStringList matches = index.Matches(row.photo);
        if (matches.size() > 1)
            plan.misuses.push_back({RosterProblem::AmbiguousName, {row.row}, QStringList{row.photo} + matches});
        if (matches.isEmpty())
            plan.rowsWithoutPhoto.push_back(row);
        if (matches.size() != 1)
            continue;
        const QString upload = upload::WithJpgExtension(row.upload);
        plan.uploadOf.insert(matches.front(), upload);
        byPhoto[matches.front()].push_back({row.row, matches.front()});
        byUpload[Folded(upload)].push_back({row.row, row.upload});
    }
    AddRepeats(byUpload, RosterProblem::SameUpload, plan.misuses);
    AddRepeats(byPhoto, RosterProblem::PhotoNamedTwice, plan.misuses);
    for (const QString& photo : photos)
        if (!plan.uploadOf.contains(photo))
            plan.photosWithoutRow << photo;
    return plan;
}

RosterPlan PlanRosterFile(const QString& path, const QStringList& photos) {
    try {
        return PlanRoster(photo::ReadWholeFile(path, kLargestRoster), photos);
    } catch (const std::exception& e) {
        RosterPlan plan;
        plan.misuses.push_back({RosterProblem::Unreadable, {}, {path, QString::fromUtf8(e.what())}});
        return plan;
    }
}

}  // namespace batch
