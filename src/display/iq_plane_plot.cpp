#include "display/iq_plane_plot.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <vector>

#include "display/anchored_text.h"
#include "display/axis_labels.h"
#include "display/frequency_plot.h"
#include "display/panel_writer.h"
#include "display/pixel_round.h"
#include "display/plot_frame.h"
#include "display/time_plot.h"
#include "display/trace_path.h"
#include "display/value_format.h"
#include "waveform/number_format.h"
#include "waveform/waveform.h"

namespace {

constexpr int kGridDivisions = 20;
constexpr double kTwoPi = 6.283185307179586;

// The square of side 2h centred in the plot area; amplitude 1/Z maps to h pixels.
struct Square {
    int left, top, pw, ph, h, sqLeft, sqTop;
    Square(const PlotStyle& st, int W, int H)
        : left(st.margins.left),
          top(st.margins.top),
          pw(st.margins.PlotWidth(W)),
          ph(st.margins.PlotHeight(H)) {
        h = ph / 2;
        if (pw / 2 < ph / 2) h = pw / 2;
        sqTop = top + (ph - 2 * h) / 2;
        sqLeft = left + (pw - 2 * h) / 2;
    }
    double GridStep(int k) const { return static_cast<double>(k) * 2 * h / kGridDivisions; }
};

void DrawPlotEdges(QPainter& p, const PlotStyle& st, int left, int top, int pw, int ph) {
    p.setPen(st.axisPen);
    p.drawLine(left, top, left, top + ph);
    p.drawLine(left, top + ph, left + pw, top + ph);
}

// Marker word fields.
constexpr int MarkerClass(uint16_t m) { return m & 0x3; }
constexpr int MarkerGroup(uint16_t m) { return (m >> 8) & 0xF; }

constexpr uint32_t kFirstHit = 0x00AF00;
constexpr uint32_t kGreenStep = 0x000800;
constexpr uint32_t kWhiteStep = 0x040004;
constexpr uint32_t kWhiteLimit = 0xF6FFF6;
constexpr uint32_t kDim = 0x015420A0;
constexpr uint32_t kClassColours[4] = {0, 0x03FC7F00, 0x03FC0000, 0x015420A0};

}  // namespace

void DrawVector(cPlotEngine& e, QPainter& p, int W, int H, int start, int end, int zoom, int mode,
                const cWaveform& w) {
    if (w.sampleCount <= 0) return;
    const PlotStyle& st = e.style;
    const int step = 1 + (end - start) / 20000;
    FillPlotBackground(p, st, W, H);
    const Square sq(st, W, H);
    p.setPen(st.graticulePen);
    for (int k = 0; k <= kGridDivisions; ++k) {
        const int y = RoundHalfAwayPixel(sq.sqTop + sq.GridStep(k));
        const int x = RoundHalfAwayPixel(sq.sqLeft + sq.GridStep(k));
        p.drawLine(sq.sqLeft, y, sq.sqLeft + 2 * sq.h, y);
        p.drawLine(x, sq.sqTop, x, sq.sqTop + 2 * sq.h);
    }
    DrawPlotEdges(p, st, sq.left, sq.top, sq.pw, sq.ph);

    const double fs = e.iqPlaneFullScale;
    if (mode == 1 || mode == 3) {
        const double gain = static_cast<double>(sq.h) * zoom / fs;
        const float* I = w.I.data();
        const float* Q = w.Q.data();
        const int last = std::min(end, w.sampleCount);
        auto point = [&](int i) {
            const double x = std::clamp(sq.pw / 2.0 + I[i] * gain, 0.0, static_cast<double>(sq.pw));
            const double y = std::clamp(sq.ph / 2.0 - Q[i] * gain, 0.0, static_cast<double>(sq.ph));
            return QPoint(sq.left + static_cast<int>(x), sq.top + static_cast<int>(y));
        };
        if (mode == 1) {
            p.setPen(QPen(QColor(0, 255, 0), 1));
            std::vector<QPoint> line;
            for (int i = std::max(start, 0); i < last; i += step)
                line.push_back(point(i));
            if (line.size() == 1) line.push_back(line.back());
            if (!line.empty()) p.drawPolyline(line.data(), static_cast<int>(line.size()));
        } else {
            QPoint previous;
            for (int i = std::max(start, 0); i < last; i += step) {
                const QPoint q = point(i);
                const int green = ((255 - 18 * (end - i)) % 256 + 256) % 256;
                p.setPen(QPen(QColor(0, green, 0), 3));
                if (i != std::max(start, 0)) p.drawLine(previous, q);
                previous = q;
            }
        }
    }

    DrawYAxisTitle(p, st, H, "Sample Q");
    DrawXAxisTitle(p, st, H, sq.pw, "Sample I");
    for (int k = 0; k <= kGridDivisions; ++k) {
        DrawYAxisNumber(p, st, sq.sqTop - sq.top + sq.GridStep(k),
                        QString::fromStdString(FormatLinearTick((10.0 - k) / (10.0 * zoom) * fs)));
        DrawXAxisNumber(p, st, H, sq.sqLeft - sq.left + sq.GridStep(k),
                        QString::fromStdString(FormatLinearTick((k - 10.0) / (10.0 * zoom) * fs)));
    }
    e.rightPanel.clear();
    e.leftPanel.clear();
    if (!e.hideStatistics) PowerStatsPanel(e, p, W - 20, start, end, w, kLinearIQ);
}

