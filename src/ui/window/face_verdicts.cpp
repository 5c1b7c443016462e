// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/face_verdicts.h"

FaceVerdicts::FaceVerdicts(QObject* parent, Answer answered)
    : QObject(parent), answered_(std::move(answered)), thread_([this] { Loop(); }) {}

FaceVerdicts::~FaceVerdicts() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
        if (running_)
            running_->stop = true;
    }
    wake_.notify_all();
    thread_.join();
}

void FaceVerdicts::Request(const workspace::FaceRequest& request) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        waiting_ = request;
    }
    wake_.notify_all();
}

void FaceVerdicts::Loop() {
    for (;;) {
        try {
            if (!Serve())
                return;
        } catch (...) {
            // Out of memory for one request: the verdict stays as it is.
        }
    }
}

bool FaceVerdicts::Serve() {
    workspace::FaceRequest request;
    auto progress = std::make_shared<workspace::Progress>();
    std::function<void()> gate;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return quit_ || waiting_; });
        if (quit_)
            return false;
        request = std::move(*waiting_);
        waiting_.reset();
        running_ = progress;
        gate = this->gate;
    }
    if (gate)
        gate();
    // The save's own encoding and face check, on the request's copy.
    const workspace::UploadWork work = workspace::PhotoWorkspace::ComputeUpload(request.crop, progress.get());
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_.reset();
        if (quit_)
            return false;
    }
    QMetaObject::invokeMethod(
        this, [this, generation = request.generation, work] { answered_(generation, work); },
        Qt::QueuedConnection);
    return true;
}
