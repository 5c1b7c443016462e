// The face check against fixtures derived from a public-domain portrait
// (see tests/data/face/README.md) and the system's OpenCV cascade.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cstdio>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "face/detector.h"
#include "face/face_check.h"

namespace {

const QString kCascadeName = QStringLiteral("haarcascade_frontalface_alt.xml");

QString Fixture(const QString& name) {
    return QStringLiteral(EXAM_TESTDATA_DIR "/face/") + name;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The folder of the system's cascade, standing in for the program's folder.
QString SystemCascadeFolder() {
    return QFileInfo(QStringLiteral(EXAM_CASCADE_FILE)).absolutePath() + QLatin1Char('/');
}

QString Canonical(const QString& folder) {
    return QFileInfo(folder).canonicalFilePath() + QLatin1Char('/');
}

// Runs the face check and returns its failure text, or an empty string
// when it did not fail.
template <typename Check>
QString FailureOf(Check check) {
    try {
        check();
    } catch (const face::FaceCheckError& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

// Run through a symbolic link by realLookupThroughSymlink(): prints the
// program folder and the face count of argv[1], with the cascade looked up
// the way the program does it.
int RunChild(int argc, char** argv) {
    std::printf("%s\n", face::ProgramFolder().toUtf8().constData());
    if (argc > 1) {
        try {
            face::CountFaces(QString::fromLocal8Bit(argv[1]));
            std::printf("%d\n", face::FaceCount);
        } catch (const face::FaceCheckError& e) {
            std::printf("error: %s\n", e.what());
        }
    }
    return 0;
}

}  // namespace

class TestFaceCheck : public QObject {
    Q_OBJECT

private:
    void LoadCascade() {
        if (!face::FaceCascade)
            face::CountFaces(Fixture(QStringLiteral("no_face.jpg")), SystemCascadeFolder());
        QVERIFY(face::FaceCascade);
    }

private slots:
    void stateAtStart() {
        QCOMPARE(face::FaceCount, 0);
        QVERIFY(!face::FaceCascade);
    }

    void counts_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("expected");
        QTest::newRow("portrait") << "portrait.jpg" << 1;
        QTest::newRow("no face") << "no_face.jpg" << 0;
        QTest::newRow("two faces, both counted") << "two_faces.jpg" << 2;
        QTest::newRow("face under 20 x 20") << "tiny_face.jpg" << 0;
        QTest::newRow("greyscale JPEG") << "grey_portrait.jpg" << 1;
    }
    void counts() {
        QFETCH(QString, file);
        QFETCH(int, expected);
        face::FaceCount = -1;
        face::CountFaces(Fixture(file), SystemCascadeFolder());
        QCOMPARE(face::FaceCount, expected);
        QCOMPARE(int(face::FaceRects.size()), expected);
        for (const cv::Rect& r : face::FaceRects)
            QVERIFY2(r.width >= 20 && r.height >= 20, "a face under the minimum size");
    }

    void countsInMemoryJpeg_data() { counts_data(); }
    void countsInMemoryJpeg() {
        QFETCH(QString, file);
        QFETCH(int, expected);
        face::FaceCount = -1;
        face::CountFacesInJpeg(ReadAll(Fixture(file)), SystemCascadeFolder());
        QCOMPARE(face::FaceCount, expected);
    }

    // The tiny face is a real face: at twice the size it is found, so its 0
    // comes from the minimum size alone.
    void tinyFaceIsFoundWhenLarger() {
        LoadCascade();
        const cv::Mat tiny = face::DecodeUpright(ReadAll(Fixture(QStringLiteral("tiny_face.jpg"))));
        QVERIFY(!tiny.empty());
        cv::Mat doubled;
        cv::resize(tiny, doubled, cv::Size(), 2.0, 2.0, cv::INTER_LINEAR);
        face::DetectFaces(doubled);
        QCOMPARE(face::FaceCount, 1);
        face::DetectFaces(tiny);
        QCOMPARE(face::FaceCount, 0);
    }

    // A photo over the search size is searched reduced; the face comes back
    // in the photo's own pixels, where it is at the smaller size.
    void largePhotoIsSearchedReduced() {
        LoadCascade();
        const cv::Mat small = face::DecodeUpright(ReadAll(Fixture(QStringLiteral("portrait.jpg"))));
        face::DetectFaces(small);
        QCOMPARE(face::FaceCount, 1);
        const cv::Rect atOne = face::FaceRects[0];
        cv::Mat large;
        cv::resize(small, large, cv::Size(), 16.0, 16.0, cv::INTER_LINEAR);
        QVERIFY(double(large.total()) > face::kMaxDetectPixels);
        face::DetectFaces(large);
        QVERIFY(face::FaceCount >= 1);
        // (The blurred enlargement may show a few more, smaller "faces".)
        const cv::Rect found = *std::max_element(face::FaceRects.begin(), face::FaceRects.end(),
                                                 [](const cv::Rect& a, const cv::Rect& b) { return a.area() < b.area(); });
        const double tolerance = 0.1 * large.cols;
        QVERIFY(std::abs((found.x + found.width / 2) - 16 * (atOne.x + atOne.width / 2)) < tolerance);
        QVERIFY(std::abs((found.y + found.height / 2) - 16 * (atOne.y + atOne.height / 2)) < tolerance);
        QVERIFY(std::abs(found.width - 16 * atOne.width) < tolerance);
    }

    void greyscaleIsLoadedAsColour() {
        const QByteArray grey = ReadAll(Fixture(QStringLiteral("grey_portrait.jpg")));
        QCOMPARE(cv::imdecode(cv::Mat(1, int(grey.size()), CV_8UC1, const_cast<char*>(grey.constData())),
                              cv::IMREAD_UNCHANGED)
                     .channels(),
                 1);
        const cv::Mat image = face::DecodeUpright(grey);
        QCOMPARE(image.type(), CV_8UC3);
        QCOMPARE(image.cols, 256);
        QCOMPARE(image.rows, 256);
    }

    // The pixels lie on their side and only the EXIF tag turns them upright,
    // as the screen shows them.
    void sidewaysPortraitIsTurnedUpright() {
        const QString path = Fixture(QStringLiteral("sideways_exif8.jpg"));
        LoadCascade();
        face::DetectFaces(cv::imread(QFile::encodeName(path).toStdString(),
                                     cv::IMREAD_COLOR | cv::IMREAD_IGNORE_ORIENTATION));
        QCOMPARE(face::FaceCount, 0);
        face::CountFaces(path, SystemCascadeFolder());
        QCOMPARE(face::FaceCount, 1);
        face::CountFacesInJpeg(ReadAll(path), SystemCascadeFolder());
        QCOMPARE(face::FaceCount, 1);
    }

    void pathWithChineseAndSpaces() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("考试 照片/证件 照.jpg"));
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QVERIFY(QFile::copy(Fixture(QStringLiteral("two_faces.jpg")), path));
        face::CountFaces(path, SystemCascadeFolder());
        QCOMPARE(face::FaceCount, 2);
    }

