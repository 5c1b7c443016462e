// SPDX-License-Identifier: GPL-3.0-or-later
// The whole job as the user waits for it, each step next to the least that
// any tool must do for the same result, measured in the same run.
#include "bench/bench_job.h"
#include "bench/wait_for_step.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/objdetect.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include <jpeglib.h>

#include "export/jpeg_encoder.h"
#include "face/detector.h"
#include "face/face_check.h"
#include "ui/window/main_window.h"
#include "ui/controls/picture_box.h"
#include "ui/window/user_dialogs.h"

namespace {

// A user who picks the given files and reads every message.
class BenchUser : public UserDialogs {
public:
    QString openAnswer, saveAnswer;
    QStringList messages;
    QString OpenPictureName(QWidget*) override { return openAnswer; }
    QString SavePictureName(QWidget*) override { return saveAnswer; }
    void ShowMessage(QWidget*, const QString& text, const QString&, int) override { messages << text; }
};

QString CascadePath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/haarcascade_frontalface_alt.xml");
}

// The same detector parameters as the tool's face check.
int DetectWithOpenCv(cv::CascadeClassifier& cascade, const cv::Mat& image) {
    std::vector<cv::Rect> faces;
    cascade.detectMultiScale(image, faces, 1.1, 2, cv::CASCADE_DO_CANNY_PRUNING, cv::Size(20, 20), cv::Size());
    return static_cast<int>(faces.size());
}

// One plain libjpeg decode with the tool's settings, into an RGB buffer.
size_t DecodeWithLibjpeg(const QByteArray& file) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(file.constData()),
                 static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.scale_num = cinfo.scale_denom = 1;
    cinfo.dct_method = JDCT_FLOAT;
    cinfo.do_block_smoothing = TRUE;
    cinfo.do_fancy_upsampling = TRUE;
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const size_t stride = size_t(cinfo.output_width) * cinfo.output_components;
    std::vector<unsigned char> pixels(stride * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels.data() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return pixels.size();
}

// What `cjpeg -quality q` does with the same pixels, in memory.
std::vector<uchar> EncodeLikeCjpeg(const QImage& rgb, int quality) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = rgb.width();
    cinfo.image_height = rgb.height();
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uchar*>(rgb.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uchar> stream(out, out + size);
    free(out);
    return stream;
}

// Gaussian noise of the given spread on every channel, as a camera adds.
void AddGrain(QImage& rgb, double spread, unsigned seed) {
    std::mt19937 grain(seed);
    std::normal_distribution<double> noise(0, spread);
    for (int y = 0; y < rgb.height(); ++y) {
        uchar* line = rgb.scanLine(y);
        for (int x = 0; x < 3 * rgb.width(); ++x)
            line[x] = uchar(std::clamp(line[x] + noise(grain), 0.0, 255.0));
    }
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Median of `runs` timings, in milliseconds; ours and the baseline take turns
// so that a slow moment of the machine hits both alike.
std::pair<double, double> TimePair(const std::function<void()>& ours, const std::function<void()>& baseline,
                                   int runs) {
    std::vector<double> a, b;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        ours();
        a.push_back(timer.nsecsElapsed() / 1e6);
        timer.restart();
        baseline();
        b.push_back(timer.nsecsElapsed() / 1e6);
    }
    return {Median(a), Median(b)};
}

void PrintRow(const char* what, std::pair<double, double> ms) {
    std::printf("%-44s %10.1f %12.1f %9.2fx\n", what, ms.first, ms.second, ms.first / ms.second);
}

struct Startup {
    double ms = 0;
    double peakMiB = 0;  // VmHWM when the window is shown, as the probe reports it
};

// Time from starting the program to its window shown, through a probe that
// quits as soon as its window is exposed.
Startup StartupOf(const QString& probe) {
    QElapsedTimer timer;
    QProcess process;
    timer.start();
    process.start(QCoreApplication::applicationDirPath() + QLatin1Char('/') + probe, {});
    process.waitForFinished(30000);
    Startup startup;
    startup.ms = timer.nsecsElapsed() / 1e6;
    startup.peakMiB = process.readAllStandardOutput().trimmed().toDouble() / 1024;
    return startup;
}

}  // namespace

