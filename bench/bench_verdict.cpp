// SPDX-License-Identifier: GPL-3.0-or-later
// What the live verdict costs while the user frames a large photo.
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "bench/bench_job.h"
#include "heads.h"
#include "bench/wait_for_step.h"
#include "ui/controls/photo_view.h"
#include "ui/scripted_dialogs.h"
#include "workspace/photo_workspace.h"

namespace {

constexpr int kMoves = 200;

// The pointer path of a drag: small steps to and fro over the photo.
QPoint PathPoint(int i) {
    return QPoint(300 + (i % 40) * 3, 300 + (i % 50) * 2);
}

// Median of a run of timings, in milliseconds.
double MedianMs(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Sends kMoves moves, one every 5 ms, through the event loop; returns the
// longest gap between the ticks of a 10 ms timer meanwhile.
double LongestGapWhileDragging(const std::function<void(QPoint)>& move) {
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer tick, mover;
    tick.setInterval(10);
    mover.setInterval(5);
    int sent = 0;
    QEventLoop loop;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    QObject::connect(&mover, &QTimer::timeout, [&] {
        move(PathPoint(sent));
        if (++sent == kMoves)
            loop.quit();
    });
    clock.start();
    tick.start();
    mover.start();
    loop.exec();
    return double(longest);
}

}  // namespace

void BenchVerdict() {
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("50mp.jpg"));
    const QString maker = QCoreApplication::applicationDirPath() + QStringLiteral("/exam-photo-read-memory");
    if (QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"),
                                                 QStringLiteral("'%1' --ppm 8660 5773 | cjpeg -quality 90 > '%2'")
                                                     .arg(maker, big)}) != 0) {
        std::printf("\n(cjpeg is needed for the large photo)\n");
        return;
    }
    std::printf("\nThe live verdict on a 50 MP photo at scale 2, median (ms)\n");

    // The workspace alone: a drag move and the paint of the viewport, then
    // the colour part of the verdict for the frame after that move.
    workspace::PhotoWorkspace ws;
    ws.Read(big);
    ws.Zoom(20);
    ws.Press(300, 300);
    std::vector<double> moveMs, colourMs, faceMs;
    workspace::FaceRequest request;
    for (int i = 0; i < kMoves; ++i) {
        QElapsedTimer timer;
        timer.start();
        ws.Move(PathPoint(i).x(), PathPoint(i).y());
        const QImage painted = ws.DrawWorkingPhoto(QRect(-ws.Working().geometry.topLeft(), QSize(242, 309)));
        moveMs.push_back(timer.nsecsElapsed() / 1e6);
        timer.restart();
        ws.JudgeFrame();
        colourMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    ws.Release();
    ws.JudgeFrame();
    request = ws.FaceToCheck();
    for (int i = 0; i < 10 && !request.crop.isNull(); ++i) {
        QElapsedTimer timer;
        timer.start();
        const workspace::UploadWork work = workspace::PhotoWorkspace::ComputeFacePart(request);
        faceMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("%-52s %8.3f\n", "drag move: Move + the viewport's paint", MedianMs(moveMs));
    std::printf("%-52s %8.3f\n", "colour part of the verdict, per move", MedianMs(colourMs));
    if (!faceMs.empty())
        std::printf("%-52s %8.1f\n", "face part per request: encode + face check", MedianMs(faceMs));

    // Through the window, with verdicts; without them, the same moves on a
    // workspace of their own and a working-photo control that paints it.
    auto form = std::make_unique<TForm1>(std::make_unique<ScriptedDialogs>());
    form->show();
    form->ReadPhotoFile(big);
    WaitForStep(*form);
    form->RzTrackBar1->SetPosition(20);
    PhotoView* photo = form->Image1;
    const auto send = [](QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button) {
        QMouseEvent event(type, at, target->mapToGlobal(at), button,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, {});
        QApplication::sendEvent(target, &event);
    };
    send(photo, QEvent::MouseButtonPress, QPoint(300, 300), Qt::LeftButton);
    const double on = LongestGapWhileDragging([&](QPoint at) {
        send(photo, QEvent::MouseMove, at, Qt::NoButton);
        photo->repaint();
    });
    send(photo, QEvent::MouseButtonRelease, PathPoint(kMoves - 1), Qt::LeftButton);

    QWidget viewport;
    viewport.resize(242, 309);
    PhotoView plain([&ws](const QRect& region) { return ws.DrawWorkingPhoto(region); }, &viewport);
    viewport.show();
    ws.Press(300, 300);
    const double off = LongestGapWhileDragging([&](QPoint at) {
        ws.Move(at.x(), at.y());
        plain.setGeometry(ws.Working().geometry);
        plain.repaint();
    });
    std::printf("%-52s %8.0f %8.0f %6.2fx\n", "longest gap of a 10 ms timer, 200 moves: on, off", on, off, on / off);
}

void BenchHead() {
    std::printf("\nThe head, median (ms)\n");
    // A frame a crop would take: a head that fits, on blue, with grain.
    const QImage frame = heads::MakePortrait(QSize(200, 280), 100, 40, 120, heads::kDarkOnBlue).photo;
    const workspace::UploadWork faces = workspace::PhotoWorkspace::ComputeUpload(frame);
    const QRect face = workspace::LargestFace(faces.faces);
    std::vector<double> measureMs, faceMs;
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer timer;
        timer.start();
        const auto head = workspace::MeasureHead(frame, face);
        measureMs.push_back(timer.nsecsElapsed() / 1e6);
        if (!head.measure)
            std::printf("  (no head measured)\n");
    }
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer timer;
        timer.start();
        workspace::PhotoWorkspace::ComputeUpload(frame, nullptr, true);
        faceMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("%-52s %8.3f   next to the face part %.1f\n", "measuring the head on a 200 x 280 frame",
                MedianMs(measureMs), MedianMs(faceMs));
    // The reviewer's measures on the same frame: blur, light, tilt (the eye
    // search), the wall.
    std::vector<double> reviewMs;
    const std::optional<QRect> outline = workspace::MeasureHead(frame, face).measure
                                             ? std::optional<QRect>(workspace::MeasureHead(frame, face).measure->outline)
                                             : std::nullopt;
    review::Review(frame, face, outline);  // the eye cascade parsed once
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer timer;
        timer.start();
        review::Review(frame, face, outline);
        reviewMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("%-52s %8.3f   next to the face part %.1f\n", "the reviewer's measures on that frame", MedianMs(reviewMs),
                MedianMs(faceMs));

    // The double-click through the window on a 12 MP portrait (both
    // framings: the face box's, then the head's), each from the read's place.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("portrait_12mp.jpg"));
    heads::MakePortrait(QSize(3000, 4000), 1500, 800, 1200, heads::kBrownOnRed).photo.save(path, "JPEG", 90);
    auto form = std::make_unique<TForm1>(std::make_unique<ScriptedDialogs>());
    form->show();
    form->ReadPhotoFile(path);
    WaitForStep(*form);
    std::vector<double> clickMs;
    for (int i = 0; i < 10; ++i) {
        form->Label3Click();
        QElapsedTimer timer;
        timer.start();
        form->Image1DblClick(Qt::LeftButton, {}, 100, 100);
        clickMs.push_back(timer.nsecsElapsed() / 1e6);
        QApplication::processEvents();
    }
    std::printf("%-52s %8.1f   (goal: under 30)\n", "double-click on a 12 MP portrait", MedianMs(clickMs));
}
