// SPDX-License-Identifier: GPL-3.0-or-later
// The batch's parts that need no photo: what a file is by its first bytes,
// whether an upload name can be held, the roster, the journal.
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

#include "batch/file_kind.h"
#include "batch/journal.h"
#include "batch/roster.h"
#include "batch/upload_names.h"

using namespace batch;

namespace {

void Put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// The plan in one line: header, photo=upload, rows without a photo, photos
// without a row, then each misuse with its rows and names.
QString Described(const RosterPlan& plan) {
    static const char* kinds[] = {"unreadable", "not text", "missing cell", "mangled", "same upload", "twice", "ambiguous"};
    QStringList parts = plan.header ? QStringList{QStringLiteral("header")} : QStringList();
    for (auto it = plan.uploadOf.begin(); it != plan.uploadOf.end(); ++it)
        parts << it.key() + QLatin1Char('=') + it.value();
    for (const RosterRow& row : plan.rowsWithoutPhoto)
        parts << QStringLiteral("row %1 %2").arg(row.row).arg(row.photo);
    for (const QString& photo : plan.photosWithoutRow)
        parts << QStringLiteral("no row ") + photo;
    for (const RosterProblem& problem : plan.misuses) {
        QStringList rows;
        for (const int row : problem.rows)
            rows << QString::number(row);
        parts << QStringLiteral("%1 %2 %3").arg(QLatin1String(kinds[problem.kind]), rows.join(QLatin1Char(',')),
                                               problem.names.join(QLatin1Char('|')));
    }
    return parts.join(QStringLiteral("; "));
}

JournalRecord Record(const QString& photo, JournalRecord::Stage stage, const QByteArray& source, const QByteArray& upload) {
    return {photo, photo + QStringLiteral(".jpg"), stage, DigestOf(source), upload.isEmpty() ? QByteArray() : DigestOf(upload)};
}

QString Line(const std::optional<JournalRecord>& record) {
    if (!record)
        return {};
    return QStringList{record->photo, record->upload, QString::number(record->stage),
                       QString::fromLatin1(record->sourceDigest.toHex()), QString::fromLatin1(record->uploadDigest.toHex())}
        .join(QLatin1Char('|'));
}

}  // namespace

