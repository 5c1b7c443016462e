// Saving through the window when the file system says no: a read-only
// folder, a folder that goes away while the save dialog is open, a full disk
// and a write that stops half way. Each failure is reported once, with no
// success box after it; nothing partial or untagged is left behind, and a
// file saved there before keeps every byte.
//
// Root ignores permission bits, so the read-only cases lower this thread's
// file-permission capabilities while they save. A real full disk needs a
// small tmpfs: a child copy of this program mounts one in a mount namespace
// of its own (unshare), where that is allowed. The file-size limit
// (RLIMIT_FSIZE) stops writes at any byte without privileges, so the
// half-way failures run everywhere.
#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <linux/capability.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "export/tag_check.h"
#include "export/jpeg_encoder.h"
#include "export/upload_file.h"
#include "window_fixture.h"

namespace {

// The child copy runs the tmpfs cases on the folder named here.
constexpr char kTmpfsEnv[] = "EXAM_ADVERSE_TMPFS_DIR";
// What the child prints once its tmpfs is mounted; without it the child
// never got that far and the case cannot run here.
constexpr char kMountedMarker[] = "tmpfs mounted for the disk-full saves";


// A user who may do something to the disk after answering the save dialog.
class AdverseUser : public ScriptedDialogs {
public:
    std::function<void(const QString&)> afterSaveDialog;
    QString SavePictureName(QWidget* parent) override {
        const QString answer = ScriptedDialogs::SavePictureName(parent);
        if (afterSaveDialog)
            afterSaveDialog(answer);
        return answer;
    }
};

struct Window : BasicWindowUnderTest<AdverseUser> {
    // Reads and crops the blue studio portrait, which passes every check.
    bool ReadAndCrop() {
        return Read(Fixture("workflow/studio_blue.jpg")).isEmpty() && Crop().isEmpty() &&
               window->Image2->HasPicture();
    }
    // The bytes a save writes before the tag.
    QByteArray Encoded() const { return upload::EncodeWithinLimit(window->Image2->Picture()); }
};

QString Native(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QString Describe(const QVector<ScriptedDialogs::Message>& shown) {
    QStringList lines;
    for (const auto& m : shown)
        lines << QStringLiteral("[%1|%2] %3").arg(m.caption).arg(m.flags).arg(m.text);
    return lines.isEmpty() ? QStringLiteral("no message") : lines.join(QLatin1Char('\n'));
}

// Exactly one box: the general failure report with one of the given texts.
bool IsFailureReport(const QVector<ScriptedDialogs::Message>& shown, const QStringList& texts) {
    return shown.size() == 1 && shown[0].caption == kAppTitle && shown[0].flags == TForm1::MB_ICONERROR &&
           texts.contains(shown[0].text);
}

#define QVERIFY_FAILURE(shown, texts) \
    QVERIFY2(IsFailureReport(shown, texts), qPrintable(Describe(shown) + "\nexpected one of:\n" + texts.join('\n')))

QString CreateFailure(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot create file \"%1\". %2.").arg(Native(path), reason);
}
QString WriteFailure(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot write file \"%1\". %2.").arg(Native(path), reason);
}

