// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The report of a batch run, in the output folder: a page a teacher reads at
// a glance (批量处理报告.html, one file, its pictures in it, opened offline by
// any browser) and the same rows for a spreadsheet (批量处理报告.csv, UTF-8
// with a byte-order mark so that the Chinese shows).
#include <QString>

#include "batch/batch_run.h"

namespace batch {

// The report's page and table as text.
QString ReportPage(const Summary& summary);
QString ReportTable(const Summary& summary);

// Writes both, each whole or not at all; the path of the page, or an empty
// string and `error` set.
QString WriteReport(const Options& options, const Summary& summary, QString* error);

// What stopped the run, in the user's words; empty where nothing did.
QString StopText(const Summary& summary);

// A photo's result, and the counts of a run, in the words of the report.
QString ResultWord(PhotoOutcome::Result result);
QString CountsText(const Summary& summary);

}  // namespace batch
