#pragma once
// The modulation analysis's views: the analysed symbols over the ideal points (the
// constellation view while results are held) and the error vector magnitude against symbol
// (or, against a reference, against time). Both list the results in the right panel.

#include <QPainter>

#include "display/plot_engine.h"

void DrawSymbolConstellation(cPlotEngine& e, QPainter& p, int W, int H,
                             const cPlotEngine::ModulationAnalysis& a);
void DrawEvmPlot(cPlotEngine& e, QPainter& p, int W, int H,
                 const cPlotEngine::ModulationAnalysis& a);
