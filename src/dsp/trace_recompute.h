#pragma once
// The view's recompute of the spectrum trace: the real/complex decision, the frame loop over
// the waveform (one frame, or the average of all whole frames from the start sample), the
// duration, and the hand-over to the measurements and the redraw. The view supplies what only
// it can do (switching its kind, measuring, redrawing) as callbacks.

#include <atomic>
#include <functional>

#include "dsp/fft_settings.h"
#include "dsp/power_trace.h"

class cWaveform;

struct RecomputeHooks {
    std::function<int()> viewType;                // the view's current kind
    std::function<void(int)> selectViewType;      // switch the view's kind
    std::function<bool()> maskMeasurementActive;  // emission mask or its automatic bandwidth on
    std::function<void()> measure;                // Measure() of the engine
    std::function<void()> redraw;
};

class cSpectrumRecompute {
public:
    // Recomputes the trace from sample start when needed, then measures and redraws.
    // Returns at once while another recompute runs (busy). A waveform too short for a frame
    // (fewer than 8 samples) leaves the trace invalid, then measures and redraws as usual.
    void Recompute(cSpectrumTrace& trace, const cWaveform& wave, const SpectrumSettings& settings,
                   const std::atomic<bool>& stopRequest, const RecomputeHooks& hooks, int start);

    std::atomic<bool> busy{false};
    std::atomic<bool> recomputeNeeded{true};
    bool lastWasReal = false;  // the waveform's Q was all zero at the last recompute
    double lastDurationSeconds = 0.0;
    int framesLastRecompute = 0;  // frames accumulated by the last recompute
};

// True for the view kinds whose recompute computes a spectrum.
bool ComputesSpectrum(int viewType);

// True when every Q sample is exactly 0.0 (the waveform is transformed as real).
bool IsRealWaveform(const cWaveform& wave);
