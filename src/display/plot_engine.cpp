#include "display/plot_engine.h"

cPlotEngine::cPlotEngine() { SetAllDefaults(axes); }
