// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/report.h"

#include <QDir>
#include <QSaveFile>
#include <QUrl>

#include "export/upload_file.h"
#include "texts/texts.h"

namespace batch {

QString ResultWord(PhotoOutcome::Result result) {
    switch (result) {
    case PhotoOutcome::Passed:
        return texts::kBatchPassed;
    case PhotoOutcome::DoneBefore:
        return texts::kBatchDoneBefore;
    case PhotoOutcome::HandSaved:
        return texts::kBatchHandSaved;
    case PhotoOutcome::NeedsPerson:
        break;
    }
    return texts::kBatchNeedsPerson;
}

QString CountsText(const Summary& summary) {
    return texts::kBatchCounts.arg(summary.photos.size())
        .arg(summary.Count(PhotoOutcome::Passed))
        .arg(summary.Count(PhotoOutcome::NeedsPerson))
        .arg(summary.Count(PhotoOutcome::DoneBefore))
        .arg(summary.Count(PhotoOutcome::HandSaved));
}

namespace {

QString Html(const QString& text) {
    return text.toHtmlEscaped();
}

QString Picture(const QByteArray& jpeg, const QString& alt) {
    if (jpeg.isEmpty())
        return {};
    return QStringLiteral("<img alt=\"%1\" src=\"data:image/jpeg;base64,%2\">")
        .arg(Html(alt), QString::fromLatin1(jpeg.toBase64()));
}

// A spreadsheet's cell: quoted where it holds a comma, a quote or a line
// end; a file name a spreadsheet would take for a formula starts with a '.
QString Cell(QString text) {
    if (!text.isEmpty() && QStringLiteral("=+-@").contains(text.front()))
        text.prepend(QLatin1Char('\''));
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

bool WriteWhole(const QString& path, const QByteArray& data, QString* error) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit())
        return true;
    *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
    return false;
}

}  // namespace

QString StopText(const Summary& summary) {
    if (!summary.stopFailure)
        return summary.stopped ? texts::kBatchStopped : QString();
    try {
        std::rethrow_exception(summary.stopFailure);
    } catch (const upload::FileError& e) {
        return texts::kBatchWriteStopped.arg(e.path(), e.reason());
    } catch (const RunRefused& e) {
        return e.text();
    } catch (...) {
    }
    return texts::WithFullStop(texts::FailureText(summary.stopFailure));
}

namespace {

// A link to the upload file, relative, so that the output folder may be
// moved or zipped; and to the source, by its full path, shown as text too.
QString Links(const PhotoOutcome& photo, const Summary& summary) {
    QString links;
    if (!photo.upload.isEmpty()) {
        QUrl relative;
        relative.setPath(photo.upload);  // a path, whatever "#" or "%" it holds
        links += QStringLiteral("<p><a href=\"%1\">%2</a></p>")
                     .arg(Html(QString::fromLatin1(relative.toEncoded())), Html(photo.upload));
    }
    const QString source = QDir(summary.input).filePath(photo.source);
    return links + QStringLiteral("<p class=\"source\">%1<a href=\"%2\">%3</a></p>")
                       .arg(Html(texts::kBatchSource), Html(QUrl::fromLocalFile(source).toString(QUrl::FullyEncoded)),
                            Html(QDir::toNativeSeparators(source)));
}

QString Cards(const Summary& summary) {
    QString cards;
    for (const PhotoOutcome& photo : summary.photos)
        if (photo.result == PhotoOutcome::NeedsPerson)
            cards += QStringLiteral("<div class=\"card\">%1<p>%2</p><p class=\"reason\">%3</p>%4</div>\n")
                         .arg(Picture(photo.picture, photo.source), Html(photo.source), Html(photo.reason),
                              Links(photo, summary));
    return cards.isEmpty() ? cards : QStringLiteral("<h2>%1</h2>\n").arg(Html(texts::kBatchCardsHeading)) + cards;
}

QString Passes(const Summary& summary) {
    QString passes;
    for (const PhotoOutcome& photo : summary.photos)
        if (photo.result != PhotoOutcome::NeedsPerson)
            passes += QStringLiteral("<div class=\"pass\">%1%2%3</div>\n")
                          .arg(Picture(photo.picture, photo.upload),
                               photo.result == PhotoOutcome::Passed ? QString() : Html(ResultWord(photo.result)),
                               Links(photo, summary));
    return passes.isEmpty() ? passes : QStringLiteral("<h2>%1</h2>\n").arg(Html(texts::kBatchPassedHeading)) + passes;
}

// The roster's rows that name no photo, and the files that are no photos.
QString Lists(const Summary& summary) {
    QString lists;
    if (!summary.rowsWithoutPhoto.empty()) {
        lists += QStringLiteral("<h2>%1</h2>\n<ul class=\"rows\">\n").arg(Html(texts::kBatchRowsHeading));
        for (const RosterRow& row : summary.rowsWithoutPhoto)
            lists += QStringLiteral("<li>%1</li>\n").arg(Html(texts::kBatchRosterRow.arg(row.row).arg(row.photo)));
        lists += QStringLiteral("</ul>\n");
    }
    if (!summary.skipped.isEmpty()) {
        lists += QStringLiteral("<h2>%1</h2>\n<ul class=\"skipped\">\n").arg(Html(texts::kBatchSkippedHeading));
        for (const QString& file : summary.skipped)
            lists += QStringLiteral("<li>%1</li>\n").arg(Html(file));
        lists += QStringLiteral("</ul>\n");
    }
    return lists;
}

}  // namespace

