#pragma once
// The small triangle that marks a measured level on the spectrum plot.

#include <QPainter>

#include "display/axis_scale.h"
#include "display/plot_style.h"

// Outlines, with the painter's current pen, a triangle 4 pixels high whose tip touches the
// point of frequency freqHz and level levelDb: x = left + floor((freqHz − f0Hz)/(f1Hz − f0Hz)·pw
// + 0.5) (left when the span is empty), y on the spectrum axis record axes[kSpectrumAxis]
// rounded half away from zero and held within top … top + ph, so a level off the scale sits on
// the nearer edge of the plot (the reference itself on a degenerate axis sits on the top edge).
void DrawLevelMarker(QPainter& painter, const PlotStyle& style, const AxisScaleSet& axes,
                     double freqHz, double levelDb, double f0Hz, double f1Hz, int pw, int ph);
