#pragma once
// The frequency-domain view: the spectrum trace over f0 .. f1 with its grid at round
// frequencies, the channel marks (ACLR bars, mask line, occupied-bandwidth line), level
// markers, and the two annotation panels with every measurement result.

#include <QPainter>
#include <string>
#include <vector>

class cPlotEngine;
class cSpectrumTrace;

// Measures the spectrum as a W-wide drawing shows it over f0Hz .. f1Hz (tone 1 and the tone
// measurements, measure/shown_spectrum.h) into engine.shown and the engine's measurements.
void MeasureShown(cPlotEngine& engine, int W, double f0Hz, double f1Hz);

// Draws into a W x H rectangle for the displayed range f0Hz .. f1Hz what MeasureShown found
// for the same width and span, and stores the panel lines in the engine. It measures nothing.
// Draws nothing while the trace is invalid.
void DrawSpectrum(cPlotEngine& engine, QPainter& painter, int W, int H, double f0Hz, double f1Hz);

// The panels' lines as DrawSpectrum shows them, from what was measured (no painting): each
// line's text and colour, and whether the next line goes below it (a line that is drawn over
// by the next one does not).
struct PanelText {
    std::string text;
    QColor colour;
    bool advance = true;
};
struct SpectrumPanels {
    std::vector<PanelText> right, left;
};
SpectrumPanels SpectrumPanelTexts(const cPlotEngine& engine, double f0Hz, double f1Hz);

// MeasureShown, then DrawSpectrum: what every view that shows a spectrum runs.
void MeasureAndDrawSpectrum(cPlotEngine& engine, QPainter& painter, int W, int H, double f0Hz,
                            double f1Hz);

// The panel's two lines about tone 1 ("Peak Frequency: ...", "Marker Power: ..."), as the
// last MeasureShown found it. The panel leaves them out beside the channel and two-tone
// measurements; qrvn measure prints them whatever else was asked.
std::vector<std::string> ToneLines(const cPlotEngine& engine);

struct PlotStyle;
// Vertical grid lines at round frequencies over a pw x ph plot area showing f0 .. f1.
void DrawFrequencyGrid(QPainter& painter, const PlotStyle& style, int pw, int ph, double f0Hz,
                       double f1Hz);
// The frequency numbers under those lines and the X title with their unit.
void DrawFrequencyNumbers(QPainter& painter, const PlotStyle& style, int H, int pw, double f0Hz,
                          double f1Hz);

// The vertical grid of a frequency axis: step and first line for the span f0 .. f1.
struct FrequencyGrid {
    double step = 0.0;   // Hz between lines, a whole multiple of a power of ten
    double first = 0.0;  // frequency of the first line, the first multiple of step at or above f0
    int lines = 0;       // number of lines (first, first + step, ...)
};
FrequencyGrid FrequencyGridFor(double f0Hz, double f1Hz);

// Axis title and scale factor for frequencies up to maxAbsHz ("Frequency (MHz)", 1e-6, ...).
struct FrequencyUnit {
    const char* title;
    double factor;
};
FrequencyUnit FrequencyUnitFor(double maxAbsHz);
