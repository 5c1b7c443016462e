// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QEventLoop>

#include "ui/window/long_step.h"
#include "ui/window/main_window.h"

// Runs the event loop until the window's long step, if one is under way, ends.
inline void WaitForStep(TForm1& form) {
    auto* step = form.findChild<LongStep*>();
    if (!step || !step->Running())
        return;
    QEventLoop loop;
    QObject::connect(step, &LongStep::finished, &loop, &QEventLoop::quit);
    loop.exec();
}
