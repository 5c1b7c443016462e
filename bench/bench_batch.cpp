// SPDX-License-Identifier: GPL-3.0-or-later
// A class's folder through `exam-photo --batch`: one job against two, one
// job against the window's own steps on the same photos, and the batch
// against the script a teacher would write with OpenCV's Python.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/bench_job.h"
#include "bench/wait_for_step.h"
#include "export/jpeg_encoder.h"
#include "heads.h"
#include "ui/scripted_dialogs.h"

namespace {

QString Program() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../exam-photo");
}

// Seconds the batch takes over the folder, into a fresh output folder (or
// into what an earlier run left there).
double BatchSeconds(const QString& folder, const QString& output, int jobs, const QStringList& more = {},
                    bool fresh = true) {
    if (fresh)
        QDir(output).removeRecursively();
    QProcess batch;
    batch.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    batch.start(Program(), QStringList{QStringLiteral("--batch"), folder, output, QStringLiteral("--jobs"),
                                       QString::number(jobs)} + more);
    batch.waitForFinished(-1);
    return clock.nsecsElapsed() / 1e9;
}

// The script a teacher would write: per photo, OpenCV's read, the same
// detection, the frame cut around the face, resized and encoded.
const char* kScript = R"(
import cv2, os, sys
cascade = cv2.CascadeClassifier(sys.argv[1])
out = sys.argv[2]
for path in sys.argv[3:]:
    image = cv2.imread(path)
    if image is None:
        continue
    faces = cascade.detectMultiScale(image, 1.1, 2, cv2.CASCADE_DO_CANNY_PRUNING, (20, 20))
    if len(faces) == 0:
        continue
    x, y, w, h = max(faces, key=lambda f: f[2] * f[3])
    cx, cy = x + w // 2, y + h // 2
    top, left = max(0, cy - int(1.6 * w)), max(0, cx - w)
    crop = cv2.resize(image[top:top + int(2.8 * w), left:left + 2 * w], (200, 280))
    ok, jpeg = cv2.imencode(".jpg", crop, [cv2.IMWRITE_JPEG_QUALITY, 90])
    open(os.path.join(out, os.path.basename(path)), "wb").write(jpeg.tobytes())
)";

}  // namespace

