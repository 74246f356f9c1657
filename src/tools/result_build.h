#pragma once
// How the sample-wise operations build a result of the waveform's length aside and exchange it
// in: the scratch arrays, filled chunk by chunk on up to two cores, swapped in only when every
// chunk is done.

#include <cstdint>

#include "tools/sample_loop.h"
#include "waveform/waveform.h"

// Makes the samples current and the scratch arrays n samples long. Scratch arrays of that
// length left by an earlier exchange are reused: a large result then writes pages already
// mapped instead of faulting in fresh ones (their contents are overwritten).
inline void PrepareScratch(cWaveform& wave, int64_t n) {
    wave.EnsureTimeDomain(true);
    const auto size = static_cast<size_t>(n);
    if (wave.scratchI.size() == size && wave.scratchQ.size() == size)
        wave.scratchCount = static_cast<int>(n);
    else
        wave.AllocateScratch(static_cast<int>(n));
}

// Calls kernel(I, Q, outI, outQ, begin, end) over every chunk of the waveform, reading the
// samples and writing the scratch arrays, then exchanges the result in. Returns false, with
// the samples as they were, when the stop request ended it.
template <class Kernel>
bool BuildResult(cWaveform& wave, const WorkControl& ctx, Kernel&& kernel) {
    PrepareScratch(wave, wave.sampleCount);
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    float* outI = wave.scratchI.data();
    float* outQ = wave.scratchQ.data();
    const bool done = ForChunksInTwo(wave.sampleCount, ctx,
                                     [&](int64_t b, int64_t e) { kernel(I, Q, outI, outQ, b, e); });
    if (done) wave.SwapScratch();
    return done;
}
