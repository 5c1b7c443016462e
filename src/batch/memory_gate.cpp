// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/memory_gate.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace batch {

MemoryGate::MemoryGate(qint64 budget) : budget_(budget) {}

qint64 MemoryGate::QuarterOfMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGE_SIZE);
    // Unknown: as on a small laptop.
    if (pages <= 0 || size <= 0)
        return qint64(2) << 30;
    return qint64(pages) * size / 4;
}

void MemoryGate::Acquire(qint64 bytes, const std::atomic<bool>& stop) {
    std::unique_lock<std::mutex> lock(mutex_);
    // A stop is no event of the gate's: it is looked at now and then.
    while (held_ > 0 && held_ + bytes > budget_ && !stop)
        freed_.wait_for(lock, std::chrono::milliseconds(100));
    held_ += bytes;
    peak_ = std::max(peak_, held_);
}

void MemoryGate::Release(qint64 bytes) {
    if (bytes == 0)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ -= bytes;
    }
    freed_.notify_all();
}

qint64 MemoryGate::Peak() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return peak_;
}

}  // namespace batch
