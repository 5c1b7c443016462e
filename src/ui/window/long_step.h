// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A long step of a handler (reading, encoding, the face check) run off the
// window's thread. Meanwhile the window repaints and answers the desktop but
// takes no input: mouse, keys, wheel and drops are discarded. A close request
// asks the step to stop; the window closes once the worker has ended, and
// the step's result, with any dialog or box it would bring, is dropped. The
// step ends by a queued signal on the window's thread, which then applies its
// result; nothing waits in a nested loop, and the worker is always joined.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <exception>
#include <functional>
#include <memory>
#include <thread>

#include "workspace/outcome.h"

class LongStep : public QObject {
    Q_OBJECT
public:
    // `showProgress` gets the progress text to show, or an empty one when
    // the step ends.
    LongStep(QWidget* window, std::function<void(const QString&)> showProgress);
    ~LongStep() override;

    // Runs `work` on a worker thread, then `done` on the window's thread.
    // `progress` is shown now and then once the step has taken more than a
    // moment, and told to stop on a close. One step at a time: false, and
    // nothing done, while another runs.
    bool Run(std::shared_ptr<workspace::Progress> progress, std::function<void()> work, std::function<void()> done);
    bool Running() const { return worker_.joinable(); }
    // For `done`: throws what the work threw, if anything.
    void RethrowFailure() const;

    // Runs on the worker before each step's work; tests hold a step with it.
    std::function<void()> gate;

signals:
    void finished();
    // From the worker as it ends, queued to the window's thread. It carries
    // nothing: what the worker wrote is the window's once it is joined
    // (ThreadSanitizer cannot see Qt's event queue order anything).
    void workerEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Finish();

    QWidget* window_;
    std::function<void(const QString&)> showProgress_;
    std::shared_ptr<workspace::Progress> progress_;
    std::function<void()> done_;
    std::thread worker_;
    std::exception_ptr failure_;
    QTimer poll_;
    QElapsedTimer elapsed_;
    bool closePending_ = false;
};
