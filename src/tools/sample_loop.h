#pragma once
// The loop every long sample operation runs in: chunks of a million samples, the stop
// request polled and the progress reported between them.

#include <algorithm>
#include <cstdint>

#include "tools/tool.h"

constexpr int64_t kSampleChunk = 1 << 20;

// Calls body(begin, end) over [0, n) in chunks of `chunk` items. Returns false when the stop
// request ended the loop early (the caller then discards what it built).
template <class Body>
bool ForChunks(int64_t n, const ToolContext& ctx, Body&& body, int64_t chunk = kSampleChunk) {
    chunk = std::max<int64_t>(chunk, 1);
    for (int64_t b = 0; b < n; b += chunk) {
        if (ctx.StopRequested()) return false;
        const int64_t e = std::min(n, b + chunk);
        body(b, e);
        if (n > chunk) ctx.Progress(static_cast<int>(100 * e / n));
    }
    return true;
}
