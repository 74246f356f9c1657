#pragma once
// What a background worker (play-through, file monitoring) needs from the window, every call
// made from the worker's thread. The window implements the calls with queued calls to its
// widgets; tests implement them with plain counters.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct WorkerLink {
    // Held by the worker around every exchange of the main waveform's arrays and the
    // recompute that follows; the window holds it while it reads them (paint, recompute).
    std::mutex* waveLock = nullptr;
    // Recomputes and redraws the view from sample 0; called with waveLock held.
    std::function<void()> recompute;
    // A status-bar text.
    std::function<void(const std::string&)> status;
    // The FFT size setting as it is now.
    std::function<int()> fftSize;
    // Play-through: the start of each segment shown. Monitoring: each reload taken in, with
    // the seconds since the one before.
    std::function<void(int64_t)> onSegment;
    std::function<void(double)> onReload;

    void Status(const std::string& text) const {
        if (status) status(text);
    }
    // The worker's pause between passes: a sleep (it has no window to keep alive).
    static void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

// The window's play state while a worker runs.
constexpr int kPlayStateIdle = 0;
constexpr int kPlayStateMonitoring = 3;
constexpr int kPlayStatePlaying = 6;
