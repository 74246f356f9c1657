#pragma once
// The engine of one plot view: the spectrum trace, the measurements, the drawing resources and
// the five Y-axis records, composed rather than inherited. Each plot kind is a drawing function
// of its own file that takes the engine.

#include <QColor>
#include <QPoint>
#include <optional>
#include <string>
#include <vector>

#include "display/axis_scale.h"
#include "display/plot_style.h"
#include "dsp/cubic_spline.h"
#include "measure/measurements.h"
#include "measure/modulation.h"
#include "measure/power_statistics.h"
#include "measure/shown_spectrum.h"
#include "spectrum/power_trace.h"

class cWaveform;

// One line of an annotation panel as drawn, kept so tests and tools can read what the plot says.
struct PanelLine {
    std::string text;
    QColor colour;
    QPoint anchor;
};

class cPlotEngine {
public:
    cPlotEngine();

    // After every recompute: the trace's peak results and the channel measurements.
    void Measure() { measurements.Measure(trace, dbmOffsetDb); }

    cSpectrumTrace trace;
    cMeasurements measurements;
    PlotStyle style;
    AxisScaleSet axes;
    double dbmOffsetDb = 0.0;  // added to printed levels only

    // Tone 1 of the spectrum as last measured for a drawing (MeasureShown).
    ShownSpectrum shown;

    // The panels of the last drawing, top to bottom.
    std::vector<PanelLine> rightPanel;
    std::vector<PanelLine> leftPanel;

    // Set for the panes of the multi view: the statistics panels stay off.
    bool hideStatistics = false;
    // The time views number their axis in the time of day the recording's core:datetime gives
    // (where it gives one) in place of sample numbers.
    bool timeOfDayAxis = false;
    double iqPlaneFullScale = 1.0;  // amplitude at the I/Q plane's edge when not zoomed

    // While the FIR designer shows its taps: the spectrum is the filter's response, drawn
    // relative to its gain at 0 Hz (the passband at 0 dB), and the panel shows what the design
    // achieves in place of the tone, SNR, SFDR and two-tone readouts.
    struct FilterDesignReadout {
        double passbandRippleDb = 0.0;
        double stopbandAttenuationDb = 0.0;
    };
    std::optional<FilterDesignReadout> filterDesign;

    // CCDF of complex Gaussian noise (peak-to-average dB to 10·log10 of percent).
    cSpline ccdfReference;

    // Constellation zoom shift of the last drawing, pixels.
    int zoomShiftX = 0, zoomShiftY = 0;

    // Statistics of the last drawings, kept while the waveform and range stay the same: a
    // redraw must not scan a long capture again. Edits of the samples call
    // WaveformChanged, which drops them.
    // channels: 3 complex, 1 the Q samples alone, anything else the I samples alone.
    const PowerStatistics& StatisticsFor(const cWaveform& wave, int64_t first, int64_t last,
                                         int channels);
    const CcdfStatistics& CcdfFor(const cWaveform& wave);
    void WaveformChanged();

    // Per-column envelopes of the time-domain traces, kept for redraws of the same range:
    // the value of the column's own sample and the extremes of the samples it covers.
    struct EnvelopeColumn {
        int64_t idx = 0;  // the column's sample
        int64_t d = 0;    // samples since the previous column's
        double value = 0.0, lo = 0.0, hi = 0.0;
    };
    struct EnvelopeKey {
        int trace = 0;  // which trace (LogMag, a linear channel, phase)
        const float* I = nullptr;
        const float* Q = nullptr;
        int64_t count = -1, start = 0, end = 0;
        int pw = 0;
        uint64_t generation = 0;
        bool operator==(const EnvelopeKey&) const = default;
    };
    // The kept envelope for key, or nullptr.
    const std::vector<EnvelopeColumn>* FindEnvelope(const EnvelopeKey& key) const;
    void KeepEnvelope(const EnvelopeKey& key, std::vector<EnvelopeColumn> columns);
    uint64_t Generation() const { return generation_; }

    // The modulation analysis last made (blind, against a reference, or both) and the samples
    // it read; the constellation and EVM views show it only while those samples are unchanged:
    // the same arrays, count and rate, and the same values at a few thousand places (the ends
    // and an even spread), which a redraw can afford to look at.
    struct ModulationAnalysis {
        ModulationSettings settings;
        std::optional<ModulationResult> blind;
        std::optional<ReferenceEvmResult> reference;
        std::string referenceName;
        double sampleRate = 0.0;
        const float* I = nullptr;
        const float* Q = nullptr;
        int64_t count = -1;
        std::vector<float> fingerprint;
    };
    std::optional<ModulationAnalysis> modulation;
    // Files a result under the samples it was made of (kept beside the other half, blind or
    // reference, when that was made of the same samples).
    void KeepModulation(const cWaveform& w, const ModulationSettings& settings,
                        std::optional<ModulationResult> blind,
                        std::optional<ReferenceEvmResult> reference,
                        const std::string& referenceName);
    // The analysis of these samples as they are now, or nullptr.
    const ModulationAnalysis* ModulationOf(const cWaveform& w) const;

private:
    struct StatisticsKey {
        const float* I = nullptr;
        const float* Q = nullptr;
        int64_t count = -1, first = 0, last = 0;
        int channels = 3;
        uint64_t generation = 0;
        bool operator==(const StatisticsKey&) const = default;
    };
    static constexpr size_t kKeptEnvelopes = 4;
    uint64_t generation_ = 1;
    std::vector<std::pair<EnvelopeKey, std::vector<EnvelopeColumn>>> envelopes_;
    StatisticsKey statisticsKey_, ccdfKey_;
    PowerStatistics statistics_;
    CcdfStatistics ccdf_;
};
