#include "display/ccdf_plot.h"

#include <algorithm>
#include <cmath>

#include "display/axis_labels.h"
#include "display/panel_writer.h"
#include "display/pixel_round.h"
#include "display/plot_frame.h"
#include "display/trace_path.h"
#include "display/value_format.h"
#include "waveform/number_format.h"
#include "waveform/waveform.h"

namespace {

constexpr double kFullRangeDb = 15.0;
constexpr int kDecades = 7;

// "%.5f" without trailing zeros and point: 100, 10, 1, 0.1 … 0.00001.
std::string PercentText(double v) {
    std::string s = Fixed(v, 5);
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

}  // namespace

int CcdfRow(double v, int ph) {
    return std::clamp(ph - RoundHalfAwayPixel((v + 50.0) / 70.0 * ph), 0, ph);
}

void DrawCcdf(cPlotEngine& e, QPainter& p, int W, int H, int start, int end, const cWaveform& w) {
    const int64_t n = w.sampleCount;
    if (n <= 0) return;
    e.trace.sampleRate = w.sampleRate;
    const CcdfStatistics& c = e.CcdfFor(w);
    const PlotStyle& st = e.style;
    FillPlotBackground(p, st, W, H);
    const int left = st.margins.left, top = st.margins.top;
    const int pw = st.margins.PlotWidth(W), ph = st.margins.PlotHeight(H);
    const double nX = end - start <= 10 ? static_cast<double>(end - start) : kFullRangeDb;
    DrawGraticule(p, st, pw, ph, kDecades, nX);

    const double scale = n > 1 ? kFullRangeDb / static_cast<double>(n - 1) : 0.0;
    const double x0 = n > 1 ? scale * start : 0.0;
    const double x1 = n > 1 ? scale * end : kFullRangeDb;
    auto xAt = [&](int i) { return static_cast<float>(x0 + i * (x1 - x0) / pw); };

    {
        p.setPen(st.darkLinePen);
        TracePath path(p, p.pen());
        const double lastKnot = e.ccdfReference.KnotX(e.ccdfReference.KnotCount() - 1);
        for (int i = 0; i <= pw; ++i) {
            const float x = xAt(i);
            if (x > lastKnot) break;
            const int y = top + CcdfRow(e.ccdfReference.Evaluate(x), ph);
            i == 0 ? path.MoveTo(left + i, y) : path.LineTo(left + i, y);
        }
    }
    {
        p.setPen(st.tracePen);
        TracePath path(p, p.pen());
        const double A = c.power.RmsAmplitude(), Apk = c.power.PeakAmplitude();
        const size_t m = c.above.size();
        size_t k = 0;
        for (int i = 0; i <= pw; ++i) {
            const float x = xAt(i);
            const double amplitude = A * std::pow(10.0, x / 20.0);
            const double t = amplitude * amplitude;
            while (k < m && c.above[k] <= t)
                ++k;
            const double percent = static_cast<double>(m - k) / static_cast<double>(n) * 100.0;
            const int y = top + CcdfRow(10.0 * std::log10(percent + 1e-13), ph);
            i == 0 ? path.MoveTo(left + i, y) : path.LineTo(left + i, y);
            if (t > Apk * Apk) break;
        }
    }

    // Titles first: a number that reaches under a title stays readable over it.
    DrawAnchoredTextUpwards(p, st.verticalFont, st.axisTextColour,
                            QPoint(st.margins.yTitleX, H / 2 - top), TextAnchor::CentreTop,
                            "Probability (%)");
    DrawXAxisTitle(p, st, H, pw, "Peak to Average Ratio (dB)");
    for (int i = 0; i <= kDecades; ++i)
        DrawYAxisNumber(p, st, static_cast<double>(i) * ph / kDecades,
                        QString::fromStdString(PercentText(100.0 / std::pow(10.0, i))));
    for (int i = 0; nX > 0 && i <= nX; ++i)
        DrawXAxisNumber(p, st, H, i * pw / nX,
                        QString::fromStdString(FormatTrimmed(x0 + i / nX * (x1 - x0))));

    const double rmsDb = 20.0 * std::log10(c.power.RmsAmplitude());
    const double peakDb = 20.0 * std::log10(c.power.PeakAmplitude());
    const double o = e.dbmOffsetDb;
    const bool dbm = std::fabs(o) > 0.001;
    Panel right(p, st, e.rightPanel, W - 20, top + 5, TextAnchor::RightTop, st.panelCyanColour,
                QColor(0, 0, 0));
    right.Line("RMS Power: " + Fixed(rmsDb + (dbm ? o : 0.0), 2) + (dbm ? " dBm" : " dBFS"));
    right.Line("Peak Power: " + Fixed(peakDb + (dbm ? o : 0.0), 2) + (dbm ? " dBm" : " dBFS"));
    right.Line("Crest Factor: " + Fixed(peakDb - rmsDb, 2) + " dB");
    if (e.measurements.tddBurstDetected) right.Line("TDD Burst(s) Detected");
    right.Line("Average: " + Fixed(c.percentAboveMean, 2) + " %");
    static const char* const kParLabels[] = {"PAR (10%): ",   "PAR (1%): ",     "PAR (0.10%): ",
                                             "PAR (0.01%): ", "PAR (0.001%): ", "PAR (0.0001%): "};
    for (size_t i = 0; i < c.parDb.size(); ++i)
        right.Line(kParLabels[i] + Fixed(c.parDb[i], 2) + " dB");

    Panel leftColumn(p, st, e.leftPanel, 55, top + 5, TextAnchor::LeftTop, st.panelWhiteColour);
    if (!e.hideStatistics) {
        leftColumn.Line("Sample Rate:" + FormatSampleRate(w.sampleRate));
        leftColumn.Line("Duration:" + FormatDuration(static_cast<int>(n), w.sampleRate));
    }
    leftColumn.Line("Samples: " + std::to_string(n));
}
