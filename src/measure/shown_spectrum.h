#pragma once
// The measurements of a spectrum as it is shown: over the span f0 .. f1 in a number of pixel
// columns, tone 1 is the strongest point a column shows (one point a column, or the first
// maximum of the points a column skips), and the tone measurements (SNR, spur list, two-tone
// search) run on it. Painters and qrvn read this result; neither measures.

#include "measure/measurements.h"

class cSpectrumTrace;

// Tone 1 of the last MeasureShownSpectrum.
struct ShownSpectrum {
    bool valid = false;  // a valid trace was measured
    int tonePoint = 0;
    double tonePeakFrequencyHz = 0.0;  // as shown (the DC-to-fs kinds: above fs/2 for f < 0)
    double toneMarkerPowerDb = 0.0;
};

// The trace point the column at frequency fHz shows: for a complex trace
// round-half-away((f + fs/2) / fs · N), one period folded back beyond fs/2; for a real one
// trunc(f / fs · N + 0.5); within 0 .. pointCount − 1.
int ShownPoint(const cSpectrumTrace& trace, double fHz);

// A frequency as the view whose span ends at f1Hz reports it: the DC-to-fs kinds show a
// complex trace's negative frequencies above fs/2, so those read f + fs.
double ShownFrequency(const cSpectrumTrace& trace, double fHz, double f1Hz);

// Tone 1 over f0Hz .. f1Hz shown in columns + 1 pixel columns (columns >= 1), and the tone
// measurements of measurements on it. An invalid trace, an empty span or no columns give a
// result that is not valid and leave the measurements' results as they were.
ShownSpectrum MeasureShownSpectrum(const cSpectrumTrace& trace, cMeasurements& measurements,
                                   double f0Hz, double f1Hz, int columns);
