// Upload tag, the ".jpg" rule and the tagged upload file, including the
// failures that must leave no partial or untagged file behind.
#include <QtTest>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "export/tag_check.h"
#include "export/jpeg_encoder.h"
#include "export/upload_file.h"

using upload::AddtoFile;
using upload::FileError;
using upload::MakeUploadTag;
using upload::UploadTagFor;
using upload::WithJpgExtension;
using upload::WriteUploadFile;

namespace {


QByteArray SmallJpeg() {
    QImage photo(200, 280, QImage::Format_RGB32);
    for (int y = 0; y < 280; ++y)
        for (int x = 0; x < 200; ++x)
            photo.setPixel(x, y, qRgb(x, y % 256, (x * y) % 256));
    return upload::EncodeWithinLimit(photo);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteBytes(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QString ShownPath(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// The failure text of writing `path`; empty when nothing was thrown.
QString FailureOf(const QString& path, const QByteArray& jpeg) {
    try {
        WriteUploadFile(path, jpeg);
    } catch (const FileError& e) {
        return e.message();
    }
    return QString();
}

// Keeps writes to files below `bytes` for the lifetime of the guard; a
// longer write fails with EFBIG (also for root) instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    bool ok() const { return ok_; }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
    bool ok_ = false;
};

constexpr int kSkipped = 77;

// Runs `check` without root's power over permissions: directly when not
// root, else in a child process as the unprivileged user 65534. Returns the
// check's result, kSkipped when that is not possible here.
int RunUnprivileged(const std::function<int()>& check) {
    if (geteuid() != 0)
        return check();
    const pid_t pid = fork();
    if (pid < 0)
        return kSkipped;
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            _exit(kSkipped);
        _exit(check());
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

}  // namespace

class TestExportUploadFile : public QObject {
    Q_OBJECT

private slots:
    void tagForDraw_data();
    void tagForDraw();
    void tagForDrawOutOfRange();
    void madeTagsAreValid();
    void jpgExtension_data();
    void jpgExtension();
    void addtoFileAppendsOneTag();
    void addtoFileReportsFailure();
    void savedFileIsJpegThenTag();
    void existingFileIsReplaced();
    void relativeNameShownAbsolute();
    void cannotCreate_data();
    void cannotCreate();
    void writeFailureKeepsOldFile_data();
    void writeFailureKeepsOldFile();
    void readOnlyFolder();
    void fullDevice();
};

void TestExportUploadFile::tagForDraw_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("tag");
    QTest::newRow("12345") << 12345 << "123450005";
    QTest::newRow("7") << 7 << "700000007";
    QTest::newRow("99999999") << 99999999 << "999999992";
    QTest::newRow("1") << 1 << "100000001";
    QTest::newRow("10000000") << 10000000 << "100000001";
    QTest::newRow("90") << 90 << "900000009";
    QTest::newRow("19") << 19 << "190000000";
    QTest::newRow("12345678") << 12345678 << "123456786";
}

void TestExportUploadFile::tagForDraw() {
    QFETCH(int, n);
    QFETCH(QString, tag);
    QCOMPARE(UploadTagFor(n), tag);
}

void TestExportUploadFile::tagForDrawOutOfRange() {
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, UploadTagFor(0));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, UploadTagFor(100000000));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, UploadTagFor(-5));
}

void TestExportUploadFile::madeTagsAreValid() {
    QSet<QString> seen;
    for (int i = 0; i < 500; ++i) {
        const QString tag = MakeUploadTag();
        QVERIFY2(IsValidTag(tag.toLatin1()), qPrintable(tag));
        seen.insert(tag);
    }
    // Reseeded from a nanosecond clock: repeats are rare.
    QVERIFY(seen.size() > 400);
}

void TestExportUploadFile::jpgExtension_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("saved");
    QTest::newRow("no extension") << "/home/u/photo" << "/home/u/photo.jpg";
    QTest::newRow(".JPG kept") << "/home/u/photo.JPG" << "/home/u/photo.JPG";
    QTest::newRow(".Jpg kept") << "/home/u/photo.Jpg" << "/home/u/photo.Jpg";
    QTest::newRow(".jpg kept") << "/home/u/photo.jpg" << "/home/u/photo.jpg";
    QTest::newRow(".jpeg") << "/home/u/photo.jpeg" << "/home/u/photo.jpeg.jpg";
    QTest::newRow("dot only in folder") << "/home/u/my.pics/photo" << "/home/u/my.pics/photo.jpg";
    QTest::newRow("folder .jpg") << "/home/u/a.jpg/photo" << "/home/u/a.jpg/photo.jpg";
    QTest::newRow("backslash separator") << "C:\\my.pics\\photo" << "C:\\my.pics\\photo.jpg";
    QTest::newRow("drive colon") << "C:.jpg" << "C:.jpg";
    QTest::newRow("dot before drive colon") << "x.jpg:photo" << "x.jpg:photo.jpg";
    QTest::newRow("trailing dot") << "photo." << "photo..jpg";
    QTest::newRow("double extension") << "photo.jpg.png" << "photo.jpg.png.jpg";
    QTest::newRow("hidden .jpg") << "/home/u/.jpg" << "/home/u/.jpg";
    QTest::newRow("non-ASCII fullwidth j") << "photo.\uFF4Apg" << "photo.\uFF4Apg.jpg";
    QTest::newRow("non-ASCII dotless i") << "photo.\u0131pg" << "photo.\u0131pg.jpg";
    QTest::newRow("chinese name") << "/home/u/照片" << "/home/u/照片.jpg";
    QTest::newRow("empty") << "" << ".jpg";
}

