#pragma once
// The loop every long sample operation runs in: chunks of a million samples, the stop
// request polled and the progress reported between them.

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "tools/tool.h"
#include "waveform/split_work.h"

constexpr int64_t kSampleChunk = 1 << 20;

// Calls body(begin, end) over [0, n) in chunks of `chunk` items. Returns false when the stop
// request ended the loop early (the caller then discards what it built).
template <class Body>
bool ForChunks(int64_t n, const WorkControl& ctx, Body&& body, int64_t chunk = kSampleChunk) {
    chunk = std::max<int64_t>(chunk, 1);
    for (int64_t b = 0; b < n; b += chunk) {
        if (ctx.StopRequested()) return false;
        const int64_t e = std::min(n, b + chunk);
        body(b, e);
        if (n > chunk) ctx.Progress(static_cast<int>(100 * e / n));
    }
    return true;
}

// As ForChunks, with the upper half of the chunks on a helper thread when there are at least
// four and the machine has two cores. The chunks are the same however the work is split
// (every one starts at a multiple of `chunk`), so a body whose result depends only on its own
// range gives the same result on one thread or two. body must be safe to call from two
// threads on disjoint ranges. Progress follows the lower half.
template <class Body>
bool ForChunksInTwo(int64_t n, const WorkControl& ctx, Body&& body, int64_t chunk = kSampleChunk) {
    chunk = std::max<int64_t>(chunk, 1);
    std::atomic<bool> stopped{false};
    SplitInTwo(n, 4 * chunk, chunk, [&](int64_t begin, int64_t end) {
        for (int64_t b = begin; b < end; b += chunk) {
            if (ctx.StopRequested() || stopped.load(std::memory_order_relaxed)) {
                stopped = true;
                return;
            }
            const int64_t e = std::min(end, b + chunk);
            body(b, e);
            if (begin == 0 && end > chunk) ctx.Progress(static_cast<int>(100 * e / end));
        }
    });
    return !stopped;
}
