#pragma once
// What long work may use of the run it is part of: the stop request it polls and the progress
// it reports. Safe from any thread.

#include <atomic>
#include <functional>

struct WorkControl {
    const std::atomic<bool>* stop = nullptr;
    // Progress in percent.
    std::function<void(int)> progress;

    void Progress(int percent) const {
        if (progress) progress(percent);
    }
    bool StopRequested() const { return stop && stop->load(std::memory_order_relaxed); }
};
