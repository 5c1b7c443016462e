// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QElapsedTimer>

#include <algorithm>
#include <functional>

// The best of a few runs of `work`, in milliseconds.
inline double BestMs(const std::function<void()>& work, int runs = 3) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        work();
        best = std::min(best, clock.nsecsElapsed() / 1e6);
    }
    return best;
}
