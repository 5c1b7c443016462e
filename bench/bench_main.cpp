// SPDX-License-Identifier: GPL-3.0-or-later
// Times the tool's hot paths next to a baseline measured in the same run and
// prints each figure as a ratio. Not a test: nothing here passes or fails.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "bench/best_of.h"
#include "bench/bench_job.h"
#include "workspace/zoom.h"

namespace {

long PeakMemoryMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

QImage GeneratedPhoto(QSize size) {
    QImage photo(size, QImage::Format_RGB888);
    for (int y = 0; y < size.height(); ++y) {
        uchar* line = photo.scanLine(y);
        for (int x = 0; x < size.width(); ++x) {
            line[3 * x] = uchar(x * 7 + y);
            line[3 * x + 1] = uchar(y * 3);
            line[3 * x + 2] = uchar(x ^ y);
        }
    }
    return photo;
}

// The literal way: a full-size copy, then a whole stretched bitmap.
QImage FullBitmapStep(const QImage& source, double scale) {
    QImage first = source.convertToFormat(QImage::Format_RGB32);
    const QSize size = workspace::ScaledSize(first.size(), scale);
    if (size.isEmpty())
        return {};
    QImage second(size, QImage::Format_RGB32);
    const QRect all(QPoint(0, 0), size);
    const QImage stretched = workspace::RenderRegion(first, size, all);
    second = stretched;
    return second;
}

// What one slider step costs the tool: the new size, then painting the part
// of the rendering that the 242 x 309 viewport shows.
QImage ViewStep(const QImage& source, double scale) {
    const QSize size = workspace::ScaledSize(source.size(), scale);
    const QRect visible = QRect(0, 0, 242, 309).intersected(QRect(QPoint(0, 0), size));
    return workspace::RenderRegion(source, size, visible);
}

}  // namespace

int main(int argc, char* argv[]) {
    // The window is measured without a display unless one is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // `exam-photo-bench batch` measures the batch alone, `head` the head's
    // and the reviewer's measures alone.
    if (argc > 1 && QByteArray(argv[1]) == "batch") {
        BenchBatch();
        return 0;
    }
    if (argc > 1 && QByteArray(argv[1]) == "head") {
        BenchHead();
        return 0;
    }
    const QImage photo = GeneratedPhoto(QSize(6000, 4000));
    const double scales[] = {0.05, 1.0, 2.0};
    const QRect crop(1000, 800, 200, 280);
    volatile int sink = 0;

    // The view first, so that its peak memory is not hidden by the baseline's.
    const long startMemory = PeakMemoryMiB();
    double view[3], viewPeak[3];
    for (int i = 0; i < 3; ++i) {
        view[i] = BestMs([&] { sink += ViewStep(photo, scales[i]).width(); }, 20);
        viewPeak[i] = PeakMemoryMiB();
    }
    const double cropView = BestMs([&] { sink += workspace::RenderRegion(photo, photo.size() * 2, crop).width(); }, 20);

    double full[3];
    for (int i = 0; i < 3; ++i)
        full[i] = BestMs([&] { sink += FullBitmapStep(photo, scales[i]).width(); }, 2);
    const double cropFull = BestMs([&] { sink += FullBitmapStep(photo, 2.0).copy(crop).width(); }, 2);

    std::printf("Zoom on a generated 6000 x 4000 photo, best of several runs\n");
    std::printf("%-24s %10s %18s %9s %16s\n", "", "view (ms)", "full bitmaps (ms)", "speed-up", "view peak (MiB)");
    for (int i = 0; i < 3; ++i)
        std::printf("slider step, scale %-5.2f %10.3f %18.1f %8.0fx %16.0f\n", scales[i], view[i], full[i],
                    full[i] / view[i], viewPeak[i]);
    std::printf("%-24s %10.3f %18.1f %8.0fx\n", "crop at scale 2.0", cropView, cropFull, cropFull / cropView);
    std::printf("peak memory: %ld MiB with the photo alone, %ld MiB after the full-bitmap baseline\n", startMemory,
                PeakMemoryMiB());

    BenchWholeJob();
    BenchWaiting();
    BenchSideways();
    BenchVerdict();
    BenchHead();
    BenchBatch();
    return 0;
}
