#include "display/time_plot.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

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

// Background, graticule, sample numbers and the X title; returns the plot area. Samples are
// numbered from the start of their file, so a range of a capture reads where it lies in it.
Frame DrawTimeFrame(cPlotEngine& e, QPainter& p, int W, int H, int start, int end,
                    const AxisScale& axis, const cWaveform& w) {
    const int64_t first = w.source.firstSample;
    const PlotStyle& st = e.style;
    FillPlotBackground(p, st, W, H);
    const Frame f{st.margins.left, st.margins.top, st.margins.PlotWidth(W),
                  st.margins.PlotHeight(H)};
    const double S = static_cast<double>(end) - start;
    const std::optional<double> clock =
        e.timeOfDayAxis ? TimeOfDayAtFileStart(w) : std::optional<double>();
    const double rate = static_cast<double>(std::max<int64_t>(1, w.sampleRate));
    // Decimals of the time of day that tell ticks a few samples apart.
    const int decimals = std::clamp(static_cast<int>(std::ceil(std::log10(rate / 2))), 0, 9);
    // Numbers at round sample counts, as far apart as the widest of them needs.
    const QFontMetrics metrics(st.smallFont, p.device());
    const double widest =
        clock ? metrics.horizontalAdvance(QString::fromStdString(TimeOfDayText(*clock, decimals)))
              : metrics.horizontalAdvance(QString::number(first + end + 1));
    const std::vector<SampleTick> ticks =
        SampleAxisTicks(static_cast<double>(first + start), S, f.pw, widest + 16);
    std::vector<double> lines;
    for (const SampleTick& t : ticks)
        lines.push_back(t.offsetPx);
    DrawGraticule(p, st, f.pw, f.ph, axis.divisions, 0);
    DrawVerticalGridLines(p, st, f.ph, lines);
    if (!clock) {
        DrawXAxisTitle(p, st, H, f.pw, "Sample");  // first, so numbers stay readable over it
        DrawSampleAxisNumbers(p, st, H, ticks);
        return f;
    }
    // The tick's sample number counts from 1; its time is that of the sample before.
    const auto at = [&](long long number) {
        return *clock + static_cast<double>(number - 1) / rate;
    };
    std::time_t whole = static_cast<std::time_t>(std::floor(at(first + start + 1)));
    std::tm utc{};
    gmtime_r(&whole, &utc);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d", &utc);
    DrawXAxisTitle(p, st, H, f.pw, QString("Time of day (UTC), ") + date);
    for (const SampleTick& t : ticks)
        DrawXAxisNumber(p, st, H, t.offsetPx,
                        QString::fromStdString(TimeOfDayText(at(t.number), decimals)));
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

using Column = cPlotEngine::EnvelopeColumn;

// Smallest and largest of x[b], x[b + k], … below e.
inline void StridedMinMax(const float* x, int64_t b, int64_t e, int k, double& lo, double& hi) {
    float flo = static_cast<float>(lo), fhi = static_cast<float>(hi);
    if (k == 1) {
        float l, h;
        MinMax(x, b, e, l, h);
        flo = std::min(flo, l);
        fhi = std::max(fhi, h);
    } else {
        for (int64_t m = b; m < e; m += k) {
            flo = std::min(flo, x[m]);
            fhi = std::max(fhi, x[m]);
        }
    }
    lo = flo;
    hi = fhi;
}

// The samples of each of the pw + 1 columns: the column's own sample idx and, when it covers
// more than one new sample, the extremes of those (scanned with the kind's stride). LogMag
// extremes are linear powers; the others are values in the plotted unit.
std::vector<Column> ComputeColumns(const Frame& f, int start, int end, const cWaveform& w,
                                   TraceKind kind, const float* channel) {
    const int n = w.sampleCount;
    const float* I = w.I.data();
    const float* Q = w.Q.data();
    const double s = f.pw > 0 ? (static_cast<double>(end) - start) / f.pw : 0.0;
    std::vector<Column> columns(static_cast<size_t>(std::max(f.pw + 1, 0)));
    int64_t prevIdx = 0;
    for (int j = 0; j <= f.pw; ++j) {
        Column& c = columns[static_cast<size_t>(j)];
        c.idx = std::clamp(static_cast<int64_t>(std::floor(start + j * s + 0.5)), int64_t{0},
                           static_cast<int64_t>(n - 1));
        if (j == 0) prevIdx = c.idx;
        c.d = c.idx - prevIdx;
        switch (kind) {
            case TraceKind::LogMag: c.value = Power(I, Q, c.idx); break;
            case TraceKind::Linear: c.value = channel[c.idx]; break;
            case TraceKind::Phase: c.value = PhaseDegrees(I, Q, c.idx); break;
        }
        c.lo = c.hi = c.value;
        if (c.d > 1) {
            const int64_t b = prevIdx + 1, e = c.idx;
            if (kind == TraceKind::LogMag) {
                float lo = static_cast<float>(c.value), hi = lo;
                const int k = LogMagStride(c.d);
                if (k == 1) {
                    PowerMinMax(I, Q, b, e, lo, hi);
                } else {
                    for (int64_t m = b; m < e; m += k) {
                        const float pm = Power(I, Q, m);
                        lo = std::min(lo, pm);
                        hi = std::max(hi, pm);
                    }
                }
                c.lo = lo;
                c.hi = hi;
            } else if (kind == TraceKind::Linear) {
                StridedMinMax(channel, b, e, LinearStride(c.d), c.lo, c.hi);
            } else {
                const int k = LinearStride(c.d);
                for (int64_t m = b; m < e; m += k) {
                    const double v = PhaseDegrees(I, Q, m);
                    c.lo = std::min(c.lo, v);
                    c.hi = std::max(c.hi, v);
                }
            }
        }
        prevIdx = c.idx;
    }
    return columns;
}

// The column walk shared by the three traces: pw + 1 columns, each the envelope of the
// samples since the previous column. The envelope is kept in the engine, so redrawing the
// same range (a new scale, a panel change) does not scan the samples again.
void DrawTrace(cPlotEngine& e, QPainter& p, const Frame& f, int start, int end, const cWaveform& w,
               TraceKind kind, const float* channel, double topValue, const AxisScale& axis) {
    const cPlotEngine::EnvelopeKey key{static_cast<int>(kind) * 4 + (channel == w.Q.data()),
                                       w.I.data(),
                                       w.Q.data(),
                                       w.sampleCount,
                                       start,
                                       end,
                                       f.pw,
                                       e.Generation()};
    const std::vector<Column>* kept = e.FindEnvelope(key);
    if (!kept) {
        e.KeepEnvelope(key, ComputeColumns(f, start, end, w, kind, channel));
        kept = e.FindEnvelope(key);
    }
    const std::vector<Column>& columns = *kept;

    const double S = static_cast<double>(end) - start;
    const double unitsPerPixel = axis.scale * axis.divisions / f.ph;
    const bool steps = f.pw / S > 1.999;
    const bool logMag = kind == TraceKind::LogMag;
    auto pixel = [&](double v) {
        if (logMag) v = 10.0 * std::log10(v + 1e-30);
        return std::clamp(RoundHalfAwayPixel((topValue - v) / unitsPerPixel), 0, f.ph);
    };

    TracePath path(p, p.pen());
    int prevY = 0, lastBottom = 0;
    for (int j = 0; j <= f.pw; ++j) {
        const Column& c = columns[static_cast<size_t>(j)];
        const int x = f.left + j;
        int y;
        if (c.d > 1 && logMag) {
            const int yLo = pixel(c.lo);
            if (yLo > prevY && yLo >= lastBottom)
                path.MoveTo(x, f.top + lastBottom);
            else if (yLo <= prevY && yLo == lastBottom)
                path.LineTo(x, f.top + lastBottom);
            path.LineTo(x, f.top + yLo);
            lastBottom = yLo;
            y = pixel(c.hi);
        } else if (c.d > 1) {
            // Linear: the minimum first (drawn lower), phase: the maximum first.
            const bool linear = kind == TraceKind::Linear;
            path.LineTo(x, f.top + pixel(linear ? c.lo : c.hi));
            y = pixel(linear ? c.hi : c.lo);
        } else {
            y = pixel(c.value);
        }
        if (j == 0) {
            path.MoveTo(x, f.top + y);
            lastBottom = y;
        } else {
            if (y != prevY && j > 2 && steps) path.LineTo(x - 1, f.top + y);
            path.LineTo(x, f.top + y);
            if (logMag && c.d == 1) lastBottom = y;
        }
        prevY = y;
    }
}

std::string Line2(const char* prefix, double v, const char* suffix) {
    return prefix + Fixed(v, 2) + suffix;
}

}  // namespace

