// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/face_verdicts.h"

FaceVerdicts::FaceVerdicts(QObject* parent, Answer answer)
    : QObject(parent), answered_(std::move(answer)) {
    connect(
        this, &FaceVerdicts::answerWaits, this,
        [this] {
            std::optional<std::pair<int, workspace::UploadWork>> answer;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                answer.swap(answer_);
            }
            if (answer)
                answered_(answer->first, answer->second);
        },
        Qt::QueuedConnection);
    thread_ = std::thread([this] { Loop(); });
}

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
            // Only posting an answer can fail here, for want of memory; the
            // next request is answered afresh.
        }
    }
}

bool FaceVerdicts::Serve() {
    workspace::FaceRequest request;
    std::function<void()> gate;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return quit_ || waiting_; });
        if (quit_)
            return false;
        request = std::move(*waiting_);
        waiting_.reset();
        gate = this->gate;
    }
    // Every request ends in an answer: its faces, or what failed.
    workspace::UploadWork work;
    try {
        auto progress = std::make_shared<workspace::Progress>();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            running_ = progress;
        }
        if (gate)
            gate();
        work = workspace::PhotoWorkspace::ComputeFacePart(request, progress.get());
    } catch (...) {
        work = workspace::UploadWork();
        work.failure = std::current_exception();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_.reset();
        if (quit_)
            return false;
        answer_.emplace(request.generation, std::move(work));
    }
    emit answerWaits();
    return true;
}
