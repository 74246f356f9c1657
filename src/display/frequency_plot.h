#pragma once
// The frequency-domain view: the spectrum trace over f0 .. f1 with its grid at round
// frequencies, the channel marks (ACLR bars, mask line, occupied-bandwidth line), level
// markers, and the two annotation panels with every measurement result.

#include <QPainter>
#include <string>
#include <vector>

class cPlotEngine;
class cSpectrumTrace;

// A frequency as the view whose span ends at f1Hz reports it: the DC-to-fs kinds show a
// complex trace's negative frequencies above fs/2, so those read f + fs.
double ShownFrequency(const cSpectrumTrace& trace, double fHz, double f1Hz);

// Draws into a W x H rectangle for the displayed range f0Hz .. f1Hz. Runs the draw-time tone
// measurements (tone 1 is the strongest point shown) and stores the panel lines in the engine.
// Draws nothing while the trace is invalid.
void DrawSpectrum(cPlotEngine& engine, QPainter& painter, int W, int H, double f0Hz, double f1Hz);

// The panel's two lines about tone 1 ("Peak Frequency: ...", "Marker Power: ..."), as the
// last DrawSpectrum measured it. The panel leaves them out beside the channel and two-tone
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
