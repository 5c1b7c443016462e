// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Comma-separated text as spreadsheets write it: a cell holding a comma, a
// quote or a line end is quoted, a quote inside doubled.
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace batch {

struct CsvRecord {
    int row = 0;  // as a spreadsheet numbers it: from 1, blank lines counted
    QStringList cells;
    bool ended = false;  // by a line end; the last record of a file cut short is not
};

// Every record of `text`, blank ones too. CRLF, LF or CR end a record
// outside quotes; a quote opens a quoted cell only where nothing but spaces
// came before it in the cell.
std::vector<CsvRecord> SplitCsv(QStringView text);

// One cell, quoted where it has to be.
QString CsvCell(const QString& text);

// The cells as one line, "\n" ending it.
QString CsvLine(const QStringList& cells);

}  // namespace batch
