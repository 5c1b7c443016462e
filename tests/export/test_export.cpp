// SPDX-License-Identifier: GPL-3.0-or-later
// The export layer: acceptance checks, encoder, quality loop, upload tag and file.
#include <QtTest>

#include <csignal>
#include <grp.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "export/acceptance.h"
#include "export/jpeg_encoder.h"
#include "export/upload_file.h"
#include "photo/jpeg_error.h"

namespace {

// Gradients with a fixed grain; red and blue run differently, so a swap shows.
QImage MakePicture(int w, int h, int grain, QImage::Format format = QImage::Format_RGB32) {
    QImage image(w, h, QImage::Format_RGB32);
    std::mt19937 noise(7);
    std::uniform_int_distribution<int> jitter(-grain, grain);
    const auto channel = [&](int v) { return std::clamp(v + jitter(noise), 0, 255); };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(channel(x * 255 / w), channel(y * 255 / h), channel((x + y) * 3 % 256)));
    return image.convertToFormat(format);
}

// Nine digits, the first not 0, the last the digit sum of the eight before it modulo 10.
bool IsValidTag(const QByteArray& tag) {
    int sum = 0;
    for (int i = 0; i < 8 && tag.size() == 9; ++i)
        sum += tag[i] - '0';
    return QRegularExpression("^[1-9][0-9]{8}$").match(QString::fromLatin1(tag)).hasMatch() && tag[8] - '0' == sum % 10;
}

// Writes the upload file in a child process, where a file-size limit (-1:
// none) and an ordinary user's rights (root writes through any permission
// bits) end with it. Returns the FileError's facts, "" on success.
QString WriteInChild(const QString& path, const QByteArray& jpeg, qint64 limit, bool asUser) {
    int fds[2];
    if (pipe(fds) != 0)
        return QStringLiteral("no pipe");
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        QByteArray message;
        const rlimit fsize{rlim_t(limit), rlim_t(limit)};
        if (limit >= 0 && (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &fsize) != 0))
            message = "cannot limit the file size";
        else if (asUser && geteuid() == 0 && (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
                                              setresuid(65534, 65534, 65534) != 0))
            message = "cannot drop root's rights";
        else
            try {
                upload::WriteUploadFile(path, jpeg);
            } catch (const upload::FileError& e) {
                const bool created = e.step() == upload::FileError::Step::Create;
                message = QStringLiteral("%1 \"%2\". %3").arg(created ? "create" : "write", e.path(), e.reason()).toUtf8();
            }
        _exit(write(fds[1], message.constData(), message.size()) == message.size() ? 0 : 1);
    }
    close(fds[1]);
    QFile out;
    out.open(fds[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    const QString message = QString::fromUtf8(out.readAll());
    int status = -1;  // not an exit status: also when there was no child
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? message : QStringLiteral("the child failed");
}

}  // namespace

class TestExport : public QObject {
    Q_OBJECT
    QByteArray jpeg = upload::EncodeJpeg(MakePicture(200, 280, 20), 90);

private slots:
    // Every threshold at +-1, where t = max(B - 110, 0) or max(R - 110, 0) moves the line.
    void colourClasses_data() {
        QTest::addColumn<QRgb>("colour");
        QTest::addColumn<QString>("colourClass");
        QTest::addColumn<int>("mismatch");
        const struct { int r, g, b; const char* colourClass; int mismatch; } rows[] = {
            {0, 0, 40, "B", 1}, {0, 0, 41, "B", 0}, {100, 149, 110, "B", 0}, {100, 150, 110, "B", 1},
            {100, 150, 111, "B", 0}, {130, 130, 121, "B", 0}, {130, 131, 121, "B", 1}, {128, 128, 128, "B", 0},
            {100, 0, 0, "R", 1}, {101, 0, 0, "R", 0}, {101, 100, 89, "R", 0}, {101, 100, 90, "R", 1},
            {111, 100, 90, "R", 0}, {200, 140, 139, "R", 0}, {200, 140, 140, "R", 1}, {120, 60, 60, "R", 0},
            {201, 201, 201, "W", 0}, {200, 255, 255, "W", 1}, {255, 200, 255, "W", 1}, {255, 255, 200, "W", 1},
            {241, 241, 241, "W1", 0}, {240, 255, 255, "W1", 1}, {255, 240, 255, "W1", 1}, {255, 255, 240, "W1", 1},
            {128, 128, 128, "b", 1}, {128, 128, 128, "", 1}, {255, 255, 255, "W2", 1}};
        for (const auto& c : rows)
            QTest::addRow("%s (%d,%d,%d)", c.colourClass, c.r, c.g, c.b)
                << qRgb(c.r, c.g, c.b) << QString(c.colourClass) << c.mismatch;
    }
    void colourClasses() {
        QFETCH(QRgb, colour);
        QFETCH(QString, colourClass);
        QTEST(upload::ColorMismatch(colour, colourClass), "mismatch");
    }

