// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the batch's roster (`--names FILE.csv`): the file's bytes read as
// UTF-8 or GB18030, split as comma-separated text and planned against a
// class folder. The first byte of an input chooses which of eight photos
// the folder holds (one bit each), so that names are matched by path, by
// file name, without extension, across letter case and accents; the rest
// is the roster. Beyond a sanitizer report, a hang or an exception, a plan
// that names a photo the folder lacks, loses a photo, or a record that does
// not come back whole when written again, is a finding.
#include <cstddef>
#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "batch/csv.h"
#include "batch/roster.h"
#include "export/upload_file.h"
#include "fuzz_checks.h"

namespace {

// A class folder's photos: one name in two classes, a name without
// extension, a bare name that fits two files, and one name with its accent
// composed and decomposed.
QStringList FolderOf(uint8_t choice) {
    static const QStringList photos{
        QStringLiteral("一班/张三.jpg"), QStringLiteral("二班/张三.jpg"), QStringLiteral("李四.JPG"),
        QStringLiteral("王五"),          QStringLiteral("a.jpg"),         QStringLiteral("a.jpeg"),
        QStringLiteral("Café.jpg"),      QStringLiteral("CAFE\u0301.jpg")};
    QStringList folder;
    for (int i = 0; i < photos.size(); ++i)
        if (choice & (1u << i))
            folder << photos[i];
    return folder;
}

void CheckPlan(const batch::RosterPlan& plan, const QStringList& photos) {
    const bool notText = !plan.misuses.empty() && plan.misuses.front().kind == batch::RosterProblem::NotText;
    if (notText) {
        fuzz::Expect(plan.misuses.size() == 1 && plan.uploadOf.isEmpty() && plan.rowsWithoutPhoto.empty());
        return;
    }
    // Every photo either has its upload name or is told to have none.
    fuzz::Expect(plan.uploadOf.size() + plan.photosWithoutRow.size() == photos.size());
    for (auto i = plan.uploadOf.cbegin(); i != plan.uploadOf.cend(); ++i)
        fuzz::Expect(photos.contains(i.key()) && upload::WithJpgExtension(i.value()) == i.value());
    for (const batch::RosterRow& row : plan.rowsWithoutPhoto)
        fuzz::Expect(row.row >= 1 && !row.photo.isEmpty() && !row.upload.isEmpty());
    for (const batch::RosterProblem& problem : plan.misuses)
        fuzz::Expect(!problem.rows.empty() && problem.kind != batch::RosterProblem::Unreadable &&
                     problem.kind != batch::RosterProblem::NotText);
}

// Each record in order, and written again as a line it reads back whole:
// the report's own CSV is written so.
void CheckRecords(const QString& text) {
    int last = 0;
    for (const batch::CsvRecord& record : batch::SplitCsv(text)) {
        fuzz::Expect(record.row > last && !record.cells.isEmpty());
        last = record.row;
        const std::vector<batch::CsvRecord> again = batch::SplitCsv(batch::CsvLine(record.cells));
        fuzz::Expect(again.size() == 1 && again.front().cells == record.cells && again.front().ended);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QStringList photos = FolderOf(data[0]);
    const QByteArray roster = fuzz::Input(data + 1, size - 1);
    CheckPlan(batch::PlanRoster(roster, photos), photos);
    if (const std::optional<QString> text = batch::DecodeRoster(roster))
        CheckRecords(*text);
    return 0;
}
