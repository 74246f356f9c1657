#pragma once
// Axis numbers and axis titles, placed the same way on every plot: Y numbers right-aligned
// three pixels left of the plot area, X numbers centred under their grid line, the Y title
// turned to read upwards in the left margin, the X title centred at the bottom.
// All are drawn in the axis text colour.

#include <QPainter>
#include <QString>
#include <vector>

#include "display/axis_scale.h"
#include "display/plot_style.h"
#include "display/sample_axis.h"

// Most numbers any one axis draws; more would only smear into each other.
inline constexpr int kMaxAxisNumbers = 1000;

// One Y-axis number in the small font for the grid line gridOffset pixels (unrounded) below
// the top of the plot area: right-top anchored at (left − 3, floor(top − 6 + gridOffset + 0.5)).
void DrawYAxisNumber(QPainter& painter, const PlotStyle& style, double gridOffset,
                     const QString& text);

// The numbers of a dB axis: FormatTrimmed(reference − i·scale + dbmOffsetDb) at grid offset
// i·ph/divisions for i = 0 … divisions. dbmOffsetDb is the dBFS-to-dBm offset (0 for dBFS).
// A zero, negative or non-finite division count draws the reference number alone.
void DrawDbAxisNumbers(QPainter& painter, const PlotStyle& style, const AxisScale& axis,
                       double dbmOffsetDb, int ph);

// One X-axis number in the small font, centre-top anchored at
// (left + floor(gridOffset + 0.5), H − bottom + 3); H is the drawing rectangle's height.
void DrawXAxisNumber(QPainter& painter, const PlotStyle& style, int H, double gridOffset,
                     const QString& text);

// The numbers of a sample axis at its ticks (SampleAxisTicks).
void DrawSampleAxisNumbers(QPainter& painter, const PlotStyle& style, int H,
                           const std::vector<SampleTick>& ticks);

// The Y-axis title in the vertical font, reading upwards, its top edge at x = yTitleX and
// centred on y = H/2 − 9 (integer half).
void DrawYAxisTitle(QPainter& painter, const PlotStyle& style, int H, const QString& title);

// The X-axis title in the title font, centre-bottom anchored at (left + pw/2, H − 3)
// (integer half).
void DrawXAxisTitle(QPainter& painter, const PlotStyle& style, int H, int pw, const QString& title);
