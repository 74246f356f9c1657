#pragma once
// Figures of a whole capture of any size, each from one streaming pass over its samples in
// bounded memory: the overview (peak and mean power against time) and the whole-file
// measurements (the spectrum averaged over every frame, levels and the CCDF). Both read the
// capture through small buffers (cCaptureSource::ReadThrough), never mapping it whole.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dsp/work_control.h"
#include "measure/power_statistics.h"
#include "spectrum/power_trace.h"
#include "spectrum/spectrum_settings.h"

class cCaptureSource;

// Peak and mean power in dBFS (10·log10(p + kPowerFloor), p = I² + Q²) of each column:
// column c covers samples [start + ⌊c·count/C⌋, start + ⌊(c+1)·count/C⌋), or the one sample at
// its start when that is empty. The peak is kept, so a burst of one sample shows in its column.
struct CaptureOverview {
    int64_t start = 0, count = 0;
    std::vector<float> peakDb, meanDb;
    int columnsDone = 0;  // columns complete so far (all, after a pass that was not stopped)
};

// Fills out over samples [start, start + count) of capture in columns columns. partial is
// called after each block with the columns complete so far (from the calling thread). Returns
// "" or why the pass ended early (a stop request: "stopped"; a file cut short: its reason).
std::string ComputeCaptureOverview(const cCaptureSource& capture, int64_t start, int64_t count,
                                   int columns, CaptureOverview& out, const WorkControl& control,
                                   const std::function<void(const CaptureOverview&)>& partial = {});

// Levels of every sample and the CCDF's peak-to-average ratios, from a histogram of the
// sample powers (as floats) fine enough to place each ratio within 0.003 dB.
struct WholeCaptureFigures {
    int64_t samples = 0;
    int64_t frames = 0;  // spectrum frames averaged
    PowerStatistics power;
    std::array<double, 6> parDb{};  // at CcdfStatistics::kProbabilitiesPercent
};

// Averages the spectrum of spectrumKind over every frame of the whole capture, as the
// recompute averages a waveform's frames (frames of min(N, samples) samples every N/divisor
// samples; realFrame: the one-channel transform) at the given rate, into trace, and the
// levels into figures.
// Returns "" or why the pass ended early.
std::string MeasureWholeCapture(const cCaptureSource& capture, int64_t sampleRateHz,
                                const SpectrumSettings& settings, int spectrumKind, bool realFrame,
                                cSpectrumTrace& trace, WholeCaptureFigures& figures,
                                const WorkControl& control);
