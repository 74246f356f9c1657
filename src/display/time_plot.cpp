#include "display/time_plot.h"

#include <algorithm>
#include <cmath>

#include "display/axis_labels.h"
#include "display/panel_writer.h"
#include "display/pixel_round.h"
#include "display/plot_frame.h"
#include "display/sample_axis.h"
#include "display/trace_path.h"
#include "display/value_format.h"
#include "dsp/range_scan.h"
#include "waveform/number_format.h"
#include "waveform/waveform.h"

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;

enum class TraceKind { LogMag, Linear, Phase };

inline float Power(const float* I, const float* Q, int64_t k) { return I[k] * I[k] + Q[k] * Q[k]; }

inline double PhaseDegrees(const float* I, const float* Q, int64_t k) {
    return static_cast<double>(std::atan2(Q[k], I[k])) * kDegreesPerRadian;
}

// Smallest and largest power of samples [b, e) with stride 1, in independent lanes so the
// loop vectorises.
void PowerMinMax(const float* I, const float* Q, int64_t b, int64_t e, float& lo, float& hi) {
    constexpr int kLanes = 8;
    float los[kLanes], his[kLanes];
    for (int l = 0; l < kLanes; ++l)
        los[l] = his[l] = lo;
    int64_t k = b;
    for (; k + kLanes <= e; k += kLanes)
        for (int l = 0; l < kLanes; ++l) {
            const float p = I[k + l] * I[k + l] + Q[k + l] * Q[k + l];
            los[l] = p < los[l] ? p : los[l];
            his[l] = p > his[l] ? p : his[l];
        }
    for (int l = 0; l < kLanes; ++l) {
        lo = std::min(lo, los[l]);
        hi = std::max(hi, his[l]);
    }
    for (; k < e; ++k) {
        const float p = Power(I, Q, k);
        lo = std::min(lo, p);
        hi = std::max(hi, p);
    }
}

struct Frame {
    int left, top, pw, ph;
};

// Background, graticule, sample numbers and the X title; returns the plot area.
Frame DrawTimeFrame(cPlotEngine& e, QPainter& p, int W, int H, int start, int end,
                    const AxisScale& axis) {
    const PlotStyle& st = e.style;
    FillPlotBackground(p, st, W, H);
    const Frame f{st.margins.left, st.margins.top, st.margins.PlotWidth(W),
                  st.margins.PlotHeight(H)};
    const double S = static_cast<double>(end) - start;
    const double nX = SampleAxisDivisions(S);
    DrawGraticule(p, st, f.pw, f.ph, axis.divisions, nX);
    DrawSampleAxisNumbers(p, st, H, f.pw, start, S, nX);
    DrawXAxisTitle(p, st, H, f.pw, "Sample");
    return f;
}

// Y numbers of a centred linear axis: text(T − i·scale) for i = 0 … divisions.
template <class Text>
void DrawCentredAxisNumbers(QPainter& p, const PlotStyle& st, const AxisScale& axis, int ph,
                            double top, Text text) {
    const double divisions = std::isfinite(axis.divisions) ? axis.divisions : 0.0;
    for (int i = 0; i <= divisions && i <= kMaxAxisNumbers; ++i)
        DrawYAxisNumber(p, st, divisions > 0 ? i * ph / divisions : 0.0,
                        QString::fromStdString(text(top - i * axis.scale)));
}

