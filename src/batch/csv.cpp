// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/csv.h"

namespace batch {

namespace {

bool LineEnd(QChar c) {
    return c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

}  // namespace

std::vector<CsvRecord> SplitCsv(QStringView text) {
    std::vector<CsvRecord> records;
    CsvRecord record{1, {}, false};
    QString cell;
    bool quoted = false, opened = false;  // opened: the cell had its quotes
    bool blank = true;  // the cell holds nothing but spaces yet: known, not scanned again at each quote
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c != QLatin1Char('"'))
                cell += c;
            else if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"'))
                cell += text[++i];
            else
                quoted = false;
        } else if (c == QLatin1Char('"') && !opened && blank) {
            quoted = opened = true;
            cell.clear();
        } else if (c == QLatin1Char(',')) {
            record.cells << cell;
            cell.clear();
            opened = false;
            blank = true;
        } else if (LineEnd(c)) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            record.cells << cell;
            record.ended = true;
            records.push_back(record);
            record = CsvRecord{record.row + 1, {}, false};
            cell.clear();
            opened = false;
            blank = true;
        } else {
            cell += c;
            blank = blank && c.isSpace();
        }
    }
    if (!cell.isEmpty() || opened || !record.cells.isEmpty()) {
        record.cells << cell;
        records.push_back(record);
    }
    return records;
}

QString CsvCell(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString CsvLine(const QStringList& cells) {
    QStringList quoted;
    for (const QString& cell : cells)
        quoted << CsvCell(cell);
    return quoted.join(QLatin1Char(',')) + QLatin1Char('\n');
}

}  // namespace batch
