// SPDX-License-Identifier: GPL-3.0-or-later
// Peak memory and time of reading one photo through the window, as a user
// does it: the read-photo handler (file, header, decode, first drawing, face
// check), then the zoom slider stepped through its range. Not a test.
//
//   exam-photo-read-memory PHOTO.jpg          measure one read (one process per photo:
//                                             the peak is the process's own)
//   exam-photo-read-memory --layers PHOTO.jpg the handler's parts timed one by one
//   exam-photo-read-memory --resident A.jpg B.jpg  resident memory (KiB) after reading
//                                             A, then B, through the window
//   exam-photo-read-memory --ppm W H [6]      a W x H portrait on a plain blue
//                                             background, as PPM on stdout, row by
//                                             row (for cjpeg; needs no W x H buffer);
//                                             with 6, stored sideways (H x W), as a
//                                             phone stores it for EXIF orientation 6
//   exam-photo-read-memory --batch IN OUT N   a batch run of the folder IN with N jobs in
//                                             this process: its peak, and what its photos held
//                                             at once by the run's reckoning, against its bound
//   exam-photo-read-memory --turned W H [N]   the read of a W x H portrait and of the
//                                             same photo stored sideways with EXIF
//                                             orientation 6, each in a process of its
//                                             own, in turns N times (3): the best time
//                                             and the middle peak of each, and ratios
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "face/face_check.h"
#include "photo/jpeg_decoder.h"
#include "batch/batch_plan.h"
#include "batch/batch_run.h"
#include "bench/wait_for_step.h"
#include "ui/window/main_window.h"
#include "ui/controls/photo_view.h"
#include "ui/scripted_dialogs.h"
#include "ui/controls/zoom_slider.h"

namespace {

double MiB(long kib) { return kib / 1024.0; }

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The resident size now (VmRSS), in KiB.
long CurrentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void Report(const char* stage, double seconds) {
    std::printf("%-34s %8.3f s   peak %8.1f MiB   now %8.1f MiB\n", stage, seconds, MiB(PeakKiB()),
                MiB(CurrentKiB()));
    std::fflush(stdout);
}

// A portrait fixture stretched over the middle of a W x H blue background,
// with a little sensor noise so that the JPEG is as large as a camera's. The
// noise is a function of the place, so that the photo stored sideways shows
// the very same pixels once turned.
class Portrait {
public:
    Portrait(int width, int height)
        : head_(QImage(QStringLiteral(EXAM_TESTDATA_DIR "/workflow/studio_blue.jpg"))
                    .convertToFormat(QImage::Format_RGB888)),
          headHeight_(height * 9 / 10),  // the portrait fills 90% of the height, centred
          headWidth_(static_cast<int>(static_cast<long long>(headHeight_) * head_.width() / head_.height())),
          left_((width - headWidth_) / 2),
          top_((height - headHeight_) / 2) {}
    bool IsNull() const { return head_.isNull(); }