std::optional<double> TimeOfDayAtFileStart(const cWaveform& w) {
    const SigmfSegment* segment = w.recording.SegmentAt(w.source.firstSample);
    if (!segment || w.sampleRate <= 0) return std::nullopt;
    const std::optional<double> start = DatetimeSeconds(segment->datetime);
    if (!start) return std::nullopt;
    return *start - static_cast<double>(segment->firstSample) / static_cast<double>(w.sampleRate);
}

std::string TimeOfDayText(double seconds, int decimals) {
    decimals = std::clamp(decimals, 0, 9);
    // Whole seconds and the fraction apart, so the fraction keeps its figures.
    const double whole = std::floor(seconds);
    const double unit = std::pow(10.0, decimals);
    auto ticks = static_cast<long long>(std::llround((seconds - whole) * unit));
    auto daySeconds = static_cast<long long>(whole) % 86400;
    if (daySeconds < 0) daySeconds += 86400;
    if (ticks >= static_cast<long long>(unit)) {
        ticks -= static_cast<long long>(unit);
        daySeconds = (daySeconds + 1) % 86400;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", daySeconds / 3600,
                  daySeconds / 60 % 60, daySeconds % 60);
    std::string out = text;
    if (decimals > 0) {
        std::snprintf(text, sizeof text, ".%0*lld", decimals, ticks);
        out += text;
    }
    return out;
}

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