class TestBatchParts : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void sniff_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("format");
        const auto row = [](const char* tag, const QByteArray& head, const char* name, FileKind kind, const char* format = "") {
            QTest::newRow(tag) << head << QString::fromUtf8(name) << int(kind) << QString::fromLatin1(format);
        };
        row("JPEG, named as none", QByteArray("\xFF\xD8\xFF\xE1\0\x18" "Exif", 10), "zhao", FileKind::Jpeg);
        row("PNG named .jpg", QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), "a.jpg", FileKind::OtherFormat, "PNG");
        row("HEIC", QByteArray("\0\0\0\x18" "ftypheic\0\0\0\0mif1heic", 24), "IMG_0001.HEIC", FileKind::OtherFormat, "HEIC");
        row("WebP", QByteArray("RIFF\x24\0\0\0WEBPVP8 ", 16), "a.webp", FileKind::OtherFormat, "WebP");
        row("BMP", QByteArray("BM\x36\0\x0C\0\0\0\0\0\x36\0\0\0\x28\0\0\0", 18), "scan.bmp", FileKind::OtherFormat, "BMP");
        row("text starting BM", "BMI of the class\r\n", "bmi.txt", FileKind::NotAPhoto);
        row("TIFF", QByteArray("MM\0*\0\0\0\x08", 8), "a.tif", FileKind::OtherFormat, "TIFF");
        row("GIF", "GIF89a\x01\0\x01\0", "a.gif", FileKind::OtherFormat, "GIF");
        row("empty .jpg", "", "empty.jpg", FileKind::UnknownPhoto);
        row("unknown .PNG", "not a picture", "x.PNG", FileKind::UnknownPhoto);
        row("xlsx", QByteArray("PK\x03\x04\x14\0\x06\0", 8), "名单.xlsx", FileKind::NotAPhoto);
        row("Thumbs.db", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", "Thumbs.db", FileKind::NotAPhoto);
        row("desktop.ini", "[.ShellClassInfo]\r\n", "desktop.ini", FileKind::NotAPhoto);
    }

    // Through the file, with a tail after the bytes that tell it.
    void sniff() {
        QFETCH(QByteArray, head);
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(QString, format);
        const QString path = dir.filePath(name);
        Put(path, head.isEmpty() ? head : head + QByteArray(4096, 'x'));
        const Sniffed sniffed = SniffFile(path);
        QCOMPARE(int(sniffed.kind), kind);
        QCOMPARE(sniffed.format, format);
    }

    void names_data() {
        QTest::addColumn<QString>("upload");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("part");
        const auto row = [](const QString& tag, const QString& upload, NameProblem::Kind kind, const QString& part = {}) {
            QTest::newRow(tag.toUtf8()) << upload << int(kind) << part;
        };
        row(QStringLiteral("fits"), QStringLiteral("一班/张 三.jpg"), NameProblem::None);
        for (const QChar c : QStringLiteral("\"*:<>?\\|"))
            row(QStringLiteral("forbidden ") + c, QStringLiteral("一班/a") + c + QStringLiteral("b.jpg"),
                NameProblem::ForbiddenCharacter, QStringLiteral("a") + c + QStringLiteral("b.jpg"));
        row(QStringLiteral("control"), QStringLiteral("a\tb.jpg"), NameProblem::ControlCharacter, QStringLiteral("a\tb.jpg"));
        row(QStringLiteral("folder ends in a dot"), QStringLiteral("一班./a.jpg"), NameProblem::EndsInDotOrSpace, QStringLiteral("一班."));
        row(QStringLiteral("folder ends in a space"), QStringLiteral("一班 /a.jpg"), NameProblem::EndsInDotOrSpace, QStringLiteral("一班 "));
        row(QStringLiteral("reserved"), QStringLiteral("一班/com1.jpg"), NameProblem::ReservedName, QStringLiteral("com1.jpg"));
        row(QStringLiteral("not reserved"), QStringLiteral("concert.jpg"), NameProblem::None);
        row(QStringLiteral("255 units"), QString(251, QLatin1Char('a')) + QStringLiteral(".jpg"), NameProblem::None);
        const QString long256 = QString(252, QLatin1Char('a')) + QStringLiteral(".jpg");
        row(QStringLiteral("256 units"), long256, NameProblem::LongerThanUsb, long256);
        const QString bytes256 = QString(84, QChar(0x5F20)) + QStringLiteral(".jpg");  // 88 units, 256 bytes
        row(QStringLiteral("256 bytes"), bytes256, NameProblem::LongerThanOutput, bytes256);
        const QString deep = QStringList(17, QString(240, QLatin1Char('d'))).join(QLatin1Char('/')) + QStringLiteral("/a.jpg");
        row(QStringLiteral("path too long"), deep, NameProblem::PathTooLong, deep);
    }

    void names() {
        QFETCH(QString, upload);
        QFETCH(int, kind);
        QFETCH(QString, part);
        const NameProblem problem = UploadPathProblem(upload, {QStringLiteral("/out"), 255, 4096});
        QCOMPARE(int(problem.kind), kind);
        QCOMPARE(problem.part, part);
        if (kind == NameProblem::ForbiddenCharacter || kind == NameProblem::ControlCharacter)
            QVERIFY(part.contains(problem.character));
        // A roster's name is one name: a "/" in it makes no folder.
        QCOMPARE(int(FileNameProblem(QStringLiteral("a/b.jpg"), {}).kind), int(NameProblem::ForbiddenCharacter));
    }

    void roster_data() {
        QTest::addColumn<QByteArray>("roster");
        QTest::addColumn<QString>("plan");
        const QString all = QStringLiteral("一班/张三.jpg=110.jpg; 二班/张三.jpg=120.jpg; 李四.JPG=130.jpg; 王五=140.jpg");
        QTest::newRow("UTF-8 with BOM, CRLF")
            << QByteArray("\xEF\xBB\xBF一班/张三.jpg,110\r\n二班\\张三,120\r\n李四,130\r\n王五,140\r\n") << all;
        QTest::newRow("GB18030, a header")
            << QByteArray(QStringEncoder("GB18030").encode(QStringLiteral("照片,考号\n一班/张三.jpg,110\n二班/张三,120\n李四,130\n王五,140")))
            << QStringLiteral("header; ") + all;
        QTest::newRow("quoted cells, a blank line, a row without a photo, a photo without a row")
            << QByteArray(" \"一班/张三.jpg\" , \" 1,1\"\"0\" \n\n\"赵\n六\",150,extra\n李四.jpg,130\n")
            << QStringLiteral("一班/张三.jpg=1,1\"0.jpg; 李四.JPG=130.jpg; row 3 赵\n六; no row 二班/张三.jpg; no row 王五");
        QTest::newRow("a first row that is no heading")
            << QByteArray("赵六,150\n王五,140\n")
            << QStringLiteral("王五=140.jpg; row 1 赵六; no row 一班/张三.jpg; no row 二班/张三.jpg; no row 李四.JPG");
        QTest::newRow("misuses")
            << QByteArray("一班/张三,A1\n李四,a1.JPG\n张三,3\n李四.jpg,4\n王五,\n"
                          "x,1.10101E+17\ny,110101199003072000\nz,110101199003002000\n")
            << QStringLiteral("一班/张三.jpg=A1.jpg; 李四.JPG=4.jpg; row 6 x; row 7 y; row 8 z; no row 二班/张三.jpg; "
                              "no row 王五; ambiguous 3 张三|一班/张三.jpg|二班/张三.jpg; missing cell 5 王五; "
                              "mangled 6 1.10101E+17; mangled 7 110101199003072000; same upload 1,2 A1|a1.JPG; "
                              "twice 2,4 李四.JPG");
        QTest::newRow("neither UTF-8 nor GB18030") << QByteArray("\xFF\xFEz\0") << QStringLiteral("not text  ");
    }

    void roster() {
        QFETCH(QByteArray, roster);
        const QStringList photos{QStringLiteral("一班/张三.jpg"), QStringLiteral("二班/张三.jpg"), QStringLiteral("李四.JPG"),
                                 QStringLiteral("王五")};
        QTEST(Described(PlanRoster(roster, photos)), "plan");
    }

    // A record comes back whole, a name with a comma, quotes and a line end
    // too; a second run on the same folder is told to wait.
    void journalRoundTrip() {
        const QString out = dir.filePath(QStringLiteral("round trip"));
        QDir().mkpath(out);
        const JournalRecord record = Record(QStringLiteral("\"张,三\"\n.jpg"), JournalRecord::Written, "photo", "upload");
        {
            Journal journal(out);
            QVERIFY(!journal.Error());
            QCOMPARE(Journal(out).Error(), std::make_error_code(std::errc::operation_would_block));
            QVERIFY(!journal.Append(record));
        }
        QCOMPARE(Line(Journal(out).Find(record.photo)), Line(record));
        Put(out + QStringLiteral("/a.jpg"), "photo");
        QCOMPARE(DigestOfFile(out + QStringLiteral("/a.jpg")), DigestOf("photo"));
    }

    // Read by its columns' names: the last record of a photo counts; a line
    // cut short by a killed run does not, nor does it swallow the next run's.
    void journalAfterKill() {
        const QString out = dir.filePath(QStringLiteral("killed"));
        QDir().mkpath(out);
        const QByteArray source = DigestOf("photo").toHex(), first = DigestOf("first").toHex(), last = DigestOf("last").toHex();
        Put(out + QLatin1Char('/') + Journal::kFileName,
            "upload_blake2b_256,stage,note,photo,source_blake2b_256,upload\n" + first + ",written,x,a,"+ source + ",a.jpg\n" +
                last + ",written,,a," + source + ",a.jpg\n" + last + ",written,,b," + source.left(20));
        {
            Journal journal(out);
            QCOMPARE(Line(journal.Find(QStringLiteral("a"))), Line(Record(QStringLiteral("a"), JournalRecord::Written, "photo", "last")));
            QVERIFY(!journal.Find(QStringLiteral("b")));
            QVERIFY(!journal.Append(Record(QStringLiteral("c"), JournalRecord::Writing, "photo", {})));
        }
        QVERIFY(Journal(out).Find(QStringLiteral("c")));
    }

    // Workers add their records side by side; every one comes back.
    void journalSecondWriter() {
        const QString out = dir.filePath(QStringLiteral("two writers"));
        QDir().mkpath(out);
        {
            Journal journal(out);
            const auto write = [&journal](const QString& writer) {
                for (int i = 0; i < 50; ++i)
                    journal.Append(Record(writer + QString::number(i), JournalRecord::Written, writer.toUtf8(), {}));
            };
            std::thread second(write, QStringLiteral("b"));
            write(QStringLiteral("a"));
            second.join();
        }
        const Journal again(out);
        for (int i = 0; i < 50; ++i)
            for (const QString& writer : {QStringLiteral("a"), QStringLiteral("b")})
                QCOMPARE(Line(again.Find(writer + QString::number(i))),
                         Line(Record(writer + QString::number(i), JournalRecord::Written, writer.toUtf8(), {})));
    }

    void decide_data() {
        QTest::addColumn<QByteArray>("uploadNow");  // empty: no whole upload file there
        QTest::addColumn<int>("stage");             // -1: no record
        QTest::addColumn<QByteArray>("recordedSource");
        QTest::addColumn<QByteArray>("recordedUpload");
        QTest::addColumn<int>("resume");
        const int none = -1;
        QTest::newRow("no upload file") << QByteArray() << int(JournalRecord::Written) << QByteArray("photo") << QByteArray("upload") << int(Resume::Fresh);
        QTest::newRow("no record") << QByteArray("upload") << none << QByteArray() << QByteArray() << int(Resume::Redo);
        QTest::newRow("same photo, its upload") << QByteArray("upload") << int(JournalRecord::Written) << QByteArray("photo") << QByteArray("upload") << int(Resume::KeptAsDone);
        QTest::newRow("replaced photo") << QByteArray("upload") << int(JournalRecord::Written) << QByteArray("old photo") << QByteArray("upload") << int(Resume::Redo);
        QTest::newRow("saved by hand where none was written") << QByteArray("by hand") << int(JournalRecord::Written) << QByteArray("photo") << QByteArray() << int(Resume::SavedByHand);
        QTest::newRow("kept as saved by hand") << QByteArray("by hand") << int(JournalRecord::ByHand) << QByteArray("photo") << QByteArray("by hand") << int(Resume::SavedByHand);
        QTest::newRow("killed while writing") << QByteArray("upload") << int(JournalRecord::Writing) << QByteArray("photo") << QByteArray() << int(Resume::Redo);
    }

    void decide() {
        QFETCH(QByteArray, uploadNow);
        QFETCH(int, stage);
        QFETCH(QByteArray, recordedSource);
        QFETCH(QByteArray, recordedUpload);
        std::optional<JournalRecord> record;
        if (stage >= 0)
            record = Record(QStringLiteral("a"), JournalRecord::Stage(stage), recordedSource, recordedUpload);
        const std::optional<QByteArray> upload = uploadNow.isEmpty() ? std::nullopt : std::optional<QByteArray>(DigestOf(uploadNow));
        QTEST(int(DecideResume(DigestOf("photo"), QStringLiteral("a.jpg"), upload, record)), "resume");
    }
};

QTEST_GUILESS_MAIN(TestBatchParts)
#include "test_batch_parts.moc"
