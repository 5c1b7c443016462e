// SPDX-License-Identifier: GPL-3.0-or-later
// Batch work through the real program: a folder of portraits, refusals and
// hostile files in, upload photos and a report out.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

#include "heads.h"
#include "batch/console.h"
#include "batch/report.h"
#include "export/jpeg_encoder.h"
#include "photo/file_reader.h"
#include "export/upload_file.h"
#include "texts/texts.h"
#include "ui/scripted_dialogs.h"
#include "ui/window/main_window.h"

namespace {

QString Data(const char* name) {
    return QStringLiteral(EXAM_TESTDATA_DIR "/") + QLatin1String(name);
}

void Put(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

void PutPortrait(const QString& path, QSize size, int width, heads::Look look) {
    Put(path, upload::EncodeJpeg(heads::MakePortrait(size, size.width() / 2, size.height() / 5, width, look).photo, 95));
}

struct Ran {
    int code = -1;
    QString out;  // standard error
};

Ran RunBatch(const QStringList& arguments, std::function<void(QProcess&)> meanwhile = {}) {
    QProcess program;
    program.start(QStringLiteral(EXAM_PROGRAM), QStringList{QStringLiteral("--batch")} + arguments);
    if (meanwhile)
        meanwhile(program);
    program.waitForFinished(300000);
    return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
            QString::fromUtf8(program.readAllStandardError())};
}

// The report's rows: file -> its cells.
QMap<QString, QStringList> Rows(const QString& output) {
    QByteArray table = photo::ReadWholeFile(output + QStringLiteral("/批量处理报告.csv"));
    QMap<QString, QStringList> rows;
    if (!table.startsWith("\xEF\xBB\xBF"))
        return rows;
    const QStringList lines = QString::fromUtf8(table.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (const QString& line : lines.mid(1))
        rows.insert(line.section(QLatin1Char(','), 0, 0), line.split(QLatin1Char(',')).mid(1));
    return rows;
}

// A head too small for the frame even at twice its size: told by its side.
const QString kTinyHead = texts::kBatchHeadMisplaced.arg(texts::kHeadFar[1]);

// The upload photo the window itself gives, through its own handlers: read,
// double-click, crop, save as.
QByteArray ByTheWindow(const QString& path) {
    QTemporaryDir saved;
    auto* user = new ScriptedDialogs;
    TForm1 form{std::unique_ptr<UserDialogs>(user)};
    const auto settled = [&form] {
        return QTest::qWaitFor([&form] { return !form.findChild<LongStep*>()->Running(); }, 60000);
    };
    form.ReadPhotoFile(path);
    settled();
    form.Image1DblClick(Qt::LeftButton, {}, 1, 1);
    form.RzBmpButton3Click();
    user->saveAnswers = {saved.filePath(QStringLiteral("upload"))};
    form.RzBmpBtnSaveClick();
    settled();
    return photo::ReadWholeFile(saved.filePath(QStringLiteral("upload.jpg"))).chopped(9);
}

}  // namespace

class TestBatch : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString in = dir.filePath(QStringLiteral("班级 照片"));

private slots:
    void initTestCase() {
        PutPortrait(in + QStringLiteral("/王 小明.jpg"), {360, 480}, 140, heads::kBlondOnWhite);
        PutPortrait(in + QStringLiteral("/二班/li.JPG"), {500, 600}, 200, heads::kBrownOnRed);
        PutPortrait(in + QStringLiteral("/zhao"), {400, 520}, 160, heads::kDarkOnBlue);
        PutPortrait(in + QStringLiteral("/tiny.jpg"), {300, 400}, 38, heads::kDarkOnBlue);
        PutPortrait(in + QStringLiteral("/close.jpg"), {300, 400}, 270, heads::kDarkOnBlue);
        PutPortrait(in + QStringLiteral("/shadow.jpg"), {400, 520}, 160, {heads::kBrightWhite, heads::kDark, 0, 0, 1});
        PutPortrait(in + QStringLiteral("/.hidden.jpg"), {400, 520}, 160, heads::kDarkOnBlue);
        Put(in + QStringLiteral("/批量处理报告.csv"), "a report of another run");
        Put(in + QStringLiteral("/empty.jpg"), {});
        // What a class's folder also holds: the class list, system files, a
        // phone's HEIC photo, names a USB stick cannot take.
        Put(in + QStringLiteral("/名单.xlsx"), QByteArray("PK\x03\x04", 4) + QByteArray(200, 'x'));
        Put(in + QStringLiteral("/Thumbs.db"), QByteArray(600, '\xD0'));
        Put(in + QStringLiteral("/desktop.ini"), "[.ShellClassInfo]\r\n");
        Put(in + QStringLiteral("/手机.heic"), QByteArray("\0\0\0\x18" "ftypheic\0\0\0\0mif1heic", 24) + QByteArray(300, '\1'));
        PutPortrait(in + QStringLiteral("/a:b.jpg"), {400, 520}, 160, heads::kDarkOnBlue);
        PutPortrait(in + QLatin1Char('/') + QString(84, QChar(0x957F)), {400, 520}, 160, heads::kDarkOnBlue);
        for (const char* name : {"workflow/no_face.jpg", "workflow/not_a_jpeg.jpg", "workflow/small.jpg",
                                 "hostile/scans_2500.jpg", "workflow/studio_blue.jpg"})
            Put(in + QStringLiteral("/") + QFileInfo(Data(name)).fileName(), photo::ReadWholeFile(Data(name)));
    }

