#pragma once
// The frame every plot starts from: background, plot area, division grid and axis lines.

#include <QPainter>
#include <vector>

#include "display/plot_style.h"

// Fills the W x H drawing rectangle with the background brush and the plot area (left, top,
// W − right, H − bottom; right and bottom exclusive) with the plot brush, and makes the text
// background colour the painter's background for later text. Every plot calls it first.
void FillPlotBackground(QPainter& painter, const PlotStyle& style, int W, int H);

// Dotted division grid and solid left and bottom axis lines over a plot area of pw x ph
// pixels (nothing when either is negative):
//  - horizontal lines at y = floor(top + i·ph/nY + 0.5), i = 0 … floor(nY); none for nY < 1
//    (a fractional nY, like a fractional nX, leaves the bottom edge undotted);
//  - when nX > 0, vertical lines at x = floor(left + k·pw/nX + 0.5) for every k >= 0 with
//    left + k·pw/nX <= left + pw + 1 (a fractional nX leaves the right edge undotted);
//  - the axis pen from (left, top) down to (left, top + ph) and on to (left + pw, top + ph).
// A grid finer than one pixel draws every row or column, which is what it would look like.
// Leaves the axis pen selected.
void DrawGraticule(QPainter& painter, const PlotStyle& style, int pw, int ph, double nY, double nX);

// Vertical grid lines in the graticule pen at the given distances from the plot's left edge.
void DrawVerticalGridLines(QPainter& painter, const PlotStyle& style, int ph,
                           const std::vector<double>& offsetsPx);
