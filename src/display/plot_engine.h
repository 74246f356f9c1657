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
#include "dsp/power_trace.h"
#include "measure/measurements.h"

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

    // The panels of the last spectrum drawing, top to bottom.
    std::vector<PanelLine> rightPanel;
    std::vector<PanelLine> leftPanel;
};