void TestExportUploadFile::jpgExtension() {
    QFETCH(QString, name);
    QFETCH(QString, saved);
    QCOMPARE(WithJpgExtension(name), saved);
}

void TestExportUploadFile::addtoFileAppendsOneTag() {
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::ReadWrite));
    buffer.write("JPEGDATA");
    buffer.seek(2);  // the tag still goes to the end
    QVERIFY(AddtoFile(buffer));
    const QByteArray data = buffer.data();
    QCOMPARE(data.size(), 8 + 9);
    QVERIFY(data.startsWith("JPEGDATA"));
    QVERIFY2(IsValidTag(data.mid(8)), data.constData());
}

void TestExportUploadFile::addtoFileReportsFailure() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("x.jpg");
    QVERIFY(WriteBytes(path, "DATA"));
    QFile readOnly(path);
    QVERIFY(readOnly.open(QIODevice::ReadOnly));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("QIODevice::write.*ReadOnly device"));
    QVERIFY(!AddtoFile(readOnly));
    readOnly.close();
    QCOMPARE(ReadAll(path), QByteArray("DATA"));
}

void TestExportUploadFile::savedFileIsJpegThenTag() {
    const QByteArray jpeg = SmallJpeg();
    QVERIFY(jpeg.size() > 1000 && jpeg.size() <= upload::kUploadLimit);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("photo.jpg");
    WriteUploadFile(path, jpeg);

    const QByteArray saved = ReadAll(path);
    QCOMPARE(saved.size(), jpeg.size() + 9);
    QVERIFY(saved.startsWith(jpeg));
    QVERIFY(saved.left(saved.size() - 9).endsWith("\xFF\xD9"));
    QVERIFY2(IsValidTag(saved.right(9)), saved.right(9).constData());
    const QImage decoded = QImage::fromData(saved.left(saved.size() - 9), "JPEG");
    QCOMPARE(decoded.size(), QSize(200, 280));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"photo.jpg"});
}

void TestExportUploadFile::existingFileIsReplaced() {
    const QByteArray jpeg = SmallJpeg();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("photo.jpg");
    QVERIFY(WriteBytes(path, QByteArray(100000, 'x')));

    WriteUploadFile(path, jpeg);
    QByteArray saved = ReadAll(path);
    QCOMPARE(saved.size(), jpeg.size() + 9);
    QVERIFY(saved.startsWith(jpeg));
    const QByteArray firstTag = saved.right(9);
    QVERIFY(IsValidTag(firstTag));

    // Saving again gives the same JPEG data with exactly one new tag.
    WriteUploadFile(path, jpeg);
    saved = ReadAll(path);
    QCOMPARE(saved.size(), jpeg.size() + 9);
    QVERIFY(saved.startsWith(jpeg));
    QVERIFY(IsValidTag(saved.right(9)));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"photo.jpg"});
}

void TestExportUploadFile::relativeNameShownAbsolute() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const QString message = FailureOf("no such folder/photo.jpg", "x");
    QDir::setCurrent(previous);
    const QString prefix = QStringLiteral("Cannot create file \"%1/no such folder/photo.jpg\". ")
                               .arg(QFileInfo(dir.path()).absoluteFilePath());
    QVERIFY2(message.startsWith(prefix), qPrintable(message));
    QVERIFY(message.size() > prefix.size());
}

void TestExportUploadFile::cannotCreate_data() {
    QTest::addColumn<QString>("relative");
    QTest::newRow("parent is a file") << "plain/photo.jpg";
    QTest::newRow("missing folder") << "missing/photo.jpg";
    QTest::newRow("name of a folder") << "folder.jpg";
}

