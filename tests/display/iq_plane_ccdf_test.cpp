// The CCDF, vector, constellation and phase-against-frequency plots rendered off-screen:
// the noise CCDF against its reference, panel lines, density brightening and marks, clamping
// versus dropping, and the phase rows.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <random>
#include <string>

#include "../test_signals.h"
#include "display/ccdf_plot.h"
#include "display/iq_plane_plot.h"
#include "display/plot_engine.h"
#include "render_helpers.h"
#include "waveform/waveform.h"

namespace {

using cd = std::complex<double>;

std::string Line(const std::vector<PanelLine>& lines, const std::string& prefix) {
    for (const PanelLine& l : lines)
        if (l.text.rfind(prefix, 0) == 0) return l.text;
    return "(no " + prefix + ")";
}

double ParDb(const std::vector<PanelLine>& lines, const std::string& label) {
    const std::string t = Line(lines, label);
    return std::stod(t.substr(label.size()));
}

TEST(CcdfView, GaussianNoiseLiesOnTheReferenceCurve) {
    std::mt19937 rng(7);
    std::normal_distribution<double> g(0.0, 0.05);
    const int n = 1'000'000;
    cWaveform w = SignalWave(n, 10'000'000, [&](int) { return cd(g(rng), g(rng)); });
    cPlotEngine e;
    DrawOnWhite(800, 500, [&](QPainter& p) { DrawCcdf(e, p, 800, 500, 0, n - 1, w); });
    // The reference passes 1 % at 6.63 dB and 0.01 % at 9.65 dB.
    EXPECT_NEAR(ParDb(e.rightPanel, "PAR (1%): "), 6.63, 0.3);
    EXPECT_NEAR(ParDb(e.rightPanel, "PAR (0.01%): "), 9.65, 0.3);
    EXPECT_NEAR(e.ccdfReference.Evaluate(6.63), 0.0, 1e-5);
    EXPECT_NEAR(ParDb(e.rightPanel, "PAR (10%): "), 10 * std::log10(std::log(10.0)), 0.05);
    EXPECT_EQ(Line(e.leftPanel, "Samples"), "Samples: 1000000");
}

TEST(CcdfView, ConstantEnvelopeDropsToTheBottomAtOnce) {
    const int W = 600, H = 400, ph = H - 42;
    cWaveform w =
        SignalWave(1000, 1'000'000, [](int k) { return k % 2 ? cd(0.5, 0) : cd(0, -0.5); });
    cPlotEngine e;
    e.dbmOffsetDb = 0.0005;  // below the 0.001 threshold: still dBFS
    const QImage image = DrawOnWhite(W, H, [&](QPainter& p) { DrawCcdf(e, p, W, H, 0, 999, w); });
    EXPECT_EQ(Line(e.rightPanel, "Average"), "Average: 0.00 %");
    EXPECT_EQ(Line(e.rightPanel, "PAR (0.10%)"), "PAR (0.10%): 0.00 dB");
    EXPECT_EQ(Line(e.rightPanel, "RMS"), "RMS Power: -6.02 dBFS");
    // The measured curve: two columns on the bottom edge, nothing further right.
    for (int x = kLeft; x < W - 12; ++x) {
        int green = 0;
        for (int y = kTop; y <= kTop + ph; ++y)
            green += QColor(image.pixel(x, y)) == QColor(0, 255, 0);
        EXPECT_EQ(green > 0, x <= kLeft + 1) << x;
    }
    EXPECT_EQ(QColor(image.pixel(kLeft + 1, kTop + ph)), QColor(0, 255, 0));

    e.dbmOffsetDb = 0.002;
    e.hideStatistics = true;
    cWaveform spike = SignalWave(1000, 1'000'000, [](int k) { return cd(k == 3 ? 1 : 0, 0); });
    DrawOnWhite(W, H, [&](QPainter& p) { DrawCcdf(e, p, W, H, 0, 999, spike); });
    EXPECT_EQ(Line(e.rightPanel, "RMS"), "RMS Power: -30.00 dBm");
    EXPECT_EQ(Line(e.rightPanel, "Crest"), "Crest Factor: 30.00 dB");
    EXPECT_EQ(Line(e.rightPanel, "Average"), "Average: 0.10 %");
    ASSERT_EQ(e.leftPanel.size(), 1u);  // a pane: the sample count alone, on the first line
    EXPECT_EQ(e.leftPanel[0].anchor.y(), kTop + 5);
}

TEST(CcdfView, RowsCoverSevenDecadesFromTheTop) {
    EXPECT_EQ(CcdfRow(20, 700), 0);
    EXPECT_EQ(CcdfRow(-50, 700), 700);
    EXPECT_EQ(CcdfRow(0, 700), 200);
    EXPECT_EQ(CcdfRow(-130, 700), 700);  // clamped
}

// Constellation geometry of a W x H frame: square half-size h, sample (i, q) to pixel.
struct Square {
    int W, H;
    int pw() const { return W - 56; }
    int ph() const { return H - 42; }
    int h() const { return std::min(pw() / 2, ph() / 2); }
    QPoint Pixel(double i, double q) const {
        return QPoint(kLeft + static_cast<int>(pw() / 2.0 + i * h()),
                      kTop + static_cast<int>(ph() / 2.0 - q * h()));
    }
};

TEST(Constellation, RepeatsBrightenAndTheDensestGreenIsFull) {
    const Square sq{600, 500};
    // Point A once, B three times, C thirty times, D with I = 0 (never shown), E outside.
    std::vector<cd> samples = {cd(0.3, 0.3)};
    for (int k = 0; k < 3; ++k)
        samples.push_back(cd(-0.3, 0.3));
    for (int k = 0; k < 30; ++k)
        samples.push_back(cd(0.5, -0.5));
    samples.push_back(cd(0.0, 0.5));
    samples.push_back(cd(1.5, 0.0));
    cWaveform w = SignalWave(static_cast<int>(samples.size()), 1'000'000,
                             [&](int k) { return samples[static_cast<size_t>(k)]; });
    cPlotEngine e;
    const QImage image = DrawOnWhite(
        sq.W, sq.H, [&](QPainter& p) { DrawConstellation(e, p, sq.W, sq.H, 1, 1, 0, 0, w); });
    // C went past full green towards white (19 steps of +4 red and blue), so no rescaling:
    // A stays at 175 green and B at 191.
    EXPECT_EQ(QColor(image.pixel(sq.Pixel(0.5, -0.5))), QColor(76, 255, 76));
    EXPECT_EQ(QColor(image.pixel(sq.Pixel(0.3, 0.3))), QColor(0, 175, 0));
    EXPECT_EQ(QColor(image.pixel(sq.Pixel(-0.3, 0.3))), QColor(0, 191, 0));
    EXPECT_EQ(QColor(image.pixel(sq.Pixel(0.0, 0.5))).green() > 150, false);
    // Outside ±1 the constellation drops the sample: nothing at the right edge.
    const QPoint edge(kLeft + sq.pw(), sq.Pixel(0, 0).y());
    EXPECT_NE(QColor(image.pixel(edge)).green(), 175);

    // Without C the densest pixel (B, 191) is raised to full green, A by the same amount.
    samples.resize(4);
    cWaveform w2 = SignalWave(4, 1'000'000, [&](int k) { return samples[static_cast<size_t>(k)]; });
    const QImage raised = DrawOnWhite(
        sq.W, sq.H, [&](QPainter& p) { DrawConstellation(e, p, sq.W, sq.H, 1, 1, 0, 0, w2); });
    EXPECT_EQ(QColor(raised.pixel(sq.Pixel(-0.3, 0.3))), QColor(0, 255, 0));
    EXPECT_EQ(QColor(raised.pixel(sq.Pixel(0.3, 0.3))), QColor(0, 239, 0));
    // The grid shows through where the image is black: the 0.2 line's dots are untouched.
    int gridDots = 0;
    const int x02 = kLeft + static_cast<int>(std::round(sq.pw() / 2.0 + 0.2 * sq.h()));
    for (int y = kTop; y < kTop + sq.ph(); ++y)
        gridDots += QColor(raised.pixel(x02, y)) == QColor(80, 80, 80);
    EXPECT_GT(gridDots, 20);
}

TEST(Constellation, MarkerClassesPaintThreeByThreeMarks) {
    const Square sq{500, 400};
    cWaveform w = SignalWave(2, 1'000'000, [](int k) { return k ? cd(0.5, 0.1) : cd(-0.5, 0.1); });
    w.markers.assign(2, 0);
    w.markers[0] = 0x0701;  // class 1 (orange)
    w.markers[1] = 0x0002;  // class 2 (red), another group
    cPlotEngine e;
    const QImage image = DrawOnWhite(
        sq.W, sq.H, [&](QPainter& p) { DrawConstellation(e, p, sq.W, sq.H, 1, 1, 0, 0, w); });
    // Off the grid lines, which the marks are ORed with.
    const QPoint a = sq.Pixel(-0.5, 0.1), b = sq.Pixel(0.5, 0.1);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            EXPECT_EQ(QColor(image.pixel(a + QPoint(dx, dy))), QColor(0xFC, 0x7F, 0x00));
            EXPECT_EQ(QColor(image.pixel(b + QPoint(dx, dy))), QColor(0xFC, 0x00, 0x00));
        }
    EXPECT_NE(QColor(image.pixel(a + QPoint(2, 0))), QColor(0xFC, 0x7F, 0x00));
}

