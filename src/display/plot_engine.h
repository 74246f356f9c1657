#pragma once
// The engine of one plot view: the spectrum trace, the measurements, the drawing resources and
// the five Y-axis records, composed rather than inherited. Each plot kind is a drawing function
// of its own file that takes the engine.

#include <QColor>
#include <QPoint>
#include <string>
#include <vector>

#include "display/axis_scale.h"
#include "display/plot_style.h"
#include "dsp/cubic_spline.h"
#include "dsp/power_trace.h"
#include "measure/measurements.h"
#include "measure/power_statistics.h"

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

    // Tone 1 of the last spectrum drawing: the strongest point shown.
    int tonePoint = 0;
    double tonePeakFrequencyHz = 0.0;
    double toneMarkerPowerDb = 0.0;

    // The panels of the last drawing, top to bottom.
    std::vector<PanelLine> rightPanel;
    std::vector<PanelLine> leftPanel;

    // Set for the panes of the multi view: the statistics panels stay off.
    bool hideStatistics = false;

    // CCDF of complex Gaussian noise (peak-to-average dB to 10·log10 of percent).
    cSpline ccdfReference;

    // Constellation zoom shift of the last drawing, pixels.
    int zoomShiftX = 0, zoomShiftY = 0;

    // Statistics of the last drawings, kept while the waveform and range stay the same: a
    // redraw must not scan a long capture again. Edits of the samples call
    // WaveformChanged, which drops them.
    const PowerStatistics& StatisticsFor(const cWaveform& wave, int64_t first, int64_t last,
                                         bool complex);
    const CcdfStatistics& CcdfFor(const cWaveform& wave);
    void WaveformChanged();

private:
    struct StatisticsKey {
        const float* I = nullptr;
        const float* Q = nullptr;
        int64_t count = -1, first = 0, last = 0;
        bool complex = false;
        bool operator==(const StatisticsKey&) const = default;
    };
    StatisticsKey statisticsKey_, ccdfKey_;
    PowerStatistics statistics_;
    CcdfStatistics ccdf_;
};