void BenchWholeJob() {
    QTemporaryDir dir;
    const QString source = QStringLiteral(EXAM_TESTDATA_DIR "/workflow/studio_blue.jpg");

    // A 12-megapixel portrait: the studio portrait enlarged to 3000 x 4000,
    // with a phone sensor's grain (an enlargement alone is smoother than any
    // photo, and so decodes faster than a real one would).
    const QString portrait = dir.filePath(QStringLiteral("portrait_12mp.jpg"));
    {
        const QImage small(source);
        QImage big = small.scaled(3000, 4000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_RGB888);
        AddGrain(big, 4, 5);
        QFile out(portrait);
        out.open(QIODevice::WriteOnly);
        out.write(upload::EncodeJpeg(big, 90));
    }
    QFile portraitFile(portrait);
    portraitFile.open(QIODevice::ReadOnly);
    const QByteArray portraitBytes = portraitFile.readAll();

    auto owned = std::make_unique<BenchUser>();
    BenchUser* user = owned.get();
    TForm1 form(std::move(owned));
    form.show();
    cv::CascadeClassifier cascade(CascadePath().toStdString());
    volatile size_t sink = 0;

    std::printf("\nThe whole job, median of several runs (ms)\n");
    std::printf("%-44s %10s %12s %10s\n", "", "exam-photo", "baseline", "ratio");

    // Reading: the read button's handler, against its floor, one libjpeg
    // decode with the window's settings, and against what a user would
    // otherwise run: that decode plus OpenCV's own read and detection.
    user->openAnswer = portrait;
    const auto readHandler = [&] {
        user->messages.clear();
        form.RzBmpButton1Click();
        WaitForStep(form);
        sink = sink + user->messages.size();
    };
    const auto read = TimePair(readHandler, [&] { sink = sink + DecodeWithLibjpeg(portraitBytes); }, 5);
    PrintRow("read a 12 MP portrait, against one decode", read);
    const auto readOpenCv = TimePair(readHandler,
                                     [&] {
                                         sink = sink + DecodeWithLibjpeg(portraitBytes);
                                         sink = sink + DetectWithOpenCv(cascade, cv::imread(portrait.toStdString()));
                                     },
                                     5);
    PrintRow("  against decode + imread + detectMultiScale", readOpenCv);
    if (!user->messages.isEmpty())
        std::printf("  (the portrait was not accepted: %s)\n", qPrintable(user->messages.value(0)));

    // A 12 MP photo without a face, where the search must visit every size:
    // the face check against one detectMultiScale call, each with a fresh
    // classifier. A plain wall under soft light, with grain: enlarged photos
    // of people tend to grow false faces.
    {
        QImage wall(3000, 4000, QImage::Format_RGB888);
        for (int y = 0; y < wall.height(); ++y) {
            uchar* line = wall.scanLine(y);
            for (int x = 0; x < wall.width(); ++x) {
                const double light = 0.85 + 0.15 * std::cos((x - 1800.0) / 3000) * std::cos((y - 1200.0) / 4000);
                line[3 * x] = uchar(196 * light);
                line[3 * x + 1] = uchar(188 * light);
                line[3 * x + 2] = uchar(170 * light);
            }
        }
        AddGrain(wall, 4, 11);
        const cv::Mat wallImage = face::DecodeUpright(upload::EncodeJpeg(wall, 90), 1);
        const QString folder = QCoreApplication::applicationDirPath();
        cv::FileStorage parsed(CascadePath().toStdString(), cv::FileStorage::READ);
        std::size_t found = 0;
        const auto check = TimePair(
            [&] {
                cv::CascadeClassifier fresh = face::MakeClassifier(folder);
                found += face::DetectFaces(fresh, wallImage).size();
            },
            [&] {
                cv::CascadeClassifier fresh;
                fresh.read(parsed.getFirstTopLevelNode());
                found += std::size_t(DetectWithOpenCv(fresh, wallImage));
            },
            3);
        PrintRow("face check, 12 MP without a face", check);
        if (found != 0)
            std::printf("  (the wall grew %zu faces)\n", found);
    }

    // Saving: the save handler on the cropped studio portrait, against cjpeg
    // at each quality the loop tried plus the same face check.
    // Grain like a phone photo's, so that the loop has to step down from 100.
    QImage grainy = QImage(source).convertToFormat(QImage::Format_RGB888);
    AddGrain(grainy, 7, 7);
    user->openAnswer = dir.filePath(QStringLiteral("grainy.jpg"));
    {
        QFile out(user->openAnswer);
        out.open(QIODevice::WriteOnly);
        out.write(upload::EncodeJpeg(grainy, 95));
    }
    form.RzBmpButton1Click();
    WaitForStep(form);
    form.RzBmpButton3Click();
    const QImage cropped = form.Image2->Picture().convertToFormat(QImage::Format_RGB888);
    int quality = 0;
    upload::EncodeWithinLimit(cropped, upload::kUploadLimit, upload::EncodeJpeg, &quality);
    const QImage rgb = cropped.convertToFormat(QImage::Format_RGB888);
    user->messages.clear();
    int saves = 0;
    const auto save = TimePair(
        [&] {
            user->saveAnswer = dir.filePath(QStringLiteral("upload%1").arg(saves++));
            form.RzBmpBtnSaveClick();
            WaitForStep(form);
        },
        [&] {
            std::vector<uchar> stream;
            for (int q = 100; q >= quality; q -= 2)
                stream = EncodeLikeCjpeg(rgb, q);
            sink = sink + DetectWithOpenCv(cascade, cv::imdecode(stream, cv::IMREAD_COLOR));
        },
        15);
    std::printf("%-44s %10.1f %12.1f %9.2fx   (qualities 100 to %d)\n", "save a 200 x 280 photo (encode + face check)",
                save.first, save.second, save.first / save.second, quality);
    if (user->messages.size() != saves || !user->messages.value(0).startsWith(QStringLiteral("请注意")))
        std::printf("  (the photo was not saved: %s)\n", qPrintable(user->messages.value(0)));

    // Start-up to the window shown, against an empty Qt window.
    std::vector<double> ours, empty, oursPeak, emptyPeak;
    for (int i = 0; i < 7; ++i) {
        const Startup a = StartupOf(QStringLiteral("exam-photo-startup"));
        const Startup b = StartupOf(QStringLiteral("empty-window-startup"));
        ours.push_back(a.ms);
        empty.push_back(b.ms);
        oursPeak.push_back(a.peakMiB);
        emptyPeak.push_back(b.peakMiB);
    }
    PrintRow("start-up to the window shown", {Median(ours), Median(empty)});
    PrintRow("peak memory at start (MiB)", {Median(oursPeak), Median(emptyPeak)});
}