void DrawConstellation(cPlotEngine& e, QPainter& p, int W, int H, int zoom, int /*mode*/,
                       int centreX, int centreY, const cWaveform& w) {
    const int n = w.sampleCount;
    if (n <= 0) return;
    const PlotStyle& st = e.style;
    FillPlotBackground(p, st, W, H);
    const Square sq(st, W, H);
    const int cx = centreX - sq.left, cy = centreY - sq.top;
    e.zoomShiftX = static_cast<int>((sq.pw / 2 - cx) * static_cast<double>(zoom));
    e.zoomShiftY = static_cast<int>((sq.ph / 2 - cy) * static_cast<double>(zoom));
    const bool shifted = cx > 0;
    const double fs = e.iqPlaneFullScale;  // the grid below is in units of it
    const double gain = static_cast<double>(sq.h) * zoom / fs;
    // Plot-area offsets of a point in normalised units.
    auto mapX = [&](double i) { return sq.pw / 2.0 + i * gain + (shifted ? e.zoomShiftX : 0); };
    auto mapY = [&](double q) { return sq.ph / 2.0 - q * gain + (shifted ? e.zoomShiftY : 0); };

    // Reference grid: eight lines each way, the two axes, and two points for the last labels.
    struct Segment {
        double x0, y0, x1, y1;
    };
    std::vector<Segment> segments;
    for (double v : {-0.6, -0.4, -0.2, 0.2, 0.4, 0.6})
        segments.push_back({v, -0.8, v, 0.8});
    segments.push_back({0, -1, 0, 1});
    for (double v : {-0.6, -0.4, -0.2, 0.2, 0.4, 0.6})
        segments.push_back({-0.8, v, 0.8, v});
    segments.push_back({-1, 0, 1, 0});
    segments.push_back({0.8, 0.8, 0.8, 0.8});
    segments.push_back({1, 1, 1, 1});
    for (const Segment& s : segments) {
        double ax = mapX(s.x0 * fs), ay = mapY(s.y0 * fs), bx = mapX(s.x1 * fs),
               by = mapY(s.y1 * fs);
        const bool rowInside = ay >= 0 && ay <= sq.ph;
        const bool columnInside = ax >= 0 && ax <= sq.pw;
        if (std::fabs(s.y0) < 1.000001 && rowInside)
            DrawYAxisNumber(p, st, RoundHalfAwayPixel(ay),
                            QString::fromStdString(FormatLinearTick(s.y0 * fs)));
        if (std::fabs(s.x0) < 1.000001 && columnInside)
            DrawXAxisNumber(p, st, H, RoundHalfAwayPixel(ax),
                            QString::fromStdString(FormatLinearTick(s.x0 * fs)));
        // Axis-parallel segments: clip to the plot, skip what lies wholly outside.
        if (std::max(ax, bx) < 0 || std::min(ax, bx) > sq.pw || std::max(ay, by) < 0 ||
            std::min(ay, by) > sq.ph)
            continue;
        ax = std::clamp(ax, 0.0, static_cast<double>(sq.pw));
        bx = std::clamp(bx, 0.0, static_cast<double>(sq.pw));
        ay = std::clamp(ay, 0.0, static_cast<double>(sq.ph));
        by = std::clamp(by, 0.0, static_cast<double>(sq.ph));
        p.setPen(st.graticulePen);
        p.drawLine(sq.left + RoundHalfAwayPixel(ax), sq.top + RoundHalfAwayPixel(ay),
                   sq.left + RoundHalfAwayPixel(bx), sq.top + RoundHalfAwayPixel(by));
    }
    DrawPlotEdges(p, st, sq.left, sq.top, sq.pw, sq.ph);

    const int iw = sq.pw + 1, ih = sq.ph + 1;
    if (iw > 0 && ih > 0 && static_cast<int64_t>(iw) * ih >= 10) {
        std::vector<uint32_t> image(static_cast<size_t>(iw) * ih, 0);
        const bool hasMarkers = !w.markers.empty() && static_cast<int>(w.markers.size()) >= n;
        const int shownGroup = hasMarkers ? 7 : 0;
        uint32_t highestGreen = 0;
        const float* I = w.I.data();
        const float* Q = w.Q.data();
        for (int i = 0; i < n; ++i) {
            if (I[i] == 0.0f) continue;
            const double fx = mapX(I[i]), fy = mapY(Q[i]);
            if (!(fx >= 0 && fx <= sq.pw && fy >= 0 && fy <= sq.ph)) continue;
            const int x = static_cast<int>(fx), y = static_cast<int>(fy);
            uint32_t& v = image[static_cast<size_t>(y) * iw + x];
            const uint16_t marker = hasMarkers ? w.markers[static_cast<size_t>(i)] : 0;
            const int cls = MarkerClass(marker);
            if (cls == 0 && MarkerGroup(marker) == shownGroup) {
                if (v == 0 || v == kDim) {
                    v = kFirstHit;
                } else if ((v & 0xFF00) < 0xF800) {
                    v += kGreenStep;
                } else if (v < kWhiteLimit) {
                    v += kWhiteStep;
                }
                highestGreen = std::max(highestGreen, v & 0xFF00);
            } else if (cls == 0) {
                if (v == 0) v = kDim;
            } else {
                const bool border = x == 0 || y == 0 || x == iw - 1 || y == ih - 1;
                for (int dy = border ? 0 : -1; dy <= (border ? 0 : 1); ++dy)
                    for (int dx = border ? 0 : -1; dx <= (border ? 0 : 1); ++dx)
                        image[static_cast<size_t>(y + dy) * iw + (x + dx)] = kClassColours[cls];
            }
        }
        if (highestGreen > 0 && highestGreen < 0xFF00) {
            const uint32_t raise = 0xFF00 - highestGreen;
            for (uint32_t& v : image)
                if (v != 0 && (v & 0xFF00FF) == 0 && (v >> 24) == 0) v += raise;
        }
        QImage bitmap(iw, ih, QImage::Format_RGB32);
        for (int y = 0; y < ih; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(bitmap.scanLine(y));
            const uint32_t* src = &image[static_cast<size_t>(y) * iw];
            for (int x = 0; x < iw; ++x)
                row[x] = 0xFF000000u | (src[x] & 0xFFFFFF);
        }
        const QPainter::CompositionMode saved = p.compositionMode();
        p.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
        p.drawImage(sq.left, sq.top, bitmap);
        p.setCompositionMode(saved);
    }
    e.rightPanel.clear();
    e.leftPanel.clear();
    if (!e.hideStatistics) PowerStatsPanel(e, p, W - 20, 0, n - 1, w, kLinearIQ);
}

