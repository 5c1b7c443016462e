// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/long_step.h"

#include <QApplication>
#include <QCloseEvent>

#include "texts/texts.h"

namespace {

// Progress shows only once a step has run this long, so quick photos don't flicker.
constexpr int kQuietMs = 200;
constexpr int kPollMs = 100;

bool IsInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
        return true;
    default:
        return false;
    }
}

}  // namespace

LongStep::LongStep(QWidget* window, std::function<void(const QString&)> showProgress)
    : QObject(window), window_(window), showProgress_(std::move(showProgress)) {
    setObjectName(QStringLiteral("LongStep"));
    connect(this, &LongStep::workerEnded, this, &LongStep::Finish, Qt::QueuedConnection);
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, [this] {
        if (elapsed_.elapsed() >= kQuietMs && progress_)
            showProgress_(texts::ProgressText(*progress_));
    });
}

LongStep::~LongStep() {
    // The window is going away with a step under way (the process ends).
    if (worker_.joinable()) {
        progress_->stop = true;
        worker_.join();
    }
}

bool LongStep::Run(std::shared_ptr<workspace::Progress> progress, std::function<void()> work,
                   std::function<void()> done) {
    // A read started from inside a dialog's own loop (a drop that was
    // waiting) must not start a second worker over the first.
    if (Running())
        return false;
    progress_ = std::move(progress);
    done_ = std::move(done);
    failure_ = nullptr;
    // The worker first: should it fail to start, the window stays as it was.
    // Its end is a queued call, so it cannot come before the lines below.
    worker_ = std::thread([this, work = std::move(work), gate = gate] {
        try {
            if (gate)
                gate();
            work();
        } catch (...) {
            failure_ = std::current_exception();
        }
        emit workerEnded();
    });
    qApp->installEventFilter(this);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    elapsed_.start();
    poll_.start();
    return true;
}

void LongStep::RethrowFailure() const {
    if (failure_)
        std::rethrow_exception(failure_);
}

void LongStep::Finish() {
    // The worker is at its end; joining makes all it wrote visible here.
    worker_.join();
    poll_.stop();
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
    showProgress_(QString());
    const std::function<void()> done = std::move(done_);
    done_ = nullptr;
    progress_ = nullptr;
    // The user asked to quit: nothing of the step, no dialog and no box.
    if (!closePending_)
        done();
    emit finished();
    if (closePending_) {
        closePending_ = false;
        window_->close();
    }
}

bool LongStep::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || (widget != window_ && !window_->isAncestorOf(widget)))
        return false;
    if (event->type() == QEvent::Close && widget == window_) {
        closePending_ = true;
        progress_->stop = true;
        event->ignore();
        return true;
    }
    return IsInput(event->type());
}