    // Each photo's row says what the window would say; the upload files
    // are the window's own (its handlers, offscreen), byte for byte in their
    // JPEG data.
    void folder() {
        const QString out = dir.filePath(QStringLiteral("out"));
        const Ran ran = RunBatch({in, out});
        QCOMPARE(ran.code, 1);
        const QMap<QString, QStringList> rows = Rows(out);
        const QString longName = QString(84, QChar(0x957F));
        const QMap<QString, QString> reasons{
            {"王 小明.jpg", ""}, {"二班/li.JPG", ""}, {"zhao", ""}, {"tiny.jpg", kTinyHead},
            {"close.jpg", texts::kBatchNoRoom}, {"shadow.jpg", texts::kBatchFindings.arg(texts::kFindingShadow)}, {"studio_blue.jpg", texts::kBatchHeadUnsure.arg(texts::kHeadDoubtObject)},
            {"empty.jpg", texts::kBatchEmptyFile}, {"not_a_jpeg.jpg", texts::kBatchOtherFormat.arg("PNG")},
            {"手机.heic", texts::kBatchOtherFormat.arg("HEIC")}, {"scans_2500.jpg", texts::kTeacherNotAJpeg},
            {"no_face.jpg", texts::kTeacherNoFace}, {"small.jpg", texts::kTeacherTooSmall},
            {"a:b.jpg", texts::kNameForbidden.arg("a:b.jpg", ":")},
            {longName, texts::kNameLongForOutput.arg(longName + ".jpg").arg(255)}};
        QCOMPARE(QStringList(rows.keys()), QStringList(reasons.keys()));
        for (auto row = rows.begin(); row != rows.end(); ++row) {
            QCOMPARE(row.value().value(1), reasons.value(row.key()));
            QCOMPARE(row.value().value(0), reasons.value(row.key()).isEmpty() ? texts::kBatchPassed : texts::kBatchNeedsPerson);
            const QString upload = row.value().value(2);
            const QString reason = reasons.value(row.key());
            QCOMPARE(upload.isEmpty(), !reason.isEmpty() && !reason.startsWith(QStringLiteral("已保存")));
            if (upload.isEmpty())
                continue;
            QCOMPARE(upload, row.key().endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive) ? row.key() : row.key() + ".jpg");
            const QByteArray file = photo::ReadWholeFile(out + QLatin1Char('/') + upload);
            QVERIFY(upload::IsUploadFile(file));
            QCOMPARE(file.chopped(9), ByTheWindow(in + QLatin1Char('/') + row.key()));
            QCOMPARE(row.value().value(4).toInt(), file.size());
        }
        // A finding's column says so: the shadow's is the table's last but one.
        QCOMPARE(rows.value(QStringLiteral("shadow.jpg")).value(13), texts::kBatchFound);
        QCOMPARE(rows.value(QStringLiteral("zhao")).value(13), QString());
        // The page has the table's rows: a card for each that needs a person, a
        // picture for each that passed, and their counts.
        int cards = 0;
        for (const QStringList& row : rows)
            cards += row.value(0) == texts::kBatchNeedsPerson;
        const QString page = QString::fromUtf8(photo::ReadWholeFile(out + QStringLiteral("/批量处理报告.html")));
        QCOMPARE(page.count(QStringLiteral("class=\"card\"")), cards);
        QCOMPARE(page.count(QStringLiteral("class=\"pass\"")), rows.size() - cards);
        QVERIFY(page.contains(texts::kBatchCounts.arg(rows.size()).arg(rows.size() - cards).arg(cards).arg(0).arg(0)));
        // The files that are no photos: listed once, not counted.
        for (const char* skipped : {"名单.xlsx", "Thumbs.db", "desktop.ini"})
            QCOMPARE(page.count(QStringLiteral("<li>%1</li>").arg(skipped)), 1);
        QCOMPARE(ran.out.count(QLatin1Char('\n')), rows.size() + 1);  // a line a photo, then the counts
    }

    // A second run keeps what is there, made from the same bytes: a kept
    // photo judged as when it was made, one saved by hand left alone. A
    // replaced photo, or a file left empty, is made anew; --redo makes all
    // anew but those saved by hand.
    void resume() {
        const QString out = dir.filePath(QStringLiteral("again"));
        RunBatch({in, out});
        const QMap<QString, QStringList> before = Rows(out);
        const QByteArray first = photo::ReadWholeFile(out + QStringLiteral("/zhao.jpg"));
        const QByteArray li = photo::ReadWholeFile(out + QStringLiteral("/二班/li.JPG"));
        QFile(out + QStringLiteral("/王 小明.jpg")).resize(0);
        PutPortrait(in + QStringLiteral("/二班/li.JPG"), {500, 600}, 190, heads::kBrownOnRed);
        QByteArray byHand = photo::ReadWholeFile(out + QStringLiteral("/close.jpg")).chopped(9) + "100000001";
        Put(out + QStringLiteral("/close.jpg"), byHand);
        QCOMPARE(RunBatch({in, out}).code, 1);
        QMap<QString, QStringList> rows = Rows(out);
        QCOMPARE(rows.value(QStringLiteral("zhao")).value(0), texts::kBatchDoneBefore);
        for (const char* kept : {"tiny.jpg", "studio_blue.jpg"})
            QCOMPARE(rows.value(kept).value(1), before.value(kept).value(1));
        QCOMPARE(rows.value(QStringLiteral("close.jpg")).value(0), texts::kBatchHandSaved);
        for (const char* anew : {"王 小明.jpg", "二班/li.JPG"})
            QCOMPARE(rows.value(anew).value(0), texts::kBatchPassed);
        QVERIFY(photo::ReadWholeFile(out + QStringLiteral("/二班/li.JPG")).chopped(9) != li.chopped(9));
        QCOMPARE(photo::ReadWholeFile(out + QStringLiteral("/zhao.jpg")), first);
        QCOMPARE(RunBatch({in, out, QStringLiteral("--redo"), QStringLiteral("--jobs"), QStringLiteral("1")}).code, 1);
        rows = Rows(out);
        QCOMPARE(rows.value(QStringLiteral("zhao")).value(0), texts::kBatchPassed);
        QCOMPARE(rows.value(QStringLiteral("close.jpg")).value(0), texts::kBatchHandSaved);
        QCOMPARE(photo::ReadWholeFile(out + QStringLiteral("/zhao.jpg")).chopped(9), first.chopped(9));
        QCOMPARE(photo::ReadWholeFile(out + QStringLiteral("/close.jpg")), byHand);
    }

    // A roster names the uploads at the top of the output folder, read in
    // GB18030 as spreadsheets on Chinese systems save it: a photo it does
    // not name is not written, a row without a photo is told. Two rows for
    // one upload name stop the run before any photo is read.
    void roster() {
        QTemporaryDir out, lists;
        const QString names = lists.filePath(QStringLiteral("名单.csv"));
        QStringEncoder gb18030("GB18030");
        Put(names, gb18030(QStringLiteral("照片,准考证号\r\n王 小明,110101\r\nzhao,张三\r\n赵六,120\r\n")));
        const Ran ran = RunBatch({in, out.path(), QStringLiteral("--names"), names});
        QCOMPARE(ran.code, 1);
        const QMap<QString, QStringList> rows = Rows(out.path());
        QCOMPARE(rows.value(QStringLiteral("王 小明.jpg")).value(2), QStringLiteral("110101.jpg"));
        QCOMPARE(rows.value(QStringLiteral("zhao")).value(2), QStringLiteral("张三.jpg"));
        QVERIFY(upload::IsUploadFile(photo::ReadWholeFile(out.filePath(QStringLiteral("张三.jpg")))));
        QCOMPARE(rows.value(QStringLiteral("tiny.jpg")).value(1), texts::kBatchNotInRoster);
        QVERIFY(ran.out.contains(texts::kBatchRosterRow.arg(4).arg(QStringLiteral("赵六"))));
        Put(names, "王 小明,A1\nzhao,a1\n");
        const Ran twice = RunBatch({in, out.path(), QStringLiteral("--names"), names});
        QCOMPARE(twice.code, 2);
        QVERIFY2(twice.out.contains(texts::kRosterSameUpload.arg(QStringLiteral("1、2"), QStringLiteral("A1、a1"))),
                 qPrintable(twice.out));
    }

    // The output folder may lie inside the input, and is then never read.
    // "A" would be saved as "A.jpg", which is "a.jpg" on a USB stick: the
    // photo of that name keeps it.
    void outputInsideInput() {
        QTemporaryDir inside;
        PutPortrait(inside.filePath(QStringLiteral("a.jpg")), {400, 520}, 160, heads::kDarkOnBlue);
        QVERIFY(QFile::copy(inside.filePath(QStringLiteral("a.jpg")), inside.filePath(QStringLiteral("A"))));
        const QString out = inside.filePath(QStringLiteral("上传"));
        QCOMPARE(RunBatch({inside.path(), out}).code, 1);
        QCOMPARE(RunBatch({inside.path(), out}).code, 1);
        const QMap<QString, QStringList> rows = Rows(out);
        QCOMPARE(QStringList(rows.keys()), (QStringList{"A", "a.jpg"}));
        QCOMPARE(rows.value(QStringLiteral("A")).value(1), texts::kBatchNameTaken.arg("a.jpg"));
    }

    // Without its face cascade the program checks no photo: the run stops.
    void noCascade() {
        QTemporaryDir bare, out;
        QVERIFY(QFile::copy(QStringLiteral(EXAM_PROGRAM), bare.filePath(QStringLiteral("exam-photo"))));
        QFile(bare.filePath(QStringLiteral("exam-photo"))).setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
        QProcess program;
        program.start(bare.filePath(QStringLiteral("exam-photo")), {QStringLiteral("--batch"), in, out.path()});
        program.waitForFinished(300000);
        QCOMPARE(program.exitCode(), 2);
        QVERIFY(QString::fromUtf8(program.readAllStandardError()).contains(QStringLiteral("找不到人像检测文件")));
    }

    // A signal asks the run to stop; the handlers before the run come back
    // however it ends, also when it fails.
    void signalsComeBack() {
        std::signal(SIGTERM, SIG_IGN);
        std::atomic<bool> stop{false};
        try {
            const batch::StopOnSignals asked(stop);
            std::raise(SIGTERM);
            throw std::runtime_error("the run failed");
        } catch (const std::runtime_error&) {
        }
        struct sigaction now {};
        sigaction(SIGTERM, nullptr, &now);
        QVERIFY(stop && now.sa_handler == SIG_IGN);
        std::signal(SIGTERM, SIG_DFL);
    }

    // A spreadsheet takes no file name for a formula, nor breaks a row at a line end.
    void tableCells() {
        batch::Summary summary;
        summary.photos.push_back({});
        summary.photos.back().source = QStringLiteral("=1+1,\r");
        QVERIFY(batch::ReportTable(summary).contains(QStringLiteral("\"'=1+1,\r\"")));
    }

    void unusable_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        const QString file = Data("workflow/small.jpg");
        QTest::newRow("no input") << QStringList{"/nonexistent/in", dir.filePath("x")} << 2 << "不存在";
        QTest::newRow("output is a file") << QStringList{Data("workflow"), file} << 2 << "是一个文件";
        QTest::newRow("output holds the input") << QStringList{in, dir.path()} << 2 << "不能写入";
        QTest::newRow("one folder") << QStringList{in} << 2 << "Usage";
        QTest::newRow("no jobs") << QStringList{in, dir.filePath("y"), "--jobs", "0"} << 2 << "--jobs";
    }
    void unusable() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, says);
        const Ran ran = RunBatch(arguments);
        QTEST(ran.code, "code");
        QVERIFY2(ran.out.contains(says), qPrintable(ran.out));
    }

    // An empty folder has a report that says so.
    void emptyFolder() {
        QTemporaryDir empty, out;
        QCOMPARE(RunBatch({empty.path(), out.path()}).code, 0);
        QVERIFY(QString::fromUtf8(photo::ReadWholeFile(out.filePath(QStringLiteral("批量处理报告.html"))))
                    .contains(texts::kBatchEmpty));
    }

    // Ctrl+C stops the run: every file left is whole, and the report
    // covers exactly the photos done.
    void interrupted() {
        QTemporaryDir many, out;
        for (int i = 0; i < 12; ++i)
            PutPortrait(many.filePath(QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0'))), {1500, 2000}, 600,
                        heads::kDarkOnBlue);
        const Ran ran = RunBatch({many.path(), out.path(), QStringLiteral("--jobs"), QStringLiteral("2")},
                                 [&](QProcess& program) {
                                     QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(out.filePath(QStringLiteral("p00.jpg"))), 60000);
                                     kill(program.processId(), SIGINT);
                                 });
        QCOMPARE(ran.code, 130);
        const QStringList left = QDir(out.path()).entryList(QDir::Files);
        QVERIFY(left.size() < 14);
        for (const QString& name : left)
            QVERIFY2(name.startsWith(texts::kBatchReportName) || upload::IsUploadFile(photo::ReadWholeFile(out.filePath(name))), qPrintable(name));
        QCOMPARE(Rows(out.path()).size(), left.size() - 2);
    }

    // An output that fills up stops the run at the first failed write,
    // naming the file and the system's reason, with no partial file.
    void outputFull() {
        QTemporaryDir out;
        QProcess program;
        program.setChildProcessModifier([] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit fsize{20000, 20000};
            setrlimit(RLIMIT_FSIZE, &fsize);
        });
        program.start(QStringLiteral(EXAM_PROGRAM), {QStringLiteral("--batch"), in, out.path(), QStringLiteral("--jobs"), QStringLiteral("1")});
        program.waitForFinished(300000);
        QCOMPARE(program.exitCode(), 2);
        const QString said = QString::fromUtf8(program.readAllStandardError());
        QVERIFY2(said.contains(QStringLiteral("无法写入")) && said.contains(QStringLiteral("File too large")), qPrintable(said));
        for (const QString& name : QDir(out.path()).entryList(QDir::Files))
            QVERIFY2(name.startsWith(texts::kBatchReportName), qPrintable(name));
    }
};

QTEST_MAIN(TestBatch)
#include "test_batch.moc"