void DrawLogMag(cPlotEngine& e, QPainter& p, int W, int H, int start, int end, const cWaveform& w) {
    if (w.sampleCount <= 0) return;
    const AxisScale& axis = e.axes[kLogMagAxis];
    const Frame f = DrawTimeFrame(e, p, W, H, start, end, axis, w);
    DrawYAxisTitle(p, e.style, H, e.dbmOffsetDb == 0.0 ? "Level (dB)" : "Level (dBm)");
    DrawDbAxisNumbers(p, e.style, axis, e.dbmOffsetDb, f.ph);
    p.setPen(e.style.tracePen);
    DrawTrace(e, p, f, start, end, w, TraceKind::LogMag, nullptr, axis.reference, axis);
    e.rightPanel.clear();
    e.leftPanel.clear();
    if (!e.hideStatistics) PowerStatsPanel(e, p, W - 20, start, end, w, kLinearIQ);
}

void DrawLinear(cPlotEngine& e, QPainter& p, int W, int H, int start, int end, const cWaveform& w,
                int channels) {
    if (w.sampleCount <= 0) return;
    const AxisScale& axis = e.axes[kLinearAxis];
    const Frame f = DrawTimeFrame(e, p, W, H, start, end, axis, w);
    const double T = axis.reference + axis.scale * axis.divisions / 2;
    const LinearUnit unit = LinearUnitFor(T);
    DrawYAxisTitle(p, e.style, H, unit.title);
    DrawCentredAxisNumbers(p, e.style, axis, f.ph, T,
                           [&](double v) { return General(v * unit.factor, 3); });
    if (channels == kLinearQ || channels == kLinearIQ) {
        p.setPen(e.style.secondTracePen);
        DrawTrace(e, p, f, start, end, w, TraceKind::Linear, w.Q.data(), T, axis);
    }
    if (channels == kLinearI || channels == kLinearIQ) {
        p.setPen(e.style.tracePen);
        DrawTrace(e, p, f, start, end, w, TraceKind::Linear, w.I.data(), T, axis);
    }
    // The linear view's panel stays on in the multi view's pane as well.
    PowerStatsPanel(e, p, W - 20, start, end, w, channels);
}

void DrawPhase(cPlotEngine& e, QPainter& p, int W, int H, int start, int end, const cWaveform& w) {
    if (w.sampleCount <= 0) return;
    const AxisScale& axis = e.axes[kPhaseAxis];
    const Frame f = DrawTimeFrame(e, p, W, H, start, end, axis, w);
    const double T = axis.reference + axis.scale * axis.divisions / 2;
    DrawYAxisTitle(p, e.style, H, "Phase (Deg)");
    DrawCentredAxisNumbers(p, e.style, axis, f.ph, T, FormatLinearTick);
    p.setPen(e.style.tracePen);
    DrawTrace(e, p, f, start, end, w, TraceKind::Phase, nullptr, T, axis);
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
    const PowerStatistics& s = e.StatisticsFor(w, start, end, mode);
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
        left.Line(Line2(
            "DC: ", 20.0 * std::log10(std::fabs(mode == kLinearQ ? s.meanQ : s.meanI) + 1e-15),
            " dBFS"));
    if (N < n) {
        left.Line("ZoomView Position:" + FormatDuration(static_cast<int>(start), w.sampleRate));
        left.Line("ZoomView Duration:" + FormatDuration(static_cast<int>(N), w.sampleRate));
    }
}