    void unreadableImageFails_data() {
        QTest::addColumn<QByteArray>("content");  // null: no such file
        QTest::newRow("missing file") << QByteArray();
        QTest::newRow("empty file") << QByteArray("");
        QTest::newRow("not an image") << QByteArray("just some text, not a picture\n");
        QTest::newRow("cut-off JPEG") << ReadAll(Fixture(QStringLiteral("portrait.jpg"))).left(2);
    }
    void unreadableImageFails() {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("photo 1.jpg"));
        if (!content.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        face::CountFaces(Fixture(QStringLiteral("two_faces.jpg")), SystemCascadeFolder());
        QCOMPARE(face::FaceCount, 2);

        QCOMPARE(FailureOf([&] { face::CountFaces(path, SystemCascadeFolder()); }),
                 QStringLiteral("Cannot read the image \"%1\".").arg(path));
        QCOMPARE(face::FaceCount, 2);
        QVERIFY(face::FaceRects.empty());
        if (!content.isNull()) {
            QCOMPARE(FailureOf([&] { face::CountFacesInJpeg(content, SystemCascadeFolder()); }),
                     QStringLiteral("Cannot decode the JPEG data to check for faces."));
            QCOMPARE(face::FaceCount, 2);
        }
    }

    void directoryAsImageFails() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(!FailureOf([&] { face::CountFaces(dir.path(), SystemCascadeFolder()); }).isEmpty());
    }

    // Without a cascade or an image the detector fails with its own short
    // text, never with OpenCV's exception or a silent count of 0.
    void detectFacesNeedsCascadeAndImage() {
        const cv::Mat portrait = face::DecodeUpright(ReadAll(Fixture(QStringLiteral("portrait.jpg"))));
        face::FaceCascade.reset();
        face::FaceCount = 7;
        QCOMPARE(FailureOf([&] { face::DetectFaces(portrait); }),
                 QStringLiteral("No face cascade is loaded."));
        face::FaceCascade = std::make_unique<cv::CascadeClassifier>();  // loaded nothing
        QCOMPARE(FailureOf([&] { face::DetectFaces(portrait); }),
                 QStringLiteral("No face cascade is loaded."));
        face::FaceCascade.reset();
        LoadCascade();
        face::FaceCount = 7;
        QCOMPARE(FailureOf([&] { face::DetectFaces(cv::Mat()); }),
                 QStringLiteral("There is no image to check for faces."));
        QCOMPARE(face::FaceCount, 7);
    }

    void cascadeMissingThenPutBack() {
        face::CountFaces(Fixture(QStringLiteral("two_faces.jpg")), SystemCascadeFolder());
        QCOMPARE(face::FaceCount, 2);
        face::FaceCascade.reset();

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString folder = dir.path() + QLatin1Char('/');
        const QString cascadePath = folder + kCascadeName;
        const QString portrait = Fixture(QStringLiteral("portrait.jpg"));
        const QString missing = QStringLiteral("Cannot load the face cascade \"%1\".").arg(cascadePath);

        // Every check fails, and tries again.
        QCOMPARE(FailureOf([&] { face::CountFaces(portrait, folder); }), missing);
        QCOMPARE(FailureOf([&] { face::CountFaces(portrait, folder); }), missing);
        QCOMPARE(FailureOf([&] { face::CountFacesInJpeg(ReadAll(portrait), folder); }), missing);
        QVERIFY(!face::FaceCascade);
        QCOMPARE(face::FaceCount, 2);

        // A damaged file is no cascade either.
        {
            QFile damaged(cascadePath);
            QVERIFY(damaged.open(QIODevice::WriteOnly));
            damaged.write("<?xml version=\"1.0\"?>\n<opencv_storage>\n<cascade>broken");
        }
        QCOMPARE(FailureOf([&] { face::CountFaces(portrait, folder); }), missing);
        QVERIFY(!face::FaceCascade);
        QCOMPARE(face::FaceCount, 2);
        QVERIFY(QFile::remove(cascadePath));

        // Put back: the next check succeeds without a restart.
        QVERIFY(QFile::copy(QStringLiteral(EXAM_CASCADE_FILE), cascadePath));
        face::CountFaces(portrait, folder);
        QCOMPARE(face::FaceCount, 1);
        QVERIFY(face::FaceCascade);

        // Loaded once, then kept: the file is no longer needed.
        QVERIFY(QFile::remove(cascadePath));
        face::CountFaces(Fixture(QStringLiteral("two_faces.jpg")), folder);
        QCOMPARE(face::FaceCount, 2);
    }

    void programFolderIsTheExecutablesFolder() {
        const QString folder = face::ProgramFolder();
        QVERIFY(folder.endsWith(QLatin1Char('/')));
        QCOMPARE(folder, QFileInfo(QCoreApplication::arguments().constFirst()).canonicalPath() + QLatin1Char('/'));
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        QCOMPARE(face::ProgramFolder(), folder);
        QVERIFY(QDir::setCurrent(before));
    }

    void cascadeInCurrentDirectoryIsNotFound() {
        const QString besideProgram = face::ProgramFolder() + kCascadeName;
        if (QFile::exists(besideProgram))
            QSKIP("the test's own folder holds a cascade");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QFile::copy(QStringLiteral(EXAM_CASCADE_FILE), dir.filePath(kCascadeName)));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        face::FaceCascade.reset();
        face::FaceCount = 5;
        const QString missing = QStringLiteral("Cannot load the face cascade \"%1\".").arg(besideProgram);
        const QString portrait = Fixture(QStringLiteral("portrait.jpg"));
        const QString viaFile = FailureOf([&] { face::CountFaces(portrait); });
        const QString viaMemory = FailureOf([&] { face::CountFacesInJpeg(ReadAll(portrait)); });
        const QString viaRelative = FailureOf([&] { face::CountFaces(portrait, QStringLiteral("./")); });
        QVERIFY(QDir::setCurrent(before));
        QCOMPARE(viaFile, missing);
        QCOMPARE(viaMemory, missing);
        QCOMPARE(viaRelative, QStringLiteral("Cannot load the face cascade \"./%1\".").arg(kCascadeName));
        QCOMPARE(face::FaceCount, 5);
        QVERIFY(!face::FaceCascade);
    }

    // The real lookup: a copy of this program with the cascade beside it,
    // started through a symbolic link from another folder, finds the cascade
    // beside itself and not beside the link or in the current directory.
    void realLookupThroughSymlink() {
        QTemporaryDir programDir;
        QTemporaryDir linkDir;
        QVERIFY(programDir.isValid() && linkDir.isValid());
        const QString program = programDir.filePath(QStringLiteral("face-check"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
        QVERIFY(QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner));
        QVERIFY(QFile::copy(QStringLiteral(EXAM_CASCADE_FILE), programDir.filePath(kCascadeName)));
        const QString link = linkDir.filePath(QStringLiteral("linked"));
        QVERIFY(QFile::link(program, link));

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("EXAM_FACE_CHILD"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.setWorkingDirectory(linkDir.path());
        child.start(link, {Fixture(QStringLiteral("portrait.jpg"))});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        const QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split(QLatin1Char('\n'));
        QVERIFY2(lines.size() >= 2, qPrintable(lines.join(QLatin1Char('|'))));
        QCOMPARE(lines.at(0), Canonical(programDir.path()));
        QCOMPARE(lines.at(1), QStringLiteral("1"));
    }
};

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsSet("EXAM_FACE_CHILD"))
        return RunChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestFaceCheck test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_face_check.moc"
