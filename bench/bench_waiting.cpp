// SPDX-License-Identifier: GPL-3.0-or-later
// What the user waits for with a large photo: how long the window goes
// without answering while it reads one, and what memory the tool keeps once
// the work is over. Each next to a baseline from the same run.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "bench/bench_job.h"
#include "bench/wait_for_step.h"
#include "ui/window/user_dialogs.h"
#include "workspace/photo_workspace.h"

namespace {

class SilentUser : public UserDialogs {
public:
    QString OpenPictureName(QWidget*) override { return {}; }
    QString SavePictureName(QWidget*) override { return {}; }
    void ShowMessage(QWidget*, const QString&, const QString&, int) override {}
};

QString Beside(const char* program) {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(program);
}

// A W x H portrait on blue, made as the memory probe makes them.
bool MakePhoto(const QString& path, int width, int height) {
    return QProcess::execute(QStringLiteral("sh"),
                             {QStringLiteral("-c"), QStringLiteral("'%1' --ppm %2 %3 | cjpeg -quality 90 > '%4'")
                                                        .arg(Beside("exam-photo-read-memory"))
                                                        .arg(width)
                                                        .arg(height)
                                                        .arg(path)}) == 0;
}

// The longest time between two ticks of a 10 ms timer on the window's
// thread while `read` runs, until the photo is shown.
double LongestGapMs(const std::function<void()>& read) {
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    tick.start();
    clock.start();
    read();
    longest = std::max(longest, clock.elapsed() - last);
    return double(longest);
}

long ResidentKiB(const QStringList& photos) {
    QProcess probe;
    probe.start(Beside("exam-photo-read-memory"), QStringList{QStringLiteral("--resident")} + photos);
    probe.waitForFinished(600000);
    return probe.readAllStandardOutput().trimmed().toLong();
}

}  // namespace

void BenchWaiting() {
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("50mp.jpg"));
    const QString phone = dir.filePath(QStringLiteral("24mp.jpg"));
    const QString small = QStringLiteral(EXAM_TESTDATA_DIR "/workflow/studio_blue.jpg");
    if (!MakePhoto(big, 8660, 5773) || !MakePhoto(phone, 6000, 4000)) {
        std::printf("\n(cjpeg is needed for the large photos)\n");
        return;
    }
    std::printf("\nWaiting for a large photo\n");
    std::printf("%-52s %10s %12s\n", "", "exam-photo", "baseline");

    // Ours: the read handler, its long step off the window's thread. The
    // baseline: the same read done on the window's thread.
    auto form = std::make_unique<TForm1>(std::make_unique<SilentUser>());
    form->show();
    const double ours = LongestGapMs([&] {
        form->ReadPhotoFile(big);
        WaitForStep(*form);
    });
    const double blocked = LongestGapMs([&] {
        workspace::PhotoWorkspace ws;
        ws.Read(big);
    });
    std::printf("%-52s %8.0f ms %9.0f ms\n", "longest the window does not answer, reading 50 MP", ours, blocked);

    // A close 100 ms into the read of the 50 MP photo, until the window is
    // gone, against the whole read that a close used to wait for.
    QElapsedTimer whole;
    whole.start();
    form->ReadPhotoFile(big);
    WaitForStep(*form);
    const double readMs = whole.elapsed();
    QElapsedTimer closing;
    form->ReadPhotoFile(QStringLiteral(EXAM_TESTDATA_DIR "/workflow/studio_blue.jpg"));
    WaitForStep(*form);
    form->ReadPhotoFile(big);
    QTimer::singleShot(100, form.get(), [&] {
        closing.start();
        form->close();
    });
    WaitForStep(*form);
    std::printf("%-52s %8lld ms %9.0f ms\n", "a close during that read, until the window is gone",
                form->isVisible() ? -1LL : closing.elapsed(), readMs);

    // Memory once the work is over: a 24 MP photo then the small one, against
    // the small one alone in a fresh process.
    const long after = ResidentKiB({phone, small});
    const long alone = ResidentKiB({small});
    std::printf("%-52s %7.0f MiB %8.0f MiB   %.2fx\n", "resident after 24 MP then a small photo (vs small alone)",
                after / 1024.0, alone / 1024.0, double(after) / alone);
}

void BenchSideways() {
    std::printf("\nA phone's portrait stored sideways (EXIF orientation 6) against the same picture upright, read\n"
                "through the window in a fresh process each, in turns three times: best time, middle peak\n");
    std::printf("%-30s %10s %10s %7s %12s %12s %7s\n", "photo", "upright", "sideways", "ratio", "upright", "sideways",
                "ratio");
    std::fflush(stdout);
    for (const auto& [width, height] : {std::pair{3000, 4000}, std::pair{12000, 16000}}) {
        QProcess probe;
        probe.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        probe.start(Beside("exam-photo-read-memory"),
                    {QStringLiteral("--turned"), QString::number(width), QString::number(height)});
        probe.waitForFinished(-1);
    }
}