void BenchBatch() {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("class"));
    QDir().mkpath(folder);
    // 60 phone-like 12 MP portraits (six people, ten photos each) and 20 small ones.
    const heads::Look looks[] = {heads::kDarkOnBlue, heads::kBrownOnRed, heads::kBlondOnWhite};
    QStringList photos;
    for (int person = 0; person < 6; ++person) {
        const QByteArray big = upload::EncodeJpeg(
            heads::MakePortrait(QSize(3000, 4000), 1400 + 40 * person, 700 + 60 * person, 1100 + 50 * person,
                                looks[person % 3], unsigned(person + 1))
                .photo,
            90);
        for (int copy = 0; copy < 10; ++copy) {
            photos << QStringLiteral("%1/p%2_%3.jpg").arg(folder).arg(person).arg(copy);
            QFile out(photos.back());
            out.open(QIODevice::WriteOnly);
            out.write(big);
        }
    }
    for (int i = 0; i < 20; ++i) {
        const QSize size(300 + 20 * i, 400 + 25 * i);
        photos << QStringLiteral("%1/small_%2.jpg").arg(folder).arg(i, 2, 10, QLatin1Char('0'));
        QFile out(photos.back());
        out.open(QIODevice::WriteOnly);
        out.write(upload::EncodeJpeg(heads::MakePortrait(size, size.width() / 2, size.height() / 5,
                                                         size.width() * 2 / 5, looks[i % 3], unsigned(100 + i))
                                         .photo,
                                     92));
    }
    const int count = int(photos.size());
    std::printf("\nA class's folder: 60 portraits of 12 MP and 20 small ones\n");

    // One job and two take turns, three times each; the medians count.
    std::vector<double> ones, twos;
    for (int i = 0; i < 3; ++i) {
        ones.push_back(BatchSeconds(folder, dir.filePath(QStringLiteral("one")), 1));
        twos.push_back(BatchSeconds(folder, dir.filePath(QStringLiteral("two")), 2));
    }
    std::sort(ones.begin(), ones.end());
    std::sort(twos.begin(), twos.end());
    const double one = ones[1], two = twos[1];
    std::printf("%-52s %8.2f photos/s, %.2f photos/s with two: %.2fx\n", "exam-photo --batch, one job", count / one,
                count / two, one / two);

    // A roster naming every photo, two jobs; then a run over what that left,
    // every photo kept: its digest, the journal and the kept photo's judging.
    const QString names = dir.filePath(QStringLiteral("names.csv"));
    {
        QFile roster(names);
        roster.open(QIODevice::WriteOnly);
        for (const QString& photo : photos)
            roster.write((QFileInfo(photo).fileName() + QStringLiteral(",ID") + QFileInfo(photo).baseName() + "\n").toUtf8());
    }
    std::vector<double> rostered, resumed;
    for (int i = 0; i < 3; ++i) {
        const QString output = dir.filePath(QStringLiteral("roster"));
        rostered.push_back(BatchSeconds(folder, output, 2, {QStringLiteral("--names"), names}));
        resumed.push_back(BatchSeconds(folder, output, 2, {QStringLiteral("--names"), names}, false));
    }
    std::sort(rostered.begin(), rostered.end());
    std::sort(resumed.begin(), resumed.end());
    std::printf("%-52s %8.2f photos/s against %.2f without: %.2fx the time\n", "with a roster, two jobs",
                count / rostered[1], count / two, rostered[1] / two);
    std::printf("%-52s %8.1f ms a photo, every one kept\n", "a resumed run, two jobs", 1000 * resumed[1] / count);

    // The window's own steps on every photo: read, double-click, crop, save.
    auto owned = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs* user = owned.get();
    TForm1 form(std::move(owned));
    form.show();
    const QString saved = dir.filePath(QStringLiteral("window"));
    QDir().mkpath(saved);
    std::vector<double> passes;
    for (int pass = 0; pass < 3; ++pass) {
        QElapsedTimer clock;
        clock.start();
        for (const QString& photo : photos) {
            user->openAnswers = {photo};
            form.RzBmpButton1Click();
            WaitForStep(form);
            form.Image1DblClick(Qt::LeftButton, {}, 10, 10);
            form.RzBmpButton3Click();
            user->saveAnswers = {saved + QLatin1Char('/') + QFileInfo(photo).fileName()};
            form.RzBmpBtnSaveClick();
            WaitForStep(form);
        }
        passes.push_back(clock.nsecsElapsed() / 1e9);
    }
    std::sort(passes.begin(), passes.end());
    const double window = passes[1];
    std::printf("%-52s %8.1f ms a photo, the window's steps %.1f ms: %.2fx\n", "one job, a photo", 1000 * one / count,
                1000 * window / count, one / window);

    // OpenCV's Python on every fourth photo (the same mix), one process.
    QStringList some;
    for (int i = 0; i < count; i += 4)
        some << photos[i];
    const QString script = dir.filePath(QStringLiteral("class.py"));
    {
        QFile file(script);
        file.open(QIODevice::WriteOnly);
        file.write(kScript);
    }
    const QString pythonOut = dir.filePath(QStringLiteral("python"));
    QDir().mkpath(pythonOut);
    QElapsedTimer clock;
    clock.start();
    const int status = QProcess::execute(QStringLiteral("/usr/bin/python3"),
                                         QStringList{script,
                                                     QCoreApplication::applicationDirPath() +
                                                         QStringLiteral("/haarcascade_frontalface_alt.xml"),
                                                     pythonOut} +
                                             some);
    const double python = clock.nsecsElapsed() / 1e9;
    if (status != 0)
        std::printf("  (the OpenCV script needs Debian's python3-opencv)\n");
    else
        std::printf("%-52s %8.2f photos/s, exam-photo --batch %.2f photos/s: %.1fx\n", "OpenCV's Python, one process",
                    some.size() / python, count / two, (count / two) / (some.size() / python));

    // Eight 100 MP photos eight at a time, in a process of their own: its peak
    // memory, and the decoded pixels held at once against the bound.
    const QString large = dir.filePath(QStringLiteral("large"));
    QDir().mkpath(large);
    const QString probe = QCoreApplication::applicationDirPath() + QStringLiteral("/exam-photo-read-memory");
    const QString first = large + QStringLiteral("/p0.jpg");
    if (QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("'%1' --ppm 8660 11547 | cjpeg -quality 90 > '%2'")
                                                                        .arg(probe, first)}) != 0) {
        std::printf("  (cjpeg is needed for the large photos)\n");
        return;
    }
    for (int i = 1; i < 8; ++i)
        QFile::copy(first, large + QStringLiteral("/p%1.jpg").arg(i));
    QProcess run;
    run.start(probe, {QStringLiteral("--batch"), large, dir.filePath(QStringLiteral("large_out")), QStringLiteral("8")});
    run.waitForFinished(-1);
    std::printf("%s", run.readAllStandardOutput().constData());
}