    // A white photo with one black pixel at each sample point of 200 x 280 and
    // beside it, then small sizes where rounding and the loops' ends matter.
    void sampleWalks_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("black");
        QTest::addColumn<int>("edge");
        QTest::addColumn<int>("bottom");
        const QList<QPoint> edge = {{1, 3}, {41, 3}, {81, 3}, {121, 3}, {161, 3}, {3, 1}, {3, 71}, {197, 1}, {197, 71}};
        const QList<QPoint> bottom = {{1, 277}, {41, 277}, {81, 277}, {121, 277}, {161, 277}};
        for (const QPoint& point : edge + bottom)
            for (const QPoint& step : {QPoint(0, 0), QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)}) {
                const QPoint p = point + step;
                QTest::addRow("200x280 (%d,%d)", p.x(), p.y())
                    << QSize(200, 280) << p << int(edge.contains(p)) << int(!bottom.contains(p));
            }
        QTest::newRow("21x10: x stops before 21") << QSize(21, 10) << QPoint(-1, -1) << 0 << 1;
        QTest::newRow("20x10: y steps by 2") << QSize(20, 10) << QPoint(3, 3) << 1 << 1;
        QTest::newRow("20x10: not y = 4") << QSize(20, 10) << QPoint(3, 4) << 0 << 1;
        QTest::newRow("20x5: y stops before 2") << QSize(20, 5) << QPoint(3, 2) << 0 << 1;
        QTest::newRow("20x4: y stops before 2") << QSize(20, 4) << QPoint(3, 2) << 0 << 1;
    }
    void sampleWalks() {
        QFETCH(QSize, size);
        QFETCH(QPoint, black);
        QImage photo(size, QImage::Format_RGB32);
        photo.fill(Qt::white);
        if (photo.valid(black))
            photo.setPixel(black, qRgb(0, 0, 0));
        QTEST(upload::CountEdgeMismatches(photo, "W"), "edge");
        QTEST(upload::CheckBottomEdge(photo), "bottom");
    }

    void background_data() {
        QTest::addColumn<QRgb>("colour");
        QTest::addColumn<int>("refused");
        QTest::addColumn<bool>("coloured");
        QTest::newRow("blue at the line") << qRgb(100, 149, 110) << 0 << true;
        QTest::newRow("red") << qRgb(230, 30, 30) << 0 << true;
        QTest::newRow("white") << qRgb(210, 210, 210) << 0 << false;
        QTest::newRow("black") << qRgb(0, 0, 0) << 1 << false;
    }
    void background() {
        QFETCH(QRgb, colour);
        QFETCH(bool, coloured);
        QImage photo(200, 280, QImage::Format_RGB888);
        photo.fill(QColor(colour));
        bool flag = !coloured;
        QTEST(upload::CheckBackground(photo, flag), "refused");
        QCOMPARE(flag, coloured);
    }

    // cjpeg runs against the same libjpeg, so a library update moves both sides.
    void matchesCjpeg_data() {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<int>("quality");
        QTest::newRow("q100") << MakePicture(200, 280, 20) << 100;
        QTest::newRow("q75 RGB888") << MakePicture(200, 280, 20, QImage::Format_RGB888) << 75;
        QTest::newRow("q50 BGR888") << MakePicture(200, 280, 40, QImage::Format_BGR888) << 50;
        QTest::newRow("q2 ARGB32") << MakePicture(200, 280, 40, QImage::Format_ARGB32) << 2;
        QTest::newRow("q90 37x23") << MakePicture(37, 23, 10) << 90;
        QTest::newRow("q90 grey") << MakePicture(200, 280, 20, QImage::Format_Grayscale8) << 90;
    }
    void matchesCjpeg() {
        QFETCH(QImage, picture);
        QFETCH(int, quality);
        QTemporaryDir dir;
        const QString ppm = dir.filePath("in.ppm");
        QVERIFY(picture.convertToFormat(QImage::Format_RGB32).save(ppm, "PPM"));
        QProcess cjpeg;
        cjpeg.start(QStandardPaths::findExecutable("cjpeg"),
                    {"-quality", QString::number(quality), "-dct", "float", "-baseline", ppm});
        QVERIFY2(cjpeg.waitForFinished() && cjpeg.exitCode() == 0, "cjpeg (libjpeg-turbo-progs) did not run");
        QVERIFY(upload::EncodeJpeg(picture, quality) == cjpeg.readAllStandardOutput());
    }

    // An empty picture is no failure; one wider than JPEG allows is the codec's.
    void encoderEdges() {
        QVERIFY(upload::EncodeJpeg(QImage(0, 280, QImage::Format_RGB32), 90).isEmpty());
        QVERIFY_THROWS_EXCEPTION(photo::JpegError, upload::EncodeJpeg(QImage(70000, 1, QImage::Format_RGB888), 90));
        const QImage grainy = MakePicture(200, 280, 60);
        QCOMPARE(upload::EncodeWithinLimit(grainy), upload::EncodeWithinLimit(grainy, 30720, upload::EncodeJpeg));
    }

    // A stand-in encoder: quality q gives `size` bytes of q when q <= fitsFrom, else 30721.
    void qualityLoop_data() {
        QTest::addColumn<int>("fitsFrom");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("quality");
        QTest::newRow("fits at 100") << 100 << 1000 << 100;
        QTest::newRow("exactly 30720 bytes") << 100 << 30720 << 100;
        QTest::newRow("30721 bytes at 100") << 98 << 30720 << 98;
        QTest::newRow("fits from 51 down") << 51 << 30000 << 50;
        QTest::newRow("nothing fits") << 0 << 0 << 2;
    }
    void qualityLoop() {
        QFETCH(int, fitsFrom);
        QFETCH(int, size);
        QFETCH(int, quality);
        QList<int> asked, expected;
        const auto encode = [&](const QImage&, int q) {
            asked << q;
            return QByteArray(q <= fitsFrom ? size : 30721, char(q));
        };
        int chosen = 0;
        const QByteArray stream = upload::EncodeWithinLimit(QImage(), upload::kUploadLimit, encode, &chosen);
        for (int q = 100; q >= quality; q -= 2)
            expected << q;
        QCOMPARE(asked, expected);
        QCOMPARE(chosen, quality);
        QCOMPARE(stream, QByteArray(quality <= fitsFrom ? size : 30721, char(quality)));
    }

    void uploadTag_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("tag");
        QTest::newRow("12345") << 12345 << "123450005";
        QTest::newRow("1") << 1 << "100000001";
        QTest::newRow("99999999") << 99999999 << "999999992";
        QTest::newRow("0") << 0 << "";
        QTest::newRow("100000000") << 100000000 << "";
    }
    void uploadTag() {
        QFETCH(int, n);
        QFETCH(QString, tag);
        if (tag.isEmpty())
            QVERIFY_THROWS_EXCEPTION(std::out_of_range, upload::UploadTagFor(n));
        else
            QCOMPARE(upload::UploadTagFor(n), tag);
        QVERIFY(IsValidTag(upload::MakeUploadTag().toLatin1()));
    }

    void jpgExtension_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("saved");
        for (const char* kept : {"/home/u/my.photo.jpg", "/home/u/photo.JPG", "/home/u/photo.Jpg", "C:.jpg"})
            QTest::newRow(kept) << kept << kept;
        for (const char* appended : {"/home/u/photo", "/home/u/photo.jpeg", "/home/u/my.pics/photo", "x.jpg.png",
                                     "x.jpg:photo", "C:\\my.pics\\photo", "photo.\uFF4Apg", "/home/u/照片"})
            QTest::newRow(appended) << appended << QString(appended) + ".jpg";
    }
    void jpgExtension() {
        QFETCH(QString, name);
        QTEST(upload::WithJpgExtension(name), "saved");
    }

    // A failure leaves the old file (or none) and nothing beside it; a writable
    // file in a read-only folder is written in place, and emptied on a failure.
    void uploadFile_data() {
        QTest::addColumn<bool>("old");
        QTest::addColumn<int>("oldMode");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("after");  // "old", "tagged" or "empty"
        for (const bool old : {false, true}) {
            const char* what = old ? "replacing" : "new";
            QTest::addRow("%s, saved", what) << old << 0644 << "" << qint64(-1) << "" << "tagged";
            for (const qint64 limit : {qint64(0), qint64(jpeg.size() / 2), qint64(jpeg.size() + 4)})
                QTest::addRow("%s, cut at %lld", what, limit) << old << 0644 << "" << limit << "write" << "old";
            QTest::addRow("%s, read-only folder", what) << old << 0444 << "ro" << qint64(-1) << "create" << "old";
        }
        QTest::newRow("missing folder") << false << 0644 << "missing" << qint64(-1) << "create" << "old";
        QTest::newRow("in place") << true << 0666 << "ro" << qint64(-1) << "" << "tagged";
        QTest::newRow("in place, cut") << true << 0666 << "ro" << qint64(jpeg.size() / 2) << "write" << "empty";
    }
    void uploadFile() {
        QFETCH(bool, old);
        QFETCH(int, oldMode);
        QFETCH(QString, folder);
        QFETCH(qint64, limit);
        QFETCH(QString, failure);
        QFETCH(QString, after);
        QTemporaryDir dir;
        const auto mode = [](const QString& path, mode_t bits) { return chmod(QFile::encodeName(path), bits) == 0; };
        QVERIFY(mode(dir.path(), 0755));  // an ordinary user passes through to the folder
        const QString inside = folder.isEmpty() ? dir.path() : dir.filePath(folder);
        QVERIFY(folder == "missing" || QDir().mkpath(inside));
        const QString path = inside + "/photo.jpg";
        const QByteArray oldBytes("OLD PHOTO");
        if (old) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(oldBytes) == oldBytes.size());
            QVERIFY(mode(path, oldMode));
        }
        QVERIFY(folder != "ro" || mode(inside, 0555));
        const QString message = WriteInChild(path, jpeg, limit, folder == "ro");
        QVERIFY(folder != "ro" || mode(inside, 0755));

        const QString prefix = QStringLiteral("%1 \"%2\". ").arg(failure, path);
        QVERIFY2(failure.isEmpty() ? message.isEmpty() : message.startsWith(prefix) && message.size() > prefix.size(),
                 qPrintable(message));
        QFile file(path);
        const QByteArray saved = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (after == "tagged")
            QVERIFY(saved.size() == jpeg.size() + 9 && saved.startsWith(jpeg) && IsValidTag(saved.right(9)));
        else
            QCOMPARE(saved, after == "old" && old ? oldBytes : QByteArray());
        QCOMPARE(QDir(inside).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 old || after == "tagged" ? QStringList{"photo.jpg"} : QStringList());
    }
};

QTEST_GUILESS_MAIN(TestExport)
#include "test_export.moc"
