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
//   exam-photo-read-memory --ppm W H          a W x H portrait on a plain blue
//                                             background, as PPM on stdout, row by
//                                             row (for cjpeg; needs no W x H buffer)
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>

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
    std::printf("%-34s %8.2f s   peak %8.1f MiB   now %8.1f MiB\n", stage, seconds, MiB(PeakKiB()),
                MiB(CurrentKiB()));
    std::fflush(stdout);
}

// A portrait fixture stretched over the middle of a W x H blue background,
// with a little sensor noise so that the JPEG is as large as a camera's.
int WritePpm(int width, int height) {
    const QImage head = QImage(QStringLiteral(EXAM_TESTDATA_DIR "/workflow/studio_blue.jpg"))
                            .convertToFormat(QImage::Format_RGB888);
    if (head.isNull() || width <= 0 || height <= 0)
        return 2;
    // The portrait fills 90% of the height, centred.
    const int headHeight = height * 9 / 10;
    const int headWidth = static_cast<int>(static_cast<long long>(headHeight) * head.width() / head.height());
    const int left = (width - headWidth) / 2, top = (height - headHeight) / 2;
    std::printf("P6\n%d %d\n255\n", width, height);
    std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
    unsigned noise = 12345;
    for (int y = 0; y < height; ++y) {
        const int hy = y - top;
        const uchar* headRow =
            hy >= 0 && hy < headHeight ? head.constScanLine(static_cast<int>(
                                             static_cast<long long>(hy) * head.height() / headHeight))
                                       : nullptr;
        for (int x = 0; x < width; ++x) {
            unsigned char* px = &row[static_cast<size_t>(x) * 3];
            const int hx = x - left;
            if (headRow && hx >= 0 && hx < headWidth) {
                const uchar* src = headRow + static_cast<long long>(hx) * head.width() / headWidth * 3;
                std::memcpy(px, src, 3);
            } else {
                px[0] = 20;
                px[1] = 50;
                px[2] = 210;
            }
            noise = noise * 1103515245u + 12345u;
            const int n = static_cast<int>((noise >> 16) % 13) - 6;
            for (int c = 0; c < 3; ++c)
                px[c] = static_cast<unsigned char>(std::clamp(px[c] + n, 0, 255));
        }
        if (std::fwrite(row.data(), 1, row.size(), stdout) != row.size())
            return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
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

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--ppm") == 0) {
        QCoreApplication app(argc, argv);
        return WritePpm(std::atoi(argv[2]), std::atoi(argv[3]));
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
    std::fprintf(stderr, "usage: %s PHOTO.jpg | --layers PHOTO.jpg | --resident PHOTO.jpg... | --ppm WIDTH HEIGHT\n", argv[0]);
    return 2;
}