void DrawFrequencyPhase(cPlotEngine& e, QPainter& p, int W, int H, double f0, double f1) {
    const cSpectrumTrace& t = e.trace;
    if (!t.phaseWanted || t.phase.empty()) return;
    const PlotStyle& st = e.style;
    const int left = st.margins.left, top = st.margins.top;
    const int pw = st.margins.PlotWidth(W), ph = st.margins.PlotHeight(H);
    FillPlotBackground(p, st, W, H);
    DrawGraticule(p, st, pw, ph, 10, 0);
    if (f1 > f0) DrawFrequencyGrid(p, st, pw, ph, f0, f1);
    DrawPlotEdges(p, st, left, top, pw, ph);
    // Degrees down the left edge: +180 at the top, −180 at the bottom.
    DrawYAxisTitle(p, st, H, "Phase (Deg)");
    for (int i = 0; i <= 10; ++i)
        DrawYAxisNumber(p, st, static_cast<double>(i) * ph / 10,
                        QString::fromStdString(FormatTrimmed(180.0 - 36.0 * i)));
    if (f1 > f0) DrawFrequencyNumbers(p, st, H, pw, f0, f1);
    e.rightPanel.clear();
    e.leftPanel.clear();
    if (!t.traceValid || t.pointCount <= 0) return;

    const double fs = static_cast<double>(t.sampleRate);
    auto pointOf = [&](double f) {
        const double position = (t.complex ? (f + fs / 2) / fs : f / fs) * t.N + 0.5;
        int64_t k = position > 0 ? static_cast<int64_t>(position) : 0;
        if (k >= t.pointCount) k -= t.pointCount;
        return static_cast<int>(std::clamp<int64_t>(k, 0, t.pointCount - 1));
    };
    auto row = [&](double radians) {
        return top + std::clamp(RoundHalfAwayPixel(ph / 2.0 - radians / kTwoPi * ph), 0, ph);
    };
    p.setPen(st.tracePen);
    TracePath path(p, p.pen());
    int previous = 0;
    for (int j = 0; j <= pw; ++j) {
        const double f = f0 + j * (f1 - f0) / pw;
        const int k = pointOf(f);
        const int x = left + j;
        if (j > 0 && k - previous > 1) {
            float lo = t.phase[static_cast<size_t>(previous + 1)], hi = lo;
            for (int m = previous + 2; m < k; ++m) {
                lo = std::min(lo, t.phase[static_cast<size_t>(m)]);
                hi = std::max(hi, t.phase[static_cast<size_t>(m)]);
            }
            path.LineTo(x, row(lo));
            path.LineTo(x, row(hi));
        }
        const int y = row(t.phase[static_cast<size_t>(k)]);
        j == 0 ? path.MoveTo(x, y) : path.LineTo(x, y);
        previous = k;
    }
    path.Flush();

    if (t.frameStart >= 0) {
        Panel right(p, st, e.rightPanel, W - 20, top + 5, TextAnchor::RightTop, st.panelCyanColour);
        right.Line("FFT Time Position: " +
                   FormatDuration(t.frameStart + t.firstSampleInFile, t.sampleRate));
    }
    Panel left_(p, st, e.leftPanel, 55, top + 5, TextAnchor::LeftTop, st.panelWhiteColour);
    left_.Line("Sample Rate: " + FormatSampleRate(t.sampleRate));
    left_.Line("Resolution BW: " + FormatResolutionBandwidth(t.sampleRate, t.N));
    left_.Line("DC Offset: " + Fixed(t.dcLevel, 2) + " dB");
    if (std::fabs(e.dbmOffsetDb) > 0.001)
        left_.Line("Total Power: " + Fixed(t.totalPowerDb + e.dbmOffsetDb, 2) + " dBm");
    else
        left_.Line("Total Power: " + Fixed(t.totalPowerDb, 2) + " dB");
}