QStringList Entries(const QString& folder) {
    QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

bool SetMode(const QString& path, mode_t mode) {
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

// While alive, the calling thread saves as an ordinary user would: root's
// power to write where the permission bits say no (CAP_DAC_OVERRIDE and its
// kin) is lowered from the effective set, and raised again at the end.
// Capabilities are per thread, so nothing else in the process is touched.
// For an ordinary user this changes nothing.
class WithoutPermissionOverride {
public:
    WithoutPermissionOverride() {
        if (syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            lowered[CAP_TO_INDEX(cap)].effective &= ~CAP_TO_MASK(cap);
        lowered_ = syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~WithoutPermissionOverride() {
        if (lowered_)
            syscall(SYS_capset, &header_, saved_);
    }
    WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
    WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool lowered_ = false;
};

// Whether a new file can be made in the folder right now (by this thread).
bool CanCreateIn(const QString& folder) {
    const QByteArray probe = QFile::encodeName(folder + "/.probe");
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(probe.constData());
    return true;
}

// While alive, no file of this process can grow past `bytes`: a write that
// crosses the limit stops there and the next one fails with EFBIG, as a disk
// that fills up in the middle of a file would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);  // the default kills the process
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        set_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool IsSet() const { return set_; }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
    bool set_ = false;
};

qint64 FreeBytes(const QString& folder) {
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return -1;
    return qint64(fs.f_bavail) * qint64(fs.f_bsize);
}

// Takes up all free space of the folder's file system but `leave` bytes.
bool FillDisk(const QString& folder, qint64 leave) {
    const qint64 fill = FreeBytes(folder) - leave;
    if (fill < 0)
        return false;
    QFile filler(folder + "/filler");
    if (!filler.open(QIODevice::WriteOnly))
        return false;
    const QByteArray block(4096, '\0');
    for (qint64 done = 0; done < fill; done += block.size()) {
        if (filler.write(block.constData(), qMin<qint64>(block.size(), fill - done)) < 0)
            return false;
    }
    return filler.flush() && FreeBytes(folder) == leave;
}

}  // namespace

// The cases that need no privileges.
class TestAdverseSaves : public QObject {
    Q_OBJECT
private slots:
    void readOnlyFolder_data() {
        QTest::addColumn<bool>("oldFileWritable");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("saved");
        // A new name needs a new entry in the folder: refused.
        QTest::newRow("new name") << true << "new" << false;
        // Neither the folder nor the file may be written: refused.
        QTest::newRow("read-only old file") << false << "photo.jpg" << false;
        // The file itself may be written: it is replaced in place, like any
        // file the user chose.
        QTest::newRow("writable old file") << true << "photo.jpg" << true;
    }
    void readOnlyFolder() {
        QFETCH(bool, oldFileWritable);
        QFETCH(QString, answer);
        QFETCH(bool, saved);
        QTemporaryDir dir;
        const QString folder = dir.filePath("read-only");
        QVERIFY(QDir().mkdir(folder));
        Window w;
        QVERIFY(w.ReadAndCrop());
        const QString old = folder + "/photo.jpg";
        QVERIFY2(w.Save(old).size() == 1, "the first save, into a writable folder");
        const QByteArray oldBytes = ReadBytes(old);
        QVERIFY(IsValidTag(oldBytes.right(9)));

        QVERIFY(SetMode(folder, 0555));
        QVERIFY(SetMode(old, oldFileWritable ? 0644 : 0444));
        const QString path = upload::WithJpgExtension(folder + "/" + answer);
        QVector<ScriptedDialogs::Message> shown;
        bool couldCreate = true;
        {
            WithoutPermissionOverride asUser;
            couldCreate = CanCreateIn(folder);
            if (!couldCreate)
                shown = w.Save(folder + "/" + answer);
        }
        QVERIFY(SetMode(folder, 0755));
        QVERIFY2(!couldCreate, "the folder must be read-only for the save (permissions not enforced here?)");

        QCOMPARE(Entries(folder), QStringList{"photo.jpg"});
        QVERIFY(w->Image2->HasPicture());  // kept for a save elsewhere
        if (saved) {
            const QByteArray now = ReadBytes(path);
            QCOMPARE(now.size(), oldBytes.size());
            QCOMPARE(now.left(now.size() - 9), w.Encoded());
            QVERIFY(IsValidTag(now.right(9)));
            QVERIFY_MESSAGE(shown, texts::kSaved + path, texts::kInformation, 64);
        } else {
            QCOMPARE(ReadBytes(old), oldBytes);
            // QSaveFile turns down a file it may not write before it tries;
            // root without the override (access() still says yes) finds out
            // at the open.
            QVERIFY_FAILURE(shown, (QStringList{
                                       CreateFailure(path, QStringLiteral("Permission denied")),
                                       CreateFailure(path, QStringLiteral("Existing file %1 is not writable")
                                                               .arg(QFileInfo(path).absoluteFilePath())),
                                   }));
        }
    }

    void folderVanishesWhileTheDialogIsOpen_data() {
        QTest::addColumn<bool>("movedAway");
        QTest::newRow("deleted") << false;
        QTest::newRow("renamed, old file inside") << true;
    }
    void folderVanishesWhileTheDialogIsOpen() {
        QFETCH(bool, movedAway);
        QTemporaryDir dir;
        const QString folder = dir.filePath("pics");
        const QString moved = dir.filePath("pics-moved");
        QVERIFY(QDir().mkdir(folder));
        Window w;
        QVERIFY(w.ReadAndCrop());
        const QString path = folder + "/photo.jpg";
        QCOMPARE(w.Save(path).size(), 1);
        const QByteArray oldBytes = ReadBytes(path);
        QCOMPARE(oldBytes.size(), w.Encoded().size() + 9);

        bool gone = false;
        w.user->afterSaveDialog = [&](const QString&) {
            gone = movedAway ? QDir().rename(folder, moved) : QDir(folder).removeRecursively();
        };
        const auto shown = w.Save(path);
        QVERIFY(gone);
        // The folder is not made again, and nothing new lies beside the old file.
        QVERIFY(!QFileInfo::exists(folder));
        if (movedAway) {
            QCOMPARE(Entries(moved), QStringList{"photo.jpg"});
            QCOMPARE(ReadBytes(moved + "/photo.jpg"), oldBytes);
        }
        QCOMPARE(Entries(dir.path()), movedAway ? QStringList{"pics-moved"} : QStringList{});
        QVERIFY(w->Image2->HasPicture());
        QVERIFY_FAILURE(shown, QStringList{CreateFailure(path, QStringLiteral("No such file or directory"))});
    }

    // The disk fills up at a chosen byte of the file: before the first byte,
    // inside the JPEG data, or right after them so that only the tag is
    // missing. An old file of the name keeps every byte; a new name leaves
    // nothing.
    void writeStopsPartWay_data() {
        QTest::addColumn<bool>("afterJpeg");  // the limit counts from the end of the JPEG data, else from 0
        QTest::addColumn<int>("bytes");
        QTest::addColumn<bool>("oldFile");
        QTest::newRow("no byte, old file") << false << 0 << true;
        QTest::newRow("inside the JPEG, old file") << false << 4096 << true;
        QTest::newRow("inside the JPEG, new name") << false << 4096 << false;
        QTest::newRow("tag does not fit, old file") << true << 0 << true;
        QTest::newRow("tag does not fit, new name") << true << 0 << false;
        QTest::newRow("half the tag, old file") << true << 4 << true;
    }
    void writeStopsPartWay() {
        QFETCH(bool, afterJpeg);
        QFETCH(int, bytes);
        QFETCH(bool, oldFile);
        QTemporaryDir dir;
        Window w;
        QVERIFY(w.ReadAndCrop());
        const int jpegSize = w.Encoded().size();
        QVERIFY(jpegSize > 4096);
        const QString path = dir.filePath("photo.jpg");
        QByteArray oldBytes;
        if (oldFile) {
            QCOMPARE(w.Save(path).size(), 1);
            oldBytes = ReadBytes(path);
            QCOMPARE(oldBytes.size(), jpegSize + 9);
        }
        const rlim_t limit = rlim_t(afterJpeg ? jpegSize + bytes : bytes);
        QVector<ScriptedDialogs::Message> shown;
        {
            FileSizeLimit full(limit);
            QVERIFY(full.IsSet());
            shown = w.Save(path);
        }
        QCOMPARE(Entries(dir.path()), oldFile ? QStringList{"photo.jpg"} : QStringList{});
        if (oldFile)
            QCOMPARE(ReadBytes(path), oldBytes);
        QVERIFY(w->Image2->HasPicture());
        // The reason is the system's, also when part of a write went through
        // before the file was full.
        QVERIFY_FAILURE(shown, QStringList{WriteFailure(path, QStringLiteral("File too large"))});
    }

    // A folder that allows no new file but a file that may be written: the
    // file is written in place, so when the disk fills up there is no old
    // copy left to keep. It is then emptied, never left half written or
    // without its tag, and the failure is reported.
    void writeStopsPartWayInPlace() {
        QTemporaryDir dir;
        const QString folder = dir.filePath("read-only");
        QVERIFY(QDir().mkdir(folder));
        Window w;
        QVERIFY(w.ReadAndCrop());
        const QString path = folder + "/photo.jpg";
        QCOMPARE(w.Save(path).size(), 1);
        QVERIFY(SetMode(folder, 0555));
        QVector<ScriptedDialogs::Message> shown;
        bool couldCreate = true;
        {
            WithoutPermissionOverride asUser;
            couldCreate = CanCreateIn(folder);
            FileSizeLimit full(5000);
            if (!couldCreate)
                shown = w.Save(path);
        }
        QVERIFY(SetMode(folder, 0755));
        QVERIFY(!couldCreate);
        QCOMPARE(Entries(folder), QStringList{"photo.jpg"});
        QCOMPARE(ReadBytes(path), QByteArray());
        QVERIFY_FAILURE(shown, QStringList{WriteFailure(path, QStringLiteral("File too large"))});
    }

    // A real full disk: a child copy of this program mounts a small tmpfs in
    // a mount namespace of its own and runs DiskFullOnTmpfs there.
    void diskFull() {
        QTemporaryDir dir;
        const QString unshare = QStandardPaths::findExecutable("unshare");
        if (unshare.isEmpty())
            QSKIP("no unshare(1) here to mount a tmpfs; the write-limit cases stand in for a full disk");
        // Root may make a mount namespace outright; anyone may where user
        // namespaces are allowed, as root of a user namespace of their own.
        QList<QStringList> ways{{"--user", "--map-root-user"}};
        if (::geteuid() == 0)
            ways.prepend(QStringList{});
        QString output, refusals;
        QProcess child;
        for (const QStringList& way : ways) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(kTmpfsEnv, dir.path());
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start(unshare, way + QStringList{"--mount", "--propagation", "private", "--",
                                                   QCoreApplication::applicationFilePath()});
            QVERIFY(child.waitForStarted());
            QVERIFY2(child.waitForFinished(240000), "the child did not finish");
            output = QString::fromLocal8Bit(child.readAll());
            if (output.contains(QLatin1String(kMountedMarker)))
                break;
            refusals += output.trimmed() + QLatin1Char(' ');
        }
        if (!output.contains(QLatin1String(kMountedMarker))) {
            const QString why = "no tmpfs could be mounted here, so no full disk; the write-limit cases "
                                "stand in for it. The child said: " + refusals.trimmed();
            QSKIP(qPrintable(why));
        }
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
            std::fprintf(stderr, "%s\n", qPrintable(output));
            QFAIL("the disk-full cases failed in the child copy; its report is above");
        }
        // The tmpfs lived only in the child's namespace.
        QCOMPARE(Entries(dir.path()), QStringList{});
    }
};

