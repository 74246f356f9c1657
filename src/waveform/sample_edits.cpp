#include "waveform/sample_edits.h"

#include <algorithm>
#include <cmath>

#include "waveform/waveform.h"

void PhaseShift(cWaveform& wave, float degrees, PhaseShiftChannels channels) {
    wave.EnsureTimeDomain(true);
    const float theta = static_cast<float>(degrees * 3.14159265358979323846 / 180.0);
    const float c = std::cos(theta), s = std::sin(theta);
    float* I = wave.I.data();
    float* Q = wave.Q.data();
    for (int k = 0; k < wave.sampleCount; ++k) {
        const float i = I[k], q = Q[k];
        if (channels != PhaseShiftChannels::QOnly) I[k] = i * c - q * s;
        if (channels != PhaseShiftChannels::IOnly) Q[k] = i * s + q * c;
    }
}

void RotateOneSample(cWaveform& wave, bool toLeft) {
    wave.EnsureTimeDomain(true);
    const int n = wave.sampleCount;
    if (n < 2) return;
    for (float* x : {wave.I.data(), wave.Q.data()}) {
        if (toLeft)
            std::rotate(x, x + 1, x + n);
        else
            std::rotate(x, x + n - 1, x + n);
    }
}

void AppendSamples(cWaveform& wave, const cWaveform& tail) {
    wave.EnsureTimeDomain(true);
    const int n = wave.sampleCount, m = tail.sampleCount;
    wave.AllocateScratch(n + m);
    std::copy(wave.I.begin(), wave.I.begin() + n, wave.scratchI.begin());
    std::copy(wave.Q.begin(), wave.Q.begin() + n, wave.scratchQ.begin());
    std::copy(tail.I.begin(), tail.I.begin() + m, wave.scratchI.begin() + n);
    std::copy(tail.Q.begin(), tail.Q.begin() + m, wave.scratchQ.begin() + n);
    wave.SwapScratch();
}