TEST(VectorView, SamplesBeyondTheEdgeAreClampedToIt) {
    const Square sq{500, 400};
    cWaveform w = SignalWave(3, 1'000'000, [](int k) { return cd(k == 1 ? 2.0 : 0.1, 0.0); });
    cPlotEngine e;
    const QImage still =
        DrawOnWhite(sq.W, sq.H, [&](QPainter& p) { DrawVector(e, p, sq.W, sq.H, 0, 3, 1, 1, w); });
    const int y = kTop + sq.ph() / 2;
    EXPECT_EQ(QColor(still.pixel(kLeft + sq.pw(), y)), QColor(0, 255, 0));
    // Zoom 2: the same sample at 0.1 lands twice as far from the centre.
    const QImage zoomed =
        DrawOnWhite(sq.W, sq.H, [&](QPainter& p) { DrawVector(e, p, sq.W, sq.H, 0, 3, 2, 1, w); });
    EXPECT_EQ(QColor(zoomed.pixel(kLeft + static_cast<int>(sq.pw() / 2.0 + 0.2 * sq.h()), y)),
              QColor(0, 255, 0));
    // Mode 2 (neither still nor animation) draws the frame without the trace.
    const QImage frame =
        DrawOnWhite(sq.W, sq.H, [&](QPainter& p) { DrawVector(e, p, sq.W, sq.H, 0, 3, 1, 2, w); });
    EXPECT_NE(QColor(frame.pixel(kLeft + sq.pw(), y)), QColor(0, 255, 0));
}

