#pragma once
// The CCDF view: for each peak-to-average ratio on the X axis, the percentage of samples whose
// power exceeds the mean by more, on a log axis from 100 % to 0.00001 %, over the reference
// curve of complex Gaussian noise, with the PAR table.

#include <QPainter>

class cPlotEngine;
class cWaveform;

// start … end: the view's sample range, reused as a fraction of the 0 … 15 dB axis so a drag
// zoom zooms the dB axis. The statistics cover the whole waveform.
void DrawCcdf(cPlotEngine& engine, QPainter& painter, int W, int H, int start, int end,
              const cWaveform& wave);

// Pixel offset from the plot top of v = 10·log10(percent): +20 at the top, −50 at the bottom.
int CcdfRow(double v, int ph);