// The column walk shared by the three traces: pw + 1 columns, each the envelope of the
// samples since the previous column.
void DrawTrace(QPainter& p, const Frame& f, int start, int end, const cWaveform& w,
               TraceKind kind, const float* channel, double topValue, const AxisScale& axis) {
    const int n = w.sampleCount;
    const float* I = w.I.data();
    const float* Q = w.Q.data();
    const double S = static_cast<double>(end) - start;
    const double s = f.pw > 0 ? S / f.pw : 0.0;
    const double unitsPerPixel = axis.scale * axis.divisions / f.ph;
    const bool steps = f.pw / S > 1.999;
    auto pixel = [&](double v) { return std::clamp(RoundHalfAwayPixel((topValue - v) / unitsPerPixel), 0, f.ph); };
    auto value = [&](int64_t k) -> double {
        switch (kind) {
            case TraceKind::LogMag: return 10.0 * std::log10(static_cast<double>(Power(I, Q, k)) + 1e-30);
            case TraceKind::Linear: return channel[k];
            case TraceKind::Phase: return PhaseDegrees(I, Q, k);
        }
        return 0.0;
    };

    TracePath path(p);
    int64_t prevIdx = 0;
    int prevY = 0, lastBottom = 0;
    for (int j = 0; j <= f.pw; ++j) {
        const int64_t idx =
            std::clamp(static_cast<int64_t>(std::floor(start + j * s + 0.5)), int64_t{0},
                       static_cast<int64_t>(n - 1));
        if (j == 0) prevIdx = idx;
        const int64_t d = idx - prevIdx;
        const int x = f.left + j;
        int y;
        if (d > 1 && kind == TraceKind::LogMag) {
            float lo = Power(I, Q, idx), hi = lo;
            const int k = LogMagStride(d);
            if (k == 1) {
                PowerMinMax(I, Q, prevIdx + 1, idx, lo, hi);
            } else {
                for (int64_t m = prevIdx + 1; m < idx; m += k) {
                    const float pm = Power(I, Q, m);
                    lo = std::min(lo, pm);
                    hi = std::max(hi, pm);
                }
            }
            const int yLo = pixel(10.0 * std::log10(static_cast<double>(lo) + 1e-30));
            if (yLo > prevY && yLo >= lastBottom)
                path.MoveTo(x, f.top + lastBottom);
            else if (yLo <= prevY && yLo == lastBottom)
                path.LineTo(x, f.top + lastBottom);
            path.LineTo(x, f.top + yLo);
            lastBottom = yLo;
            y = pixel(10.0 * std::log10(static_cast<double>(hi) + 1e-30));
        } else if (d > 1) {
            double lo = value(idx), hi = lo;
            const int k = LinearStride(d);
            if (kind == TraceKind::Linear && k == 1) {
                float flo, fhi;
                MinMax(channel, prevIdx + 1, idx, flo, fhi);
                lo = std::min(lo, static_cast<double>(flo));
                hi = std::max(hi, static_cast<double>(fhi));
            } else {
                for (int64_t m = prevIdx + 1; m < idx; m += k) {
                    const double v = value(m);
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
            }
            // Linear: the minimum first (drawn lower), phase: the maximum first.
            const bool linear = kind == TraceKind::Linear;
            path.LineTo(x, f.top + pixel(linear ? lo : hi));
            y = pixel(linear ? hi : lo);
        } else {
            y = pixel(value(idx));
        }
        if (j == 0) {
            path.MoveTo(x, f.top + y);
            lastBottom = y;
        } else {
            if (y != prevY && j > 2 && steps) path.LineTo(x - 1, f.top + y);
            path.LineTo(x, f.top + y);
            if (kind == TraceKind::LogMag && d == 1) lastBottom = y;
        }
        prevY = y;
        prevIdx = idx;
    }
}

std::string Line2(const char* prefix, double v, const char* suffix) {
    return prefix + Fixed(v, 2) + suffix;
}

}  // namespace

int LogMagStride(int64_t d) {
    return d <= 10000 ? 1 : static_cast<int>(std::floor(static_cast<double>(d) / 100.0 + 1.5));
}

int LinearStride(int64_t d) {
    return static_cast<int>(std::floor(static_cast<double>(d) / 1000.0 + 1.5));
}

LinearUnit LinearUnitFor(double T) {
    if (T >= 0.8) return {"Level", 1.0};
    if (T >= 0.001) return {"Level (milli)", 1000.0};
    if (T >= 1e-6) return {"Level (micro)", 1e6};
    if (T >= 1e-9) return {"Level (nano)", 1e9};
    return {"Level", 1.0};
}

void DrawLogMag(cPlotEngine& e, QPainter& p, int W, int H, int start, int end,
                const cWaveform& w) {
    if (w.sampleCount <= 0) return;
    const AxisScale& axis = e.axes[kLogMagAxis];
    const Frame f = DrawTimeFrame(e, p, W, H, start, end, axis);
    DrawDbAxisNumbers(p, e.style, axis, e.dbmOffsetDb, f.ph);
    DrawYAxisTitle(p, e.style, H, e.dbmOffsetDb == 0.0 ? "Level (dB)" : "Level (dBm)");
    p.setPen(e.style.tracePen);
    DrawTrace(p, f, start, end, w, TraceKind::LogMag, nullptr, axis.reference, axis);
    e.rightPanel.clear();
    e.leftPanel.clear();
    if (!e.hideStatistics) PowerStatsPanel(e, p, W - 20, start, end, w, kLinearIQ);
}