// Run by the child copy, in its own mount namespace, on a small tmpfs.
class DiskFullOnTmpfs : public QObject {
    Q_OBJECT
private:
    QString folder = QString::fromLocal8Bit(qgetenv(kTmpfsEnv));

private slots:
    void initTestCase() {
        QVERIFY(!folder.isEmpty());
        const QByteArray at = QFile::encodeName(folder);
        // Nothing mounted here may reach the parent's namespace.
        QVERIFY2(::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0, std::strerror(errno));
        QVERIFY2(::mount("tmpfs", at.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m,mode=0755") == 0,
                 std::strerror(errno));
        std::printf("%s\n", kMountedMarker);
        std::fflush(stdout);
    }
    void init() {
        for (const QString& name : Entries(folder))
            QVERIFY(QFile::remove(folder + "/" + name));
    }

    void diskFull_data() {
        QTest::addColumn<qint64>("free");
        QTest::addColumn<QString>("answer");
        QTest::newRow("full, old file") << qint64(0) << "photo.jpg";
        QTest::newRow("full, new name") << qint64(0) << "new";
        QTest::newRow("8 KiB free, old file") << qint64(8192) << "photo.jpg";
        QTest::newRow("8 KiB free, new name") << qint64(8192) << "new";
    }
    void diskFull() {
        QFETCH(qint64, free);
        QFETCH(QString, answer);
        Window w;
        QVERIFY(w.ReadAndCrop());
        QVERIFY(w.Encoded().size() > free);
        const QString old = folder + "/photo.jpg";
        QCOMPARE(w.Save(old).size(), 1);
        const QByteArray oldBytes = ReadBytes(old);
        QVERIFY(IsValidTag(oldBytes.right(9)));
        QVERIFY2(FillDisk(folder, free), qPrintable(QString::number(FreeBytes(folder))));

        const QString path = upload::WithJpgExtension(folder + "/" + answer);
        const auto shown = w.Save(folder + "/" + answer);
        QCOMPARE(Entries(folder), (QStringList{"filler", "photo.jpg"}));
        QCOMPARE(ReadBytes(old), oldBytes);
        QCOMPARE(FreeBytes(folder), free);  // nothing of the failed save holds space
        QVERIFY(w->Image2->HasPicture());
        QVERIFY_FAILURE(shown, QStringList{WriteFailure(path, QStringLiteral("No space left on device"))});
    }

    // A folder on a medium mounted read-only (a write-protected stick).
    void readOnlyMedium_data() {
        QTest::addColumn<QString>("answer");
        QTest::newRow("old file") << "photo.jpg";
        QTest::newRow("new name") << "new";
    }
    void readOnlyMedium() {
        QFETCH(QString, answer);
        Window w;
        QVERIFY(w.ReadAndCrop());
        const QString old = folder + "/photo.jpg";
        QCOMPARE(w.Save(old).size(), 1);
        const QByteArray oldBytes = ReadBytes(old);
        const QByteArray at = QFile::encodeName(folder);
        QVERIFY2(::mount(nullptr, at.constData(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) ==
                     0,
                 std::strerror(errno));
        const QString path = upload::WithJpgExtension(folder + "/" + answer);
        const auto shown = w.Save(folder + "/" + answer);
        QVERIFY(::mount(nullptr, at.constData(), nullptr, MS_REMOUNT | MS_NOSUID | MS_NODEV, nullptr) == 0);
        QCOMPARE(Entries(folder), QStringList{"photo.jpg"});
        QCOMPARE(ReadBytes(old), oldBytes);
        QVERIFY_FAILURE(shown, (QStringList{
                                   CreateFailure(path, QStringLiteral("Read-only file system")),
                                   CreateFailure(path, QStringLiteral("Existing file %1 is not writable")
                                                           .arg(QFileInfo(path).absoluteFilePath())),
                               }));
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    if (qEnvironmentVariableIsSet(kTmpfsEnv)) {
        DiskFullOnTmpfs child;
        return QTest::qExec(&child, argc, argv);
    }
    TestAdverseSaves tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "test_adverse_saves.moc"