TEST(PhasePlot, PhaseRowsRunFromMinusPiAtTheBottomToPiAtTheTop) {
    const int W = 600, H = 400, pw = 544, ph = 358;
    cPlotEngine e;
    cSpectrumTrace& t = e.trace;
    // Nothing without the phase.
    const QImage none =
        DrawOnWhite(W, H, [&](QPainter& p) { DrawFrequencyPhase(e, p, W, H, -1e6, 1e6); });
    EXPECT_EQ(QColor(none.pixel(10, 10)), QColor(Qt::white));
    t.phaseWanted = true;
    t.traceValid = true;
    t.complex = true;
    t.N = 64;
    t.pointCount = 65;
    t.sampleRate = 2'000'000;
    t.frameStart = 0;
    t.phase.assign(65, 1.0f);  // one radian: 1/2π of the height above the centre
    const QImage image =
        DrawOnWhite(W, H, [&](QPainter& p) { DrawFrequencyPhase(e, p, W, H, -1e6, 1e6); });
    const int row = kTop + static_cast<int>(std::round(ph / 2.0 - ph / (2 * std::numbers::pi)));
    for (int x = kLeft + 5; x < kLeft + pw; x += 37) {
        // Columns clear of the panel texts at the top.
        EXPECT_EQ(QColor(image.pixel(x, row)), QColor(0, 255, 0)) << x;
        EXPECT_NE(QColor(image.pixel(x, row + 2)), QColor(0, 255, 0)) << x;
    }
    EXPECT_EQ(e.rightPanel.at(0).text, "FFT Time Position: 0 s");
    EXPECT_EQ(e.leftPanel.at(1).text, "Resolution BW: 31.25 kHz");
}

}  // namespace