void DrawLinear(cPlotEngine& e, QPainter& p, int W, int H, int start, int end,
                const cWaveform& w, int channels) {
    if (w.sampleCount <= 0) return;
    const AxisScale& axis = e.axes[kLinearAxis];
    const Frame f = DrawTimeFrame(e, p, W, H, start, end, axis);
    const double T = axis.reference + axis.scale * axis.divisions / 2;
    const LinearUnit unit = LinearUnitFor(T);
    DrawCentredAxisNumbers(p, e.style, axis, f.ph, T,
                           [&](double v) { return General(v * unit.factor, 3); });
    DrawYAxisTitle(p, e.style, H, unit.title);
    if (channels == kLinearQ || channels == kLinearIQ) {
        p.setPen(e.style.secondTracePen);
        DrawTrace(p, f, start, end, w, TraceKind::Linear, w.Q.data(), T, axis);
    }
    if (channels == kLinearI || channels == kLinearIQ) {
        p.setPen(e.style.tracePen);
        DrawTrace(p, f, start, end, w, TraceKind::Linear, w.I.data(), T, axis);
    }
    // The linear view's panel stays on in the multi view's pane as well.
    PowerStatsPanel(e, p, W - 20, start, end, w, channels);
}

void DrawPhase(cPlotEngine& e, QPainter& p, int W, int H, int start, int end,
               const cWaveform& w) {
    if (w.sampleCount <= 0) return;
    const AxisScale& axis = e.axes[kPhaseAxis];
    const Frame f = DrawTimeFrame(e, p, W, H, start, end, axis);
    const double T = axis.reference + axis.scale * axis.divisions / 2;
    DrawCentredAxisNumbers(p, e.style, axis, f.ph, T, FormatLinearTick);
    DrawYAxisTitle(p, e.style, H, "Phase (Deg)");
    p.setPen(e.style.tracePen);
    DrawTrace(p, f, start, end, w, TraceKind::Phase, nullptr, T, axis);
    e.rightPanel.clear();
    e.leftPanel.clear();
    if (!e.hideStatistics) PowerStatsPanel(e, p, W - 20, start, end, w, kLinearIQ);
}

void PowerStatsPanel(cPlotEngine& e, QPainter& p, int rightX, int64_t start, int64_t end,
                     const cWaveform& w, int mode) {
    const int64_t n = w.sampleCount;
    if (n <= 0) return;
    e.trace.sampleRate = w.sampleRate;
    CorrectStatisticsRange(n, start, end);
    const bool complex = mode == kLinearIQ;
    const PowerStatistics& s = e.StatisticsFor(w, start, end, complex);
    const int64_t N = end - start + 1;
    const double A = s.RmsAmplitude(), Apk = s.PeakAmplitude();
    const double o = e.dbmOffsetDb;
    const char* unit = o != 0.0 ? " dBm" : " dBFS";
    const PlotStyle& st = e.style;
    const int y0 = st.margins.top + 5;

    Panel right(p, st, e.rightPanel, rightX, y0, TextAnchor::RightTop, st.panelCyanColour,
                QColor(0, 0, 0));
    if (!complex)
        right.Line(Line2("RMS Power: ", 20.0 * std::log10(s.SineAmplitude()) + o,
                         o != 0.0 ? " dBm(sin)" : " dBFS(sin)"));
    right.Line(Line2("RMS Power: ", 20.0 * std::log10(A) + o, unit));
    right.Line(Line2("Peak Power: ", 20.0 * std::log10(Apk) + o, unit));
    right.Line(Line2("Crest Factor: ", 20.0 * std::log10(Apk) - 20.0 * std::log10(A), " dB"));

    Panel left(p, st, e.leftPanel, 55, y0, TextAnchor::LeftTop, st.panelWhiteColour);
    left.Line("Sample Rate:" + FormatSampleRate(w.sampleRate));
    left.Line("Duration:" + FormatDuration(static_cast<int>(n), w.sampleRate));
    if (complex)
        left.Line(Line2("IQ DC Offset: ",
                        10.0 * std::log10(s.meanI * s.meanI + s.meanQ * s.meanQ + 1e-15), " dBFS"));
    else
        left.Line(Line2("DC: ", 20.0 * std::log10(std::fabs(s.meanI) + 1e-15), " dBFS"));
    if (N < n) {
        left.Line("ZoomView Position:" + FormatDuration(static_cast<int>(start), w.sampleRate));
        left.Line("ZoomView Duration:" + FormatDuration(static_cast<int>(N), w.sampleRate));
    }
}
