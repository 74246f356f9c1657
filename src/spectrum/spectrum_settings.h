#pragma once
// The user's FFT settings, one set per view.

#include "dsp/window.h"

// Transform sizes offered by the FFT size commands (128 .. 512k).
constexpr int kMinFftSize = 128;
constexpr int kMaxFftSize = 524288;

struct SpectrumSettings {
    int fftSize = 16384;  // N, a power of two in [kMinFftSize, kMaxFftSize]
    WindowType window = kWindowBlackmanHarris;
    bool acCoupling = false;   // subtract the frame mean before windowing
    bool averaging = true;     // average all frames; off: one frame ("Clear/Write")
    int frameStepDivisor = 1;  // frames advance by N / divisor samples
    int fftPosition = 0;       // first sample of the single Clear/Write frame
    bool phaseWanted = false;  // also compute the phase trace
};
