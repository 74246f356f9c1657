#include "display/marker_overlay.h"

#include <algorithm>
#include <cmath>

#include "display/ccdf_plot.h"
#include "display/pixel_round.h"
#include "display/plot_engine.h"
#include "display/value_to_pixel.h"
#include "display/view_kinds.h"
#include "measure/shown_spectrum.h"
#include "waveform/waveform.h"

namespace {

const QColor kMarkerColour(255, 170, 0);
constexpr double kCcdfRangeDb = 15.0;  // the CCDF's x axis at full range

// Row of value v on a linear axis centred on its reference (I, Q, phase).
double CentredRow(const AxisScale& axis, double v, int top, int ph) {
    const double T = axis.reference + axis.scale * axis.divisions / 2;
    return top + (T - v) / (axis.scale * axis.divisions / ph);
}

}  // namespace

MarkerPlot MarkerPlotOf(int kind) {
    if (IsSpectrumKind(kind)) return MarkerPlot::Spectrum;
    if (IsTimeKind(kind)) return MarkerPlot::Time;
    if (kind == kViewCcdf) return MarkerPlot::Ccdf;
    return MarkerPlot::None;
}

int MarkerToPlace(const MarkerPositions& at, int selected) {
    for (int m = 0; m < kMaxMarkers; ++m)
        if (!at[static_cast<size_t>(m)]) return m + 1;
    return selected > 0 ? selected : 1;
}

MarkerAxis MarkerAxisFor(const PlotMargins& m, int W, int kind, double xStart, double xEnd,
                         int64_t n) {
    MarkerAxis axis;
    axis.left = m.left;
    axis.pw = std::max(1, m.PlotWidth(W));
    switch (MarkerPlotOf(kind)) {
        case MarkerPlot::Time:
            axis.a = std::round(xStart);
            axis.b = std::round(xEnd);
            break;
        case MarkerPlot::Ccdf:
            // The CCDF maps its sample range onto 0 … 15 dB.
            axis.a = n > 1 ? kCcdfRangeDb * xStart / static_cast<double>(n - 1) : 0.0;
            axis.b = n > 1 ? kCcdfRangeDb * xEnd / static_cast<double>(n - 1) : kCcdfRangeDb;
            break;
        default:
            axis.a = xStart;
            axis.b = xEnd;
            break;
    }
    if (!(axis.b > axis.a)) axis.b = axis.a + 1.0;
    return axis;
}

void DrawMarkerFlag(QPainter& p, int x, int y, int number, bool selected) {
    const QPoint flag[3] = {{x, y}, {x + 6, y - 9}, {x - 6, y - 9}};
    p.setPen(QPen(kMarkerColour, 1));
    p.setBrush(selected ? QBrush(Qt::white) : QBrush(kMarkerColour));
    p.drawPolygon(flag, 3);
    p.setBrush(Qt::NoBrush);
    p.setPen(selected ? QColor(Qt::white) : kMarkerColour);
    p.drawText(QRect(x - 10, y - 26, 20, 16), Qt::AlignCenter, QString::number(number));
}

void DrawMarkers(cPlotEngine& e, QPainter& p, int W, int H, const cWaveform& w,
                 const KindDrawing& d, const MarkerPositions& at, int selected) {
    const MarkerPlot plot = MarkerPlotOf(d.kind);
    if (plot == MarkerPlot::None || d.phaseDisplay || w.sampleCount <= 0) return;
    if (plot == MarkerPlot::Spectrum && (!e.trace.traceValid || e.trace.pointCount <= 0)) return;
    const PlotMargins& mg = e.style.margins;
    const int ph = mg.PlotHeight(H);
    if (ph < 1 || mg.PlotWidth(W) < 1) return;
    const MarkerAxis axis = MarkerAxisFor(mg, W, d.kind, d.xStart, d.xEnd, w.sampleCount);
    const int64_t n = w.sampleCount;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setFont(e.style.smallFont);
    for (int m = 0; m < kMaxMarkers; ++m) {
        const std::optional<double>& v = at[static_cast<size_t>(m)];
        if (!v) continue;
        double x = axis.X(*v), y = mg.top;
        switch (plot) {
            case MarkerPlot::Spectrum: {
                const int k = ShownPoint(e.trace, *v);
                y = DbLevelToY(e.axes[kSpectrumAxis],
                               PowerDb(e.trace.power[static_cast<size_t>(k)]), mg.top, ph);
                break;
            }
            case MarkerPlot::Time: {
                const int64_t k = std::clamp<int64_t>(std::llround(*v), 0, n - 1);
                x = axis.X(static_cast<double>(k));
                const double i = w.I[k], q = w.Q[k];
                if (d.kind == kViewLogMag)
                    y = DbLevelToY(e.axes[kLogMagAxis], PowerDb(i * i + q * q), mg.top, ph);
                else if (d.kind == kViewPhase)
                    y = CentredRow(e.axes[kPhaseAxis], std::atan2(q, i) * 180.0 / M_PI, mg.top, ph);
                else
                    y = CentredRow(e.axes[kLinearAxis], d.kind == kViewTimeQ ? q : i, mg.top, ph);
                break;
            }
            case MarkerPlot::Ccdf: {
                const double percent = CcdfPercentAbove(e.CcdfFor(w), *v);
                y = mg.top + CcdfRow(10.0 * std::log10(percent + 1e-13), ph);
                break;
            }
            case MarkerPlot::None: break;
        }
        if (!(y == y)) y = mg.top;
        if (x < mg.left - 0.5 || x > mg.left + axis.pw + 0.5) continue;  // outside the span
        y = std::clamp(y, static_cast<double>(mg.top), static_cast<double>(mg.top + ph));
        DrawMarkerFlag(p, RoundHalfAwayPixel(x), RoundHalfAwayPixel(y), m + 1, m + 1 == selected);
    }
    p.restore();
}
