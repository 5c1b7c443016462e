// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The face part of the live verdict, worked out on a thread of its own so
// that the window never waits for it (the way Qt's Mandelbrot example renders).
// One request runs at a time; a newer request replaces one that waits. Each
// answer comes back on the window's thread with the number of its request.
#include <QImage>
#include <QObject>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "workspace/photo_workspace.h"

class FaceVerdicts : public QObject {
    Q_OBJECT
public:
    using Answer = std::function<void(int generation, const workspace::UploadWork& work)>;
    FaceVerdicts(QObject* parent, Answer answered);
    // Stops the request under way and joins the thread.
    ~FaceVerdicts() override;

    void Request(const workspace::FaceRequest& request);

    // Runs on the thread before each request's work; tests hold one with it.
    std::function<void()> gate;

signals:
    // From the thread, queued to the window's: an answer waits. The answer
    // itself passes under the mutex, which orders it for ThreadSanitizer too.
    void answerWaits();

private:
    void Loop();
    // Waits for a request and answers it; false once the window ends.
    bool Serve();

    Answer answered_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<workspace::FaceRequest> waiting_;
    std::optional<std::pair<int, workspace::UploadWork>> answer_;
    bool quit_ = false;
    // The request under way, so that the end of the window can stop it.
    std::shared_ptr<workspace::Progress> running_;
    std::thread thread_;
};
