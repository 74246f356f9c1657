#include "display/modulation_plot.h"

#include <algorithm>
#include <cmath>

#include "display/axis_labels.h"
#include "display/modulation_text.h"
#include "display/panel_writer.h"
#include "display/plot_frame.h"
#include "display/value_format.h"

namespace {

void ResultPanel(cPlotEngine& e, QPainter& p, int W, const cPlotEngine::ModulationAnalysis& a) {
    const PlotStyle& st = e.style;
    Panel right(p, st, e.rightPanel, W - 20, st.margins.top + 5, TextAnchor::RightTop,
                st.panelCyanColour, QColor(0, 0, 0));
    if (a.blind)
        for (const std::string& line : ModulationLines(a.settings, *a.blind))
            right.Line(line);
    if (a.reference) {
        right.Line("Reference: " + a.referenceName);
        for (const std::string& line : ReferenceEvmLines(*a.reference, a.sampleRate))
            right.Line(line);
    }
}

}  // namespace

void DrawSymbolConstellation(cPlotEngine& e, QPainter& p, int W, int H,
                             const cPlotEngine::ModulationAnalysis& a) {
    const PlotStyle& st = e.style;
    e.rightPanel.clear();
    e.leftPanel.clear();
    FillPlotBackground(p, st, W, H);
    const int pw = st.margins.PlotWidth(W), ph = st.margins.PlotHeight(H);
    if (!a.blind || pw <= 0 || ph <= 0) return;
    const ModulationResult& r = *a.blind;
    // A square around the ideal points with a quarter of their extent to spare.
    double extent = 0;
    for (const auto& point : ConstellationPoints(a.settings.modulation))
        extent = std::max({extent, std::abs(point.real()), std::abs(point.imag())});
    const double range = 1.3 * extent;
    const int side = std::min(pw, ph);
    const int left = st.margins.left + (pw - side) / 2, top = st.margins.top + (ph - side) / 2;
    const auto x = [&](double v) { return left + (v + range) / (2 * range) * side; };
    const auto y = [&](double v) { return top + (range - v) / (2 * range) * side; };
    p.setPen(st.graticulePen);
    for (int i = 0; i <= 8; ++i) {
        const double g = i * side / 8.0;
        p.drawLine(QPointF(left + g, top), QPointF(left + g, top + side));
        p.drawLine(QPointF(left, top + g), QPointF(left + side, top + g));
    }
    p.setPen(st.axisPen);
    p.drawLine(QPointF(x(0), top), QPointF(x(0), top + side));
    p.drawLine(QPointF(left, y(0)), QPointF(left + side, y(0)));
    // Every symbol up to 200,000, else an even sample of them.
    const size_t step = std::max<size_t>(1, r.measured.size() / 200000);
    QVector<QPointF> points;
    points.reserve(static_cast<int>(r.measured.size() / step + 1));
    for (size_t k = 0; k < r.measured.size(); k += step)
        points.push_back(QPointF(x(r.measured[k].real()), y(r.measured[k].imag())));
    QPen dots = st.tracePen;
    dots.setWidth(1);
    p.setPen(dots);
    p.drawPoints(points.data(), static_cast<int>(points.size()));
    p.setPen(st.redPen);
    const double arm = std::max(2.0, side / 160.0);
    for (const auto& point : ConstellationPoints(a.settings.modulation)) {
        const QPointF c(x(point.real()), y(point.imag()));
        p.drawLine(c - QPointF(arm, 0), c + QPointF(arm, 0));
        p.drawLine(c - QPointF(0, arm), c + QPointF(0, arm));
    }
    DrawXAxisTitle(p, st, H, pw, "I (symbols, constellation rms = 1)");
    ResultPanel(e, p, W, a);
    Panel leftColumn(p, st, e.leftPanel, 55, st.margins.top + 5, TextAnchor::LeftTop,
                     st.panelWhiteColour);
    leftColumn.Line("Symbols shown: " + std::to_string(points.size()));
    leftColumn.Line("Ideal points: red");
}

void DrawEvmPlot(cPlotEngine& e, QPainter& p, int W, int H,
                 const cPlotEngine::ModulationAnalysis& a) {
    const PlotStyle& st = e.style;
    e.rightPanel.clear();
    e.leftPanel.clear();
    FillPlotBackground(p, st, W, H);
    const int left = st.margins.left, top = st.margins.top;
    const int pw = st.margins.PlotWidth(W), ph = st.margins.PlotHeight(H);
    if (pw <= 0 || ph <= 0) return;
    const AxisScale& axis = e.axes[kEvmAxis];
    const double divisions = std::max(1.0, axis.divisions);
    const double bottom = axis.reference, span = axis.scale * divisions;
    DrawGraticule(p, st, pw, ph, divisions, 10);
    // Against symbol for the blind analysis, against time (blocks of samples) otherwise.
    const std::vector<float>& evm = a.blind ? a.blind->evmPercent : a.reference->evmPercentPerBlock;
    const double rms = a.blind ? a.blind->evmRmsPercent : a.reference->evmRmsPercent;
    const size_t n = evm.size();
    const auto row = [&](double v) {
        return top + ph - std::clamp((v - bottom) / span, 0.0, 1.0) * ph;
    };
    // Each column: its highest value (a line from its rms) so no peak is lost when zoomed out.
    p.setPen(st.tracePen);
    for (int c = 0; c < pw && n > 0; ++c) {
        const size_t from = n * static_cast<size_t>(c) / static_cast<size_t>(pw);
        const size_t to =
            std::max(from + 1, n * static_cast<size_t>(c + 1) / static_cast<size_t>(pw));
        float high = 0;
        double sum = 0;
        for (size_t k = from; k < to && k < n; ++k) {
            high = std::max(high, evm[k]);
            sum += static_cast<double>(evm[k]) * evm[k];
        }
        const double columnRms = std::sqrt(sum / static_cast<double>(to - from));
        p.drawLine(QPointF(left + c, row(columnRms)), QPointF(left + c, row(high)));
    }
    QPen rmsPen = st.redPen;
    rmsPen.setWidth(2);
    p.setPen(rmsPen);
    p.drawLine(QPointF(left, row(rms)), QPointF(left + pw, row(rms)));
    for (int i = 0; i <= static_cast<int>(divisions); ++i)
        DrawYAxisNumber(p, st, i * ph / divisions,
                        QString::fromStdString(FormatTrimmed(bottom + span - i * axis.scale)));
    const double count =
        a.blind ? static_cast<double>(n) : static_cast<double>(a.reference->samples) / a.sampleRate;
    for (int i = 0; i <= 10; ++i)
        DrawXAxisNumber(p, st, H, i * pw / 10.0,
                        QString::fromStdString(
                            FormatTrimmed(a.blind ? std::round(count * i / 10) : count * i / 10)));
    DrawYAxisTitle(p, st, H, "EVM (%)");
    DrawXAxisTitle(p, st, H, pw, a.blind ? "Symbol" : "Time from the first sample compared (s)");
    ResultPanel(e, p, W, a);
    Panel leftColumn(p, st, e.leftPanel, 55, top + 5, TextAnchor::LeftTop, st.panelWhiteColour);
    leftColumn.Line(a.blind ? "EVM per symbol: green (column peak), rms: red"
                            : "EVM per block of " + std::to_string(a.reference->blockSamples) +
                                  " samples: green, rms: red");
}
