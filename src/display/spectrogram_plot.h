#pragma once
// The spectrogram picture: merged rows mapped to colours (a perceptually uniform map or grey)
// over the shown frequency span, time running down from the top, with the frequency and time
// axes and a colour bar in dBFS (dBm with the offset). Rows not computed yet are left in the
// plot's background with a note of what is still being computed.

#include <QColor>
#include <QPainter>
#include <QRect>
#include <cstdint>
#include <string>
#include <vector>

#include "workers/spectrogram_tiles.h"

enum class SpectrogramColours { kPerceptual, kGrey };

// The colour of t in [0, 1] (clamped): dark to light, lightness rising steadily.
QRgb SpectrogramColour(SpectrogramColours map, double t);

// The level range that shows a screen: the noise floor (the 10th percentile of its finite
// values) to its peak (their largest). lo < hi always.
void AutoSpectrogramLevels(const std::vector<float>& db, double& lo, double& hi);

struct SpectrogramDrawing {
    const SpectrogramScreen* screen = nullptr;
    double sampleRateHz = 1;
    double timeOffsetSamples = 0;  // where the screen's sample 0 lies in its file
    double fStart = 0, fEnd = 0;   // the frequency span shown, Hz
    double levelLo = -100, levelHi = 0;
    double dbmOffsetDb = 0;
    bool dbm = false;  // colour bar in dBm (levels plus the offset)
    SpectrogramColours colours = SpectrogramColours::kPerceptual;
    std::string note;  // progress or why tiles are missing
    QRect box;         // a box being dragged or chosen (widget pixels), or empty
};

// The plot area of a W × H picture (the rows are drawn into it one per pixel row).
QRect SpectrogramPlotArea(int W, int H);
// Frequency (Hz) at widget x and x of a frequency, for a picture of width W.
double SpectrogramHzAt(double x, int W, double fStart, double fEnd);
double SpectrogramXOfHz(double hz, int W, double fStart, double fEnd);

void DrawSpectrogram(QPainter& p, int W, int H, const SpectrogramDrawing& d);
