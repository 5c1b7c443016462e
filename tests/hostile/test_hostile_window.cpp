// Every hostile file read through the window's read-photo handler: the one
// message each gets, what it leaves behind, and that the window keeps working
// afterwards. Also files that cannot be read at all: not regular files, no
// permission, gone by the time the handler reads them.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

#include "../workflow/window_fixture.h"
#include "corpus.h"

namespace {

// The photo read before and after every hostile file: 300 x 400, with a face.
// A copy, so that a case that deletes or replaces the chosen file can never
// touch the test data.
const QString& Good() {
    static QTemporaryDir folder;
    static const QString copy = [] {
        const QString path = folder.filePath(QStringLiteral("studio_blue.jpg"));
        QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                 QFileDevice::ExeOther);
        QFile::copy(QStringLiteral(EXAM_TESTDATA_DIR "/workflow/studio_blue.jpg"), path);
        return path;
    }();
    return copy;
}
const QSize kGoodSize(300, 400);

// Set in the environment of a copy of this program that runs one case on the
// file it names (unprivileged, or watched from outside).
const char kChildEnv[] = "EXAM_HOSTILE_CHILD_FILE";

// Runs a checking helper and ends the test when one of its checks failed.
#define CHECK(call)                      \
    do {                                 \
        call;                            \
        if (QTest::currentTestFailed())  \
            return;                      \
    } while (false)

struct Expected {
    QString text;  // empty: no message
    QString caption;
    int flags = 0;
};

// The read handler's order: header (step 5), size (step 6), decode (step 8),
// face check (steps 14, 15). Any failure on the way is the format message.
Expected ExpectedMessage(const corpus::Entry& e) {
    const Expected notJpeg{texts::kNotJpeg, texts::kNotice, TForm1::MB_ICONINFORMATION};
    switch (e.outcome) {
    case corpus::Outcome::HeaderFails:
    case corpus::Outcome::DecodeFails:
        return notJpeg;
    case corpus::Outcome::SizeRefused:
        return {texts::kTooSmall, texts::kNotice, TForm1::MB_ICONINFORMATION};
    case corpus::Outcome::Decoded:
        break;
    }
    switch (e.face) {
    case corpus::Face::Found:
        return {};
    case corpus::Face::NotFound:
        return {texts::kNoFace, texts::kError, TForm1::MB_ICONERROR};
    case corpus::Face::CheckFails:
    case corpus::Face::None:
        break;
    }
    return notJpeg;
}

QString Describe(const QVector<ScriptedDialogs::Message>& shown) {
    QStringList parts;
    for (const auto& m : shown)
        parts << QStringLiteral("[%1 / %2 / %3]").arg(m.text, m.caption).arg(m.flags);
    return parts.isEmpty() ? QStringLiteral("no message") : parts.join(QLatin1Char(' '));
}

// The scripted user, who can also do something to the chosen file between
// answering the next open dialog and the handler reading it.
class User : public ScriptedDialogs {
public:
    std::function<void(const QString&)> afterOpen;  // once
    QString OpenPictureName(QWidget* parent) override {
        const QString answer = ScriptedDialogs::OpenPictureName(parent);
        if (const auto act = std::exchange(afterOpen, nullptr))
            act(answer);
        return answer;
    }
};

struct Window : BasicWindowUnderTest<User> {
    bool busyDuringMessage = false;

    Window() {
        user->onMessage = [this](const ScriptedDialogs::Message&) {
            busyDuringMessage = busyDuringMessage || QApplication::overrideCursor() != nullptr;
        };
    }
};

bool SameMessage(const QVector<ScriptedDialogs::Message>& shown, const Expected& want) {
    if (want.text.isEmpty())
        return shown.isEmpty();
    return IsMessage(shown, want.text, want.caption, want.flags);
}