QString ReportPage(const Summary& summary) {
    QString page = QStringLiteral(
        "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\"><title>%1</title>\n<style>"
        "body{font-family:sans-serif;margin:1.5em;color:#222}"
        ".card{display:inline-block;vertical-align:top;width:340px;margin:0 1em 1em 0;padding:.5em;"
        "border:2px solid #e08a00;border-radius:6px}"
        ".card p,.pass p{margin:.3em 0;overflow-wrap:anywhere}.reason{color:#b00;font-weight:bold}"
        ".source{font-size:80%;color:#555}"
        ".pass{display:inline-block;vertical-align:top;width:210px;margin:0 .5em .5em 0;text-align:center;font-size:80%}"
        ".pass img{display:block;width:200px;height:280px;margin:auto}"
        "</style></head><body>\n<h1>%1</h1>\n")
                       .arg(Html(texts::kBatchReportName));
    page += QStringLiteral("<p id=\"counts\">%1</p>\n<p>%2</p>\n")
                .arg(Html(CountsText(summary)), Html(texts::kBatchTime.arg(summary.seconds, 0, 'f', 1)));
    if (summary.total == 0)
        page += QStringLiteral("<p>%1</p>\n").arg(Html(texts::kBatchEmpty));
    if (!StopText(summary).isEmpty())
        page += QStringLiteral("<p class=\"reason\">%1</p>\n").arg(Html(StopText(summary)));
    return page + Cards(summary) + Passes(summary) + Lists(summary) + QStringLiteral("</body></html>\n");
}

namespace {

// The findings a column each, in their order.
const QStringList& FindingColumns() {
    static const QStringList columns{texts::kFindingBlur,  texts::kFindingDark,   texts::kFindingBright,
                                     texts::kFindingUneven, texts::kFindingTilt,  texts::kFindingShadow,
                                     texts::kFindingBusyWall};
    return columns;
}

}  // namespace

QString ReportTable(const Summary& summary) {
    QString table = QChar(0xFEFF) + texts::kBatchCsvHeader + QLatin1Char(',') + FindingColumns().join(QLatin1Char(',')) +
                    QStringLiteral("\r\n");
    for (const PhotoOutcome& photo : summary.photos) {
        QStringList row{Cell(photo.source), ResultWord(photo.result), Cell(photo.reason), Cell(photo.upload)};
        row << (photo.quality ? QString::number(photo.quality) : QString())
            << (photo.bytes ? QString::number(photo.bytes) : QString());
        for (int side = 0; side < 3; ++side)
            row << (photo.head ? QString::number(photo.head->margin[side]) : QString());
        for (const QString& finding : FindingColumns())
            row << (photo.findings.contains(finding) ? texts::kBatchFound : QString());
        table += row.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return table;
}

QString WriteReport(const Options& options, const Summary& summary, QString* error) {
    const QDir output(options.output);
    const QString page = output.filePath(texts::kBatchReportName + QStringLiteral(".html"));
    if (!WriteWhole(page, ReportPage(summary).toUtf8(), error) ||
        !WriteWhole(output.filePath(texts::kBatchReportName + QStringLiteral(".csv")), ReportTable(summary).toUtf8(),
                    error))
        return {};
    return page;
}

}  // namespace batch
