#pragma once
// The view's recompute of the spectrum trace: the real/complex decision, the frame loop over
// the waveform (one frame, or the average of all whole frames from the start sample), the
// duration, and the hand-over to the measurements and the redraw. The view supplies what only
// it can do (switching its kind, measuring, redrawing) as callbacks.

#include <atomic>
#include <functional>

#include "spectrum/power_trace.h"
#include "spectrum/spectrum_kinds.h"
#include "spectrum/spectrum_settings.h"

class cWaveform;

struct RecomputeHooks {
    // The spectrum the view shows: kSpectrumNone computes nothing. Unset: IQ.
    std::function<SpectrumKind()> spectrumKind;
    // True while the view is an overview that keeps its kind when the waveform turns real or
    // complex (its spectrum pane shows IQ, the recompute switches nothing).
    std::function<bool()> overview;
    // Switches the view to another spectrum kind ("I" for a real waveform, "IQ" back).
    std::function<void(SpectrumKind)> selectKind;
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

// True when every Q sample is exactly 0.0 (the waveform is transformed as real).
bool IsRealWaveform(const cWaveform& wave);
