#pragma once
// One phase of an operation that runs several long steps in turn (a transform, a copy, an
// inverse transform): the tool's context with its progress mapped into a share of the whole, so
// every step can report 0-100 % of its own work and the bar still moves forward only.

#include <algorithm>

#include "tools/tool.h"

// ctx with progress p (0-100) of the phase reported as from + p·(to − from) / 100 percent of
// the whole (0 <= from <= to <= 100), and ctx's stop request.
inline WorkControl ProgressPhase(const WorkControl& ctx, int from, int to) {
    WorkControl phase;
    phase.stop = ctx.stop;
    if (ctx.progress)
        phase.progress = [&ctx, from, to](int percent) {
            ctx.Progress(from + std::clamp(percent, 0, 100) * (to - from) / 100);
        };
    return phase;
}