void TestExportUploadFile::cannotCreate() {
    QFETCH(QString, relative);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(WriteBytes(dir.filePath("plain"), "PLAIN"));
    QVERIFY(QDir(dir.path()).mkdir("folder.jpg"));
    const QString path = dir.filePath(relative);

    const QString message = FailureOf(path, SmallJpeg());
    const QString prefix = QStringLiteral("Cannot create file \"%1\". ").arg(ShownPath(path));
    QVERIFY2(message.startsWith(prefix), qPrintable(message));
    QVERIFY2(message.size() > prefix.size(), "the system's reason is missing");

    // Nothing new and nothing changed.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             (QStringList{"folder.jpg", "plain"}));
    QCOMPARE(ReadAll(dir.filePath("plain")), QByteArray("PLAIN"));
    QVERIFY(QDir(dir.filePath("folder.jpg")).isEmpty());
}

void TestExportUploadFile::writeFailureKeepsOldFile_data() {
    QTest::addColumn<int>("room");  // bytes beyond the JPEG data that may be written
    QTest::newRow("JPEG data cut") << -500;
    QTest::newRow("tag cut") << 4;
}

void TestExportUploadFile::writeFailureKeepsOldFile() {
    QFETCH(int, room);
    const QByteArray jpeg = SmallJpeg();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("photo.jpg");
    const QByteArray old("OLD PHOTO");
    QVERIFY(WriteBytes(path, old));

    QString message;
    {
        FileSizeLimit limit(rlim_t(jpeg.size() + room));
        if (!limit.ok())
            QSKIP("cannot limit the file size");
        message = FailureOf(path, jpeg);
    }
    const QString prefix = QStringLiteral("Cannot write file \"%1\". ").arg(ShownPath(path));
    QVERIFY2(message.startsWith(prefix), qPrintable(message));
    QVERIFY2(message.size() > prefix.size(), "the system's reason is missing");
    QCOMPARE(ReadAll(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"photo.jpg"});
}

// Checks that need permissions to be enforced; run unprivileged, each
// returns 0 on success and a distinct code per failed step.
void TestExportUploadFile::readOnlyFolder() {
    const QByteArray jpeg = SmallJpeg();
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath("ro");
    QVERIFY(QDir(dir.path()).mkdir("ro"));
    const QString existing = folder + "/old.jpg";
    const QString other = folder + "/other.jpg";
    QVERIFY(WriteBytes(existing, "OLD"));
    QVERIFY(WriteBytes(other, "OTHER"));
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7555)));
    QVERIFY(QFile::setPermissions(existing, QFileDevice::Permissions(0x6666)));
    QVERIFY(QFile::setPermissions(other, QFileDevice::Permissions(0x6666)));
    QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions(0x5555)));

    const int result = RunUnprivileged([&]() {
        if (QFileInfo(folder).isWritable() || !QFileInfo(existing).isReadable())
            return kSkipped;
        // A new file cannot be made in the folder.
        const QString created = folder + "/new.jpg";
        const QString message = FailureOf(created, jpeg);
        if (!message.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(ShownPath(created))))
            return 1;
        if (QFileInfo::exists(created))
            return 2;
        // The existing file is written in place, completely and tagged.
        if (!FailureOf(existing, jpeg).isEmpty())
            return 3;
        const QByteArray saved = ReadAll(existing);
        if (saved.size() != jpeg.size() + 9 || !saved.startsWith(jpeg) || !IsValidTag(saved.right(9)))
            return 4;
        // Written in place and failing: emptied, never half written.
        QString cut;
        {
            FileSizeLimit limit(rlim_t(jpeg.size() / 2));
            if (!limit.ok())
                return kSkipped;
            cut = FailureOf(other, jpeg);
        }
        if (!cut.startsWith(QStringLiteral("Cannot write file \"%1\". ").arg(ShownPath(other))))
            return 5;
        if (QFileInfo(other).size() != 0)
            return 6;
        if (QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
            != QStringList{"old.jpg", "other.jpg"})
            return 7;
        return 0;
    });
    QFile::setPermissions(folder, QFileDevice::Permissions(0x7777));
    if (result == kSkipped)
        QSKIP("permissions cannot be exercised here (no unprivileged user or unreachable folder)");
    QCOMPARE(result, 0);
}

void TestExportUploadFile::fullDevice() {
    if (!QFileInfo::exists("/dev/full"))
        QSKIP("no /dev/full");
    const QByteArray jpeg = SmallJpeg();
    const int result = RunUnprivileged([&]() {
        // Never where a new file could be made in /dev: the device itself
        // would be replaced.
        if (access("/dev", W_OK) == 0 || access("/dev/full", W_OK) != 0)
            return kSkipped;
        const QString message = FailureOf("/dev/full", jpeg);
        return message.startsWith(QStringLiteral("Cannot write file \"/dev/full\". ")) ? 0 : 1;
    });
    if (result == kSkipped)
        QSKIP("/dev/full cannot be written in place here");
    QCOMPARE(result, 0);
}

QTEST_GUILESS_MAIN(TestExportUploadFile)
#include "test_export_upload_file.moc"
