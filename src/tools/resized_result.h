#pragma once
// Results of another length than the waveform's (crops, appends, resampling, transforms): built
// in the scratch arrays, exchanged in whole, and the old samples released, since nothing of
// another length can reuse them.

#include <cstdint>

#include "tools/failure_codes.h"
#include "tools/sample_loop.h"
#include "waveform/waveform.h"

// Makes the samples current and the scratch arrays `length` samples long (uninitialised).
// length must already be checked against kMaxToolSamples.
inline void PrepareResizedResult(cWaveform& wave, int64_t length) {
    wave.EnsureTimeDomain(true);
    wave.AllocateScratch(static_cast<int>(length));
}

// Exchanges the scratch arrays in as the samples and releases the old ones.
inline void TakeResizedResult(cWaveform& wave) {
    wave.SwapScratch();
    wave.AllocateScratch(0);
}

// Drops a result that was not finished: the samples stay as they were.
inline void DropResizedResult(cWaveform& wave) { wave.AllocateScratch(0); }

// Builds a result of `length` samples chunk by chunk on up to two cores: fill(oI, oQ, b, e)
// writes outputs [b, e) of the scratch arrays. Exchanges it in when whole; false, with the
// samples as they were, when the stop request ended it.
template <class Fill>
bool BuildResized(cWaveform& wave, int64_t length, const WorkControl& ctx, Fill&& fill) {
    PrepareResizedResult(wave, length);
    float* oI = wave.scratchI.data();
    float* oQ = wave.scratchQ.data();
    if (!ForChunksInTwo(length, ctx, [&](int64_t b, int64_t e) { fill(oI, oQ, b, e); })) {
        DropResizedResult(wave);
        return false;
    }
    TakeResizedResult(wave);
    return true;
}