    void Pixel(int x, int y, unsigned char* px) const {
        const int hx = x - left_, hy = y - top_;
        if (hx >= 0 && hx < headWidth_ && hy >= 0 && hy < headHeight_) {
            const uchar* row = head_.constScanLine(static_cast<int>(static_cast<long long>(hy) * head_.height() / headHeight_));
            std::memcpy(px, row + static_cast<long long>(hx) * head_.width() / headWidth_ * 3, 3);
        } else {
            px[0] = 20;
            px[1] = 50;
            px[2] = 210;
        }
        unsigned noise = static_cast<unsigned>(x) * 73856093u ^ static_cast<unsigned>(y) * 19349663u;
        noise = noise * 1103515245u + 12345u;
        const int n = static_cast<int>((noise >> 16) % 13) - 6;
        for (int c = 0; c < 3; ++c)
            px[c] = static_cast<unsigned char>(std::clamp(px[c] + n, 0, 255));
    }

private:
    QImage head_;
    int headHeight_, headWidth_, left_, top_;
};

// Orientation 6 turns the stored raster a quarter clockwise: stored pixel
// (x, y) of the H x W raster is upright pixel (W - 1 - y, x).
int WritePpm(int width, int height, int orientation) {
    const Portrait portrait(width, height);
    if (portrait.IsNull() || width <= 0 || height <= 0)
        return 2;
    const bool sideways = orientation == 6;
    const int storedWidth = sideways ? height : width, storedHeight = sideways ? width : height;
    std::printf("P6\n%d %d\n255\n", storedWidth, storedHeight);
    std::vector<unsigned char> row(static_cast<size_t>(storedWidth) * 3);
    for (int y = 0; y < storedHeight; ++y) {
        for (int x = 0; x < storedWidth; ++x) {
            unsigned char* px = &row[static_cast<size_t>(x) * 3];
            if (sideways)
                portrait.Pixel(width - 1 - y, x, px);
            else
                portrait.Pixel(x, y, px);
        }
        if (std::fwrite(row.data(), 1, row.size(), stdout) != row.size())
            return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// An EXIF block that says orientation 6, put right after the start marker.
QByteArray WithOrientation6(const QByteArray& jpeg) {
    const QByteArray tiff = QByteArray("MM\x00\x2a\x00\x00\x00\x08\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01"
                                       "\x00\x06\x00\x00\x00\x00\x00\x00", 26);
    const QByteArray exif = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xff\xe1", 2);
    segment.append(char((exif.size() + 2) >> 8)).append(char((exif.size() + 2) & 0xff)).append(exif);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

// Makes the W x H portrait as a JPEG at `path`, upright or stored sideways
// with orientation 6: the very same pixels once turned.
bool MakeTurnedPhoto(const QString& self, const QString& path, int width, int height, int orientation) {
    QProcess maker;
    maker.setStandardOutputFile(path);
    maker.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("'%1' --ppm %2 %3 %4 | cjpeg -quality 90")
                                                              .arg(self).arg(width).arg(height).arg(orientation)});
    if (!maker.waitForFinished(-1) || maker.exitCode() != 0)
        return false;
    if (orientation != 6)
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray turned = WithOrientation6(file.readAll());
    file.close();
    return file.open(QIODevice::WriteOnly) && file.write(turned) == turned.size();
}

// One read through the window in a fresh process: its time and its peak.
std::pair<double, double> ReadInProcess(const QString& self, const QString& path) {
    QProcess read;
    read.start(self, {path});
    read.waitForFinished(-1);
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("read handler +([0-9.]+) s +peak +([0-9.]+) MiB"))
            .match(QString::fromUtf8(read.readAllStandardOutput()));
    return {m.captured(1).toDouble(), m.captured(2).toDouble()};
}

// The read of the upright photo and of the same photo stored sideways, each
// in a fresh process, taken in turns `runs` times: the best time and the
// middle peak of each, and their ratios.
int MeasureTurned(const QString& self, int width, int height, int runs) {
    QTemporaryDir dir;
    const int orientations[2] = {1, 6};
    QString paths[2];
    std::vector<double> times[2], peaks[2];
    for (int i = 0; i < 2; ++i) {
        paths[i] = dir.filePath(QStringLiteral("photo_%1.jpg").arg(orientations[i]));
        if (!MakeTurnedPhoto(self, paths[i], width, height, orientations[i]))
            return 2;
    }
    for (int run = 0; run < runs; ++run)
        for (int i = 0; i < 2; ++i) {
            const auto [seconds, peak] = ReadInProcess(self, paths[i]);
            times[i].push_back(seconds);
            peaks[i].push_back(peak);
        }
    double best[2], middle[2];
    for (int i = 0; i < 2; ++i) {
        std::sort(times[i].begin(), times[i].end());
        std::sort(peaks[i].begin(), peaks[i].end());
        best[i] = times[i].front();
        middle[i] = peaks[i][peaks[i].size() / 2];
    }
    std::printf("%-30s %8.3f s %8.3f s %6.2fx %8.0f MiB %8.0f MiB %6.2fx\n",
                qPrintable(QStringLiteral("%1 x %2 (%3 MP)").arg(width).arg(height).arg(width * double(height) / 1e6, 0, 'f', 0)),
                best[0], best[1], best[0] > 0 ? best[1] / best[0] : 0.0, middle[0], middle[1],
                middle[0] > 0 ? middle[1] / middle[0] : 0.0);
    return 0;
}

// The handler's parts as it runs them, each timed.
int MeasureLayers(const QString& path) {
    QElapsedTimer timer;
    timer.start();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 2;
    const QByteArray bytes = file.readAll();
    Report("file into memory", timer.nsecsElapsed() / 1e9);
    auto photo = std::make_shared<photo::SourcePhoto>();
    timer.restart();
    try {
        photo->Load(bytes);
    } catch (const std::exception& e) {
        Report("header refused", timer.nsecsElapsed() / 1e9);
        std::printf("  %s\n", e.what());
        return 0;
    }
    Report("header", timer.nsecsElapsed() / 1e9);
    timer.restart();
    const QImage& pixels = photo->Pixels();
    Report("decode", timer.nsecsElapsed() / 1e9);
    std::printf("  decoded %d x %d, %.1f MiB\n", pixels.width(), pixels.height(), pixels.sizeInBytes() / 1048576.0);
    timer.restart();
    const auto faces = face::CountFaces(bytes);
    Report("face check on the bytes", timer.nsecsElapsed() / 1e9);
    std::printf("  faces: %d\n", int(faces.size()));
    return 0;
}

int MeasureWindow(const QString& path) {
    QElapsedTimer timer;
    auto dialogs = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs* user = dialogs.get();
    TForm1 window(std::move(dialogs));
    window.show();
    QApplication::processEvents();
    Report("window shown", 0);

    user->openAnswers = {path};
    timer.start();
    window.RzBmpButton1Click();
    WaitForStep(window);
    Report("read handler", timer.nsecsElapsed() / 1e9);
    for (const auto& m : user->messages)
        std::printf("  message: %s / %s\n", qPrintable(m.caption), qPrintable(m.text));
    const bool loaded = user->messages.isEmpty();
    std::printf("  %s, working photo %d x %d\n", loaded ? "read" : "refused", window.Image1->width(),
                window.Image1->height());

    timer.restart();
    window.repaint();
    QApplication::processEvents();
    Report("first drawing", timer.nsecsElapsed() / 1e9);
    if (!loaded)
        return 0;

    // Up to 2.0 and down to 0.0 one step at a time, as a held slider key does.
    std::vector<double> steps;
    auto step = [&](int position) {
        QElapsedTimer t;
        t.start();
        window.RzTrackBar1->SetPosition(position);
        QApplication::processEvents();
        steps.push_back(t.nsecsElapsed() / 1e6);
    };
    timer.restart();
    for (int p = 1; p <= 20; ++p)
        step(p);
    for (int p = 19; p >= -20; --p)
        step(p);
    Report("60 zoom steps", timer.nsecsElapsed() / 1e9);
    std::sort(steps.begin(), steps.end());
    double sum = 0;
    for (double s : steps)
        sum += s;
    std::printf("  per step: mean %.2f ms, median %.2f ms, max %.2f ms\n", sum / steps.size(),
                steps[steps.size() / 2], steps.back());
    return 0;
}

// Resident memory once each photo has been read through the window, one
// after the other: what the tool holds when the work is over.
int MeasureResident(const QStringList& paths) {
    auto dialogs = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs* user = dialogs.get();
    TForm1 window(std::move(dialogs));
    window.show();
    for (const QString& path : paths) {
        user->openAnswers = {path};
        window.RzBmpButton1Click();
        WaitForStep(window);
        QApplication::processEvents();
    }
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            std::printf("%ld\n", line.mid(6).trimmed().split(' ').value(0).toLong());
    return user->messages.isEmpty() ? 0 : 1;
}

int MeasureBatch(const QString& input, const QString& output, int jobs) {
    QElapsedTimer timer;
    timer.start();
    workspace::Progress control;
    const batch::Options options{input, output, {}, jobs, true};
    if (const QString problem = batch::FolderProblem(options); !problem.isEmpty()) {
        std::printf("  (%s)\n", qPrintable(problem));
        return 1;
    }
    QString misuse;
    const batch::Summary summary = batch::Run(options, batch::PlanRun(options, &misuse), control, [](const batch::Tick&) {});
    std::printf("%-52s %.1f s, peak %.0f MiB; held at once by the run's reckoning at most %.0f MiB, bound %.0f MiB\n",
                qPrintable(QStringLiteral("%1 photos, %2 jobs").arg(summary.photos.size()).arg(jobs)),
                timer.nsecsElapsed() / 1e9, MiB(PeakKiB()), summary.memoryPeak / 1048576.0,
                summary.memoryBudget / 1048576.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "--ppm") == 0) {
        QCoreApplication app(argc, argv);
        return WritePpm(std::atoi(argv[2]), std::atoi(argv[3]), argc == 5 ? std::atoi(argv[4]) : 1);
    }
    if (argc == 5 && std::strcmp(argv[1], "--batch") == 0) {
        QCoreApplication app(argc, argv);
        return MeasureBatch(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), std::atoi(argv[4]));
    }
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "--turned") == 0) {
        QCoreApplication app(argc, argv);
        return MeasureTurned(QCoreApplication::applicationFilePath(), std::atoi(argv[2]), std::atoi(argv[3]),
                             argc == 5 ? std::max(1, std::atoi(argv[4])) : 3);
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--layers") == 0)
        return MeasureLayers(QString::fromLocal8Bit(argv[2]));
    if (argc >= 3 && std::strcmp(argv[1], "--resident") == 0) {
        QStringList paths;
        for (int i = 2; i < argc; ++i)
            paths << QString::fromLocal8Bit(argv[i]);
        return MeasureResident(paths);
    }
    if (argc == 2)
        return MeasureWindow(QString::fromLocal8Bit(argv[1]));
    std::fprintf(stderr,
                 "usage: %s PHOTO.jpg | --layers PHOTO.jpg | --resident PHOTO.jpg... | --ppm WIDTH HEIGHT [6] | "
                 "--turned WIDTH HEIGHT [RUNS] | --batch IN OUT JOBS\n",
                 argv[0]);
    return 2;
}
