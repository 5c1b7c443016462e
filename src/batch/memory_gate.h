// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A bound on the decoded pixels that photos worked on side by side hold at
// once, so that a folder of very large photos does not run the machine out of
// memory: a photo waits while those in flight already fill the budget, and
// one photo always runs.
#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace batch {

class MemoryGate {
public:
    explicit MemoryGate(qint64 budget);
    // A quarter of the machine's physical memory.
    static qint64 QuarterOfMemory();

    // Waits until `bytes` more fit, nothing else is in flight, or `stop` is set.
    void Acquire(qint64 bytes, const std::atomic<bool>& stop);
    void Release(qint64 bytes);
    qint64 Budget() const { return budget_; }
    // The most held at once so far.
    qint64 Peak() const;

private:
    const qint64 budget_;
    mutable std::mutex mutex_;
    std::condition_variable freed_;
    qint64 held_ = 0;
    qint64 peak_ = 0;
};

// Holds its bytes from the moment it acquires them until it goes.
class MemoryHold {
public:
    explicit MemoryHold(MemoryGate& gate) : gate_(gate) {}
    ~MemoryHold() { gate_.Release(bytes_); }
    MemoryHold(const MemoryHold&) = delete;
    MemoryHold& operator=(const MemoryHold&) = delete;
    void Acquire(qint64 bytes, const std::atomic<bool>& stop) {
        gate_.Acquire(bytes, stop);
        bytes_ += bytes;
    }

private:
    MemoryGate& gate_;
    qint64 bytes_ = 0;
};

}  // namespace batch
