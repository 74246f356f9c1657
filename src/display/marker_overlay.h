#pragma once
// Markers drawn over a plot: a small flag with its number at each marker's point of the trace,
// the selected one filled. The plots keep their own drawing; the overlay maps a marker's
// position (Hz, sample, or peak-to-average dB) to the plot as the plot maps its trace.

#include <QPainter>
#include <cstdint>

#include "display/plot_margins.h"
#include "measure/markers.h"

class cPlotEngine;
class cWaveform;
struct KindDrawing;

// What the marker commands do: place one at the mouse, put the selected one on the highest
// peak shown, the next peak left or right, the highest peak below it; delete it or all.
enum class MarkerAction { Place, Peak, NextLeft, NextRight, NextLower, Delete, DeleteAll };

// The plots that carry markers, by the unit of their positions.
enum class MarkerPlot { None, Spectrum, Time, Ccdf };
MarkerPlot MarkerPlotOf(int kind);

// The marker to place next: the first that is off, or the selected one when all are on (M1
// when none is selected).
int MarkerToPlace(const MarkerPositions& at, int selected);

// The x axis of a plot in its markers' unit: a … b across the plot area left … left + pw.
struct MarkerAxis {
    double a = 0.0, b = 1.0;
    int left = 0, pw = 1;
    double X(double v) const { return left + (v - a) / (b - a) * pw; }
    double ValueAt(double x) const { return a + (x - left) / pw * (b - a); }
    // One pixel's worth of position.
    double PerPixel() const { return (b - a) / pw; }
};
// For a kind shown over [xStart, xEnd] (Hz, or samples) in a plot W pixels wide.
MarkerAxis MarkerAxisFor(const PlotMargins& margins, int W, int kind, double xStart, double xEnd,
                         int64_t sampleCount);

// Draws the markers of at on the plot of d.kind; selected is 1 … 4 or 0.
void DrawMarkers(cPlotEngine& engine, QPainter& painter, int W, int H, const cWaveform& wave,
                 const KindDrawing& d, const MarkerPositions& at, int selected);

// The flag of marker number at (x, y): a triangle whose tip touches the point, the number
// above it.
void DrawMarkerFlag(QPainter& painter, int x, int y, int number, bool selected);