// The window after a read that ended in a message: not frozen, no busy cursor
// left behind, and the buttons work as before. Leaves the good photo loaded
// and cropped, with the slider at 3.
void CheckUsable(Window& w) {
    QVERIFY(!w.busyDuringMessage);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(w->isEnabled());

    // A click on the read-photo button reads the good portrait.
    w.user->messages.clear();
    w.user->openAnswers = {Good()};
    const int opened = w.user->openCount;
    QTest::mouseClick(w->RzBmpButton1, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(w.user->openCount, opened + 1);
    QVERIFY2(w.user->messages.isEmpty(), qPrintable(Describe(w.user->messages)));
    QVERIFY(w->Image1->HasPicture());
    QCOMPARE(w->Image1->PictureSize(), kGoodSize);
    QVERIFY(w->FSourceJpeg && w->FSourceJpeg->IsDecoded());
    QVERIFY(w->RzTrackBar1->isEnabled());

    // The crop button crops it, the slider zooms it.
    QTest::mouseClick(w->RzBmpButton3, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY2(w.user->messages.isEmpty(), qPrintable(Describe(w.user->messages)));
    QVERIFY(w->Image2->HasPicture());
    w->RzTrackBar1->SetPosition(3);
    QCOMPARE(w->Image1->PictureSize(), QSize(345, 460));
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

// Reads a file that cannot be read at all (it is not a regular file, or not
// ours to read): the format message, and nothing of the photo on view lost.
void CheckCannotRead(Window& w, const QString& path) {
    QElapsedTimer clock;
    clock.start();
    const auto shown = w.Read(path);
    QVERIFY2(IsMessage(shown, texts::kNotJpeg, texts::kNotice, TForm1::MB_ICONINFORMATION),
             qPrintable(Describe(shown)));
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(w->RzTrackBar1->Position(), 0);
    QVERIFY(w->Image1->HasPicture());
    QCOMPARE(w->Image1->PictureSize(), kGoodSize);
    QVERIFY(w->Image2->HasPicture());
    QVERIFY(w->FSourceJpeg && !w->FSourceJpeg->HasHeader());
    CHECK(CheckUsable(w));
}

QString MakeSocket(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    if (size_t(name.size()) >= sizeof(address.sun_path))
        return QStringLiteral("socket path too long");
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    const int error = errno;
    ::close(fd);  // the socket file stays
    return bound ? QString() : QString::fromLocal8Bit(std::strerror(error));
}

// Resident memory of a process in MB, 0 when it cannot be read.
qint64 ResidentMegabytes(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() / 1024;
    return 0;
}

}  // namespace

class TestHostileWindow : public QObject {
    Q_OBJECT
private:
    QVector<corpus::Entry> entries;
    std::unique_ptr<Window> shared;  // one window through the whole corpus
    QTemporaryDir scratch;

    // The environment of a copy of this program that runs one case. Its
    // temporary files go into our scratch folder, also when it is killed or
    // runs as another user.
    QProcessEnvironment ChildEnvironment(const QString& file) {
        const QFileDevice::Permissions all = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                             QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                             QFileDevice::ReadOther | QFileDevice::WriteOther |
                                             QFileDevice::ExeOther;
        const QString temp = scratch.filePath(QStringLiteral("child-temp"));
        QDir().mkpath(temp);
        QFile::setPermissions(temp, all);
        QFile::setPermissions(scratch.path(), all & ~(QFileDevice::WriteGroup | QFileDevice::WriteOther));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kChildEnv), file);
        env.insert(QStringLiteral("TMPDIR"), temp);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // The parent checks for leaks; a child may be killed or unprivileged.
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
        return env;
    }

    // The unprivileged half of unreadableFile().
    void ReadUnreadable(const QString& path) {
        QFile probe(path);
        QVERIFY2(!probe.open(QIODevice::ReadOnly), "the file is readable: the case proves nothing");
        Window w;
        QVERIFY(w.Read(Good()).isEmpty());
        QVERIFY(w.user->messages.isEmpty());
        w->RzBmpButton3Click();
        w->RzTrackBar1->SetPosition(3);
        CHECK(CheckCannotRead(w, path));
    }

private slots:
    void initTestCase() {
        if (!qEnvironmentVariableIsEmpty(kChildEnv))
            return;  // a copy that runs one case
        QString error;
        entries = corpus::Load(&error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(scratch.isValid());
        shared = std::make_unique<Window>();
        QVERIFY(shared->Read(Good()).isEmpty());
        (*shared)->RzBmpButton3Click();
        (*shared)->RzTrackBar1->SetPosition(3);
    }

    void cleanupTestCase() { shared.reset(); }

    void corpusFile_data() {
        QTest::addColumn<int>("row");
        for (int i = 0; i < entries.size(); ++i)
            QTest::newRow(qPrintable(entries[i].file)) << i;
    }

    // Each file after the good portrait (loaded, cropped, zoomed to 3).
    void corpusFile() {
        QFETCH(int, row);
        const corpus::Entry& e = entries[row];
        Window& w = *shared;
        if (!w->Image2->HasPicture() || w->RzTrackBar1->Position() != 3) {
            // The row before failed half-way.
            QVERIFY(w.Read(Good()).isEmpty());
            w->RzBmpButton3Click();
            w->RzTrackBar1->SetPosition(3);
        }
        const QByteArray bytes = ReadBytes(corpus::Path(e));

        QElapsedTimer clock;
        clock.start();
        const auto shown = w.Read(corpus::Path(e));
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
        const Expected want = ExpectedMessage(e);
        QVERIFY2(SameMessage(shown, want),
                 qPrintable(QStringLiteral("shown %1, expected %2")
                                .arg(Describe(shown), want.text.isEmpty() ? QStringLiteral("none") : want.text)));

        QCOMPARE(w->RzTrackBar1->Position(), 0);
        QVERIFY(w->RzTrackBar1->isEnabled());
        QCOMPARE(w->FSourceStream, bytes);
        switch (e.outcome) {
        case corpus::Outcome::HeaderFails:
        case corpus::Outcome::SizeRefused:
            // Refused before anything on view changed.
            QVERIFY(w->FSourceJpeg);
            QCOMPARE(w->FSourceJpeg->HasHeader(), e.outcome == corpus::Outcome::SizeRefused);
            QVERIFY(w->Image1->HasPicture());
            QCOMPARE(w->Image1->PictureSize(), kGoodSize);
            QVERIFY(w->Image2->HasPicture());
            break;
        case corpus::Outcome::DecodeFails:
            // The result photo went at step 7; the old photo stays on view
            // and a zoom of the undecodable source changes nothing, silently.
            QVERIFY(w->FSourceJpeg && w->FSourceJpeg->HasHeader() && !w->FSourceJpeg->IsDecoded());
            QVERIFY(!w->Image2->HasPicture());
            QVERIFY(w->Image1->HasPicture());
            QCOMPARE(w->Image1->PictureSize(), kGoodSize);
            w.user->messages.clear();
            w->RzTrackBar1->SetPosition(5);
            QVERIFY2(w.user->messages.isEmpty(), qPrintable(Describe(w.user->messages)));
            QCOMPARE(w->Image1->PictureSize(), kGoodSize);
            break;
        case corpus::Outcome::Decoded:
            // Shown upright at its natural size, centred: the viewport is
            // 242 x 309, so left round(31) and top round(39.5) = 40.
            QCOMPARE(w->Image1->size(), QSize(180, 230));
            QCOMPARE(w->Image1->pos(), QPoint(31, 40));
            QVERIFY(!w->Image2->HasPicture());
            if (e.face == corpus::Face::NotFound) {
                QVERIFY(!w->Image1->HasPicture());
                QVERIFY(!w->FSourceJpeg);
            } else {
                QVERIFY(w->Image1->HasPicture());
                QCOMPARE(w->Image1->Source().size(), QSize(180, 230));
                QVERIFY(w->FSourceJpeg && w->FSourceJpeg->IsDecoded());
            }
            break;
        }
        CHECK(CheckUsable(w));
    }

    // A folder, a socket and a dangling link under a photo's name, and a
    // device: nothing to read, the format message.
    void notARegularFile() {
        Window w;
        QVERIFY(w.Read(Good()).isEmpty());
        w->RzBmpButton3Click();
        const QString folder = scratch.filePath(QStringLiteral("folder.jpg"));
        QVERIFY(QDir().mkdir(folder));
        CHECK(CheckCannotRead(w, folder));
        const QString socket = scratch.filePath(QStringLiteral("socket.jpg"));
        const QString socketError = MakeSocket(socket);
        QVERIFY2(socketError.isEmpty(), qPrintable(socketError));
        CHECK(CheckCannotRead(w, socket));
        const QString dangling = scratch.filePath(QStringLiteral("link.jpg"));
        QVERIFY(QFile::link(scratch.filePath(QStringLiteral("nowhere.jpg")), dangling));
        CHECK(CheckCannotRead(w, dangling));
        CHECK(CheckCannotRead(w, QStringLiteral("/dev/null")));
    }

    // A named pipe under a photo's name has no writer: the handler must not
    // wait for one. If it does, a helper opens the pipe after a few seconds
    // (and closes it at once) so that the test ends and reports the wait.
    void namedPipeDoesNotBlock() {
        Window w;
        QVERIFY(w.Read(Good()).isEmpty());
        w->RzBmpButton3Click();
        const QString pipe = scratch.filePath(QStringLiteral("pipe.jpg"));
        const QByteArray name = QFile::encodeName(pipe);
        QVERIFY(::mkfifo(name.constData(), 0644) == 0);
        std::atomic<bool> finished{false};
        std::atomic<bool> rescued{false};
        std::thread rescue([&] {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
            while (!finished && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            while (!finished) {
                const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    rescued = true;
                    ::close(fd);
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        QElapsedTimer clock;
        clock.start();
        const auto shown = w.Read(pipe);
        const qint64 took = clock.elapsed();
        finished = true;
        rescue.join();
        QVERIFY2(!rescued, qPrintable(QStringLiteral("the read waited %1 ms for a writer on a named pipe").arg(took)));
        QVERIFY2(IsMessage(shown, texts::kNotJpeg, texts::kNotice, TForm1::MB_ICONINFORMATION),
                 qPrintable(Describe(shown)));
        w->RzBmpButton3Click();
        w->RzTrackBar1->SetPosition(3);
        CHECK(CheckUsable(w));
    }

    // A photo whose permissions forbid reading. Root reads it all the same,
    // so as root the case runs in a copy of this program as user nobody.
    void unreadableFile() {
        const QString given = qEnvironmentVariable(kChildEnv);
        if (!given.isEmpty()) {
            CHECK(ReadUnreadable(given));
            return;
        }
        const QProcessEnvironment childEnv = ChildEnvironment(scratch.filePath(QStringLiteral("locked.jpg")));
        const QString path = scratch.filePath(QStringLiteral("locked.jpg"));
        QVERIFY(QFile::copy(Good(), path));
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
        if (::geteuid() != 0) {
            CHECK(ReadUnreadable(path));
            return;
        }
        QProcess child;
        QProcessEnvironment env = childEnv;
        // Qt's runtime and settings folders belong to root.
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), env.value(QStringLiteral("TMPDIR")));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QStringLiteral("setpriv"),
                    {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"),
                     QStringLiteral("--"), QCoreApplication::applicationFilePath(), QStringLiteral("unreadableFile")});
        QVERIFY2(child.waitForStarted(10000), "setpriv (util-linux) did not start");
        QVERIFY2(child.waitForFinished(60000), "the unprivileged run did not finish");
        const QString output = QString::fromLocal8Bit(child.readAll());
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, qPrintable(output));
        QVERIFY2(output.contains(QLatin1String("PASS   : TestHostileWindow::unreadableFile()")), qPrintable(output));
    }

    // A device typed into the dialog never ends: the handler must not read
    // it into memory until the machine runs out. A copy of this program
    // reads /dev/zero and is stopped when it passes 1 GB.
    void endlessDevice() {
        const QString given = qEnvironmentVariable(kChildEnv);
        if (!given.isEmpty()) {
            Window w;
            QVERIFY(w.Read(Good()).isEmpty());
            w->RzBmpButton3Click();
            CHECK(CheckCannotRead(w, given));
            return;
        }
        QProcess child;
        child.setProcessEnvironment(ChildEnvironment(QStringLiteral("/dev/zero")));
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("endlessDevice")});
        QVERIFY(child.waitForStarted(10000));
        QElapsedTimer clock;
        clock.start();
        qint64 peak = 0;
        bool stopped = false;
        while (!child.waitForFinished(50)) {
            peak = qMax(peak, ResidentMegabytes(child.processId()));
            if (peak > 1024 || clock.elapsed() > 40000) {
                child.kill();
                child.waitForFinished(10000);
                stopped = true;
                break;
            }
        }
        QVERIFY2(!stopped, qPrintable(QStringLiteral("reading /dev/zero was stopped after %1 ms at %2 MB")
                                          .arg(clock.elapsed())
                                          .arg(peak)));
        const QString output = QString::fromLocal8Bit(child.readAll());
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, qPrintable(output));
        QVERIFY2(output.contains(QLatin1String("PASS   : TestHostileWindow::endlessDevice()")), qPrintable(output));
    }

    // The file is there when the user picks it and gone when the handler
    // reads it (deleted, or its folder removed, by another program).
    void vanishesAfterTheDialog() {
        Window w;
        QVERIFY(w.Read(Good()).isEmpty());
        w->RzBmpButton3Click();
        w->RzTrackBar1->SetPosition(3);
        const QString path = scratch.filePath(QStringLiteral("vanishing.jpg"));
        QVERIFY(QFile::copy(Good(), path));
        w.user->afterOpen = [](const QString& answer) { QFile::remove(answer); };
        CHECK(CheckCannotRead(w, path));

        QTemporaryDir folder;
        const QString inFolder = folder.filePath(QStringLiteral("photo.jpg"));
        QVERIFY(QFile::copy(Good(), inFolder));
        w.user->afterOpen = [&folder](const QString&) { folder.remove(); };
        CHECK(CheckCannotRead(w, inFolder));

        // Replaced by something that is not a photo at all.
        const QString replaced = scratch.filePath(QStringLiteral("replaced.jpg"));
        QVERIFY(QFile::copy(Good(), replaced));
        w.user->afterOpen = [](const QString& answer) {
            QFile::remove(answer);
            WriteBytes(answer, QByteArray("a note, not a photo\n").repeated(600));
        };
        CHECK(CheckCannotRead(w, replaced));
    }
};

QTEST_MAIN(TestHostileWindow)
#include "test_hostile_window.moc"
