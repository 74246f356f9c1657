// The frequency-domain view rendered off-screen: trace rows for known levels, grid positions,
// axis units and the panel texts under each measurement.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <functional>
#include <numbers>
#include <random>

#include "../test_signals.h"
#include "display/axis_labels.h"
#include "display/frequency_plot.h"
#include "display/plot_engine.h"
#include "display/plot_frame.h"
#include "display/view_kinds.h"
#include "spectrum/trace_recompute.h"
#include "waveform/waveform.h"

namespace {

using cd = std::complex<double>;
constexpr int kWidth = 800, kHeight = 500;
constexpr int64_t kFs = 30'720'000;

cWaveform Wave(int n, const std::function<cd(int)>& f) { return SignalWave(n, kFs, f); }

cd Tone(double amplitude, double hz, int k) {
    return std::polar(amplitude, 2 * std::numbers::pi * hz * k / kFs);
}

struct View {
    cPlotEngine engine;
    QImage image{kWidth, kHeight, QImage::Format_RGB32};

    // Recomputes the trace of w as the view does (view kind 303 unless given) and draws it.
    void Show(const cWaveform& w, double f0, double f1, int N = 4096,
              WindowType win = kWindowBlackmanHarris, int viewType = kViewIQ) {
        cSpectrumRecompute rc;
        SpectrumSettings s;
        s.fftSize = N;
        s.window = win;
        std::atomic<bool> stop{false};
        RecomputeHooks hooks;
        hooks.spectrumKind = [viewType] { return static_cast<SpectrumKind>(viewType); };
        hooks.measure = [this] { engine.Measure(); };
        rc.Recompute(engine.trace, w, s, stop, hooks, 0);
        Draw(f0, f1);
    }
    void Draw(double f0, double f1) {
        image.fill(Qt::white);
        QPainter p(&image);
        MeasureAndDrawSpectrum(engine, p, kWidth, kHeight, f0, f1);
    }
    // The right panel's first line starting with PREFIX, or "".
    std::string RightLine(const std::string& prefix) const {
        for (const auto& l : engine.rightPanel)
            if (l.text.rfind(prefix, 0) == 0) return l.text;
        return "";
    }
    bool RightHas(const std::string& prefix) const { return !RightLine(prefix).empty(); }
};

bool IsGreen(QRgb c) { return qGreen(c) == 255 && qRed(c) == 0 && qBlue(c) == 0; }

TEST(SpectrumPlot, TraceRowFollowsTheLevel) {
    // A -30 dBFS tone on a bin with Rect: the trace reaches the row 30 dB below the top.
    View v;
    const double hz = 100.0 * kFs / 4096;
    v.Show(Wave(4096, [&](int k) { return Tone(std::pow(10, -1.5), hz, k); }), -kFs / 2.0,
           kFs / 2.0, 4096, kWindowRect);
    const int top = 12, ph = kHeight - 12 - 30, pw = kWidth - 44 - 12;
    const double dbPerPixel = 10.0 * 13 / ph;
    const int toneX = 44 + static_cast<int>(std::lround((hz + kFs / 2.0) / kFs * pw));
    int highest = kHeight;
    for (int x = toneX - 2; x <= toneX + 2; ++x)
        for (int y = 0; y < kHeight; ++y)
            if (IsGreen(v.image.pixel(x, y))) highest = std::min(highest, y);
    EXPECT_NEAR(highest, top + 30.0 / dbPerPixel, 1.0);
    EXPECT_EQ(v.engine.rightPanel.empty(), false);
    EXPECT_EQ(v.RightLine("Marker Power:"), "Marker Power: -30.00 dB");
    EXPECT_EQ(v.RightLine("Peak Frequency:"), "Peak Frequency: 750 kHz");
}

// A peak under the right panel stays in sight: the panel's text cells let the trace through,
// so the column of a -15 dBFS tone under the panel lines is drawn up to its level.
TEST(SpectrumPlot, APeakUnderThePanelStaysVisible) {
    View v;
    const double hz = 1867.0 * kFs / 4096;  // on a bin, just above 14 MHz
    // The strongest tone (with its marker) elsewhere; the one under the panel -15 dBFS.
    v.Show(
        Wave(4096, [&](int k) { return Tone(std::pow(10, -0.75), hz, k) + Tone(0.7, 1.5e6, k); }),
        -kFs / 2.0, kFs / 2.0, 4096, kWindowRect);
    const int top = 12, ph = kHeight - 12 - 30, pw = kWidth - 44 - 12;
    const int toneX = 44 + static_cast<int>(std::lround((hz + kFs / 2.0) / kFs * pw));
    const int toneTop = top + static_cast<int>(std::lround(15.0 / (10.0 * 13 / ph)));
    ASSERT_GE(v.engine.rightPanel.size(), 4u);
    ASSERT_LT(v.engine.rightPanel[3].anchor.y(), toneTop);  // a panel line over the peak
    // The trace's green shows in the cells of the peak's column (the text's cyan aside).
    int greenRows = 0;
    for (int x = toneX - 1; x <= toneX + 1; ++x) {
        int rows = 0;
        for (int y = toneTop + 1; y <= toneTop + 8; ++y) {
            const QRgb c = v.image.pixel(x, y);
            rows += qGreen(c) > qRed(c) + 40 && qGreen(c) > qBlue(c) + 20;
        }
        greenRows = std::max(greenRows, rows);
    }
    EXPECT_GE(greenRows, 6);
}

TEST(SpectrumPlot, GridAtRoundFrequencies) {
    FrequencyGrid g = FrequencyGridFor(-30.72e6, 30.72e6);
    EXPECT_DOUBLE_EQ(g.step, 6e6);
    EXPECT_DOUBLE_EQ(g.first, -30e6);
    EXPECT_EQ(g.lines, 11);
    EXPECT_STREQ(FrequencyUnitFor(30e6).title, "Frequency (MHz)");
    g = FrequencyGridFor(0, 7);
    EXPECT_DOUBLE_EQ(g.step, 1.0);
    EXPECT_EQ(g.lines, 8);
    EXPECT_STREQ(FrequencyUnitFor(7).title, "Frequency (Hz)");
    g = FrequencyGridFor(1234.0, 1334.0);  // first line: the first multiple of 10 at or above f0
    EXPECT_DOUBLE_EQ(g.first, 1240.0);
    EXPECT_STREQ(FrequencyUnitFor(1330).title, "Frequency (kHz)");

    // Spans below 5 Hz (a sample rate of a few hertz) still get about ten lines inside them.
    for (const double span : {4.9, 3.0, 1.0, 0.3, 1e-3}) {
        g = FrequencyGridFor(-span / 2, span / 2);
        EXPECT_GT(g.step, 0.0) << span;
        EXPECT_GE(g.lines, 5) << span;
        EXPECT_LE(g.lines, 21) << span;
        EXPECT_GE(g.first, -span / 2) << span;
        EXPECT_LE(g.first + (g.lines - 1) * g.step, span / 2 * (1 + 1e-12)) << span;
    }

    // On the image, the 30.72 MHz span: a 3 MHz grid from -15 MHz, dots at the computed columns.
    View v;
    v.Show(Wave(8192, [&](int k) { return Tone(0.001, 1e6, k); }), -kFs / 2.0, kFs / 2.0);
    const int pw = kWidth - 56;
    const double x0 = 44 + std::trunc((-15e6 + kFs / 2.0) * pw / kFs);
    for (int i = 0; i < 11; ++i) {
        const int x = static_cast<int>(x0 + i * 3e6 * pw / kFs + 0.5);
        int dots = 0, beside = 0;
        for (int y = 40; y < 200; ++y) {
            dots += QColor(v.image.pixel(x, y)) == QColor(80, 80, 80);
            beside += QColor(v.image.pixel(x + 2, y)) == QColor(80, 80, 80);
        }
        EXPECT_GT(dots, 30) << "line " << i << " at x " << x;
        EXPECT_LT(beside, dots / 4) << "line " << i;
    }
}

TEST(SpectrumPlot, DbmOffsetMovesTextsNotTheTrace) {
    View a, b;
    const cWaveform w = Wave(8192, [&](int k) { return Tone(0.1, 2e6, k); });
    a.Show(w, -kFs / 2.0, kFs / 2.0);
    b.engine.dbmOffsetDb = 30.0;
    b.Show(w, -kFs / 2.0, kFs / 2.0);
    EXPECT_EQ(a.RightLine("Marker Power:"), "Marker Power: -20.00 dB");
    EXPECT_EQ(b.RightLine("Marker Power:"), "Marker Power: 10.00 dBm");
    EXPECT_EQ(b.engine.leftPanel.back().text.substr(0, 13), "Total Power: ");
    EXPECT_EQ(b.engine.leftPanel.back().text.substr(b.engine.leftPanel.back().text.size() - 3),
              "dBm");
    // Same trace pixels in the plot area.
    int differing = 0;
    for (int y = 12; y < kHeight - 30; ++y)
        for (int x = 45; x < kWidth - 12; ++x)
            differing += IsGreen(a.image.pixel(x, y)) != IsGreen(b.image.pixel(x, y));
    EXPECT_EQ(differing, 0);
}

TEST(SpectrumPlot, DcToFsShowsNegativeFrequenciesAboveHalfTheRate) {
    View v;
    v.Show(Wave(8192, [&](int k) { return Tone(0.5, -kFs / 4.0, k); }), 0.0, kFs, 4096,
           kWindowBlackmanHarris, kViewIQDcFs);
    EXPECT_NEAR(v.engine.shown.tonePeakFrequencyHz, 0.75 * kFs, 100.0);
    EXPECT_EQ(v.RightLine("Peak Frequency:"), "Peak Frequency: 23.04 MHz");

    // Zoomed to 40 points around it (18.6 px a point), the tone's top is drawn at its own
    // frequency, not a point to the right of its marker.
    const double bin = kFs / 4096.0, tone = 0.75 * kFs;
    v.Show(Wave(8192, [&](int k) { return Tone(0.5, -kFs / 4.0, k); }), tone - 20 * bin,
           tone + 20 * bin, 4096, kWindowRect, kViewIQDcFs);
    const int pw = kWidth - 44 - 12;
    int top = kHeight, sumX = 0, count = 0;
    for (int x = 44; x <= 44 + pw; ++x)
        for (int y = 0; y < kHeight; ++y)
            if (IsGreen(v.image.pixel(x, y))) {
                if (y < top) top = y, sumX = 0, count = 0;
                if (y == top) sumX += x, ++count;
            }
    ASSERT_GT(count, 0);
    EXPECT_NEAR(double(sumX) / count, 44 + pw / 2.0, pw / 40.0 / 2);
}

TEST(SpectrumPlot, PanelsUnderEachMeasurement) {
    std::mt19937 rng(5);
    std::normal_distribution<double> g(0.0, 0.02);
    // Two equal tones and a weak third-order product pair.
    const cWaveform twoTone = Wave(1 << 15, [&](int k) {
        const cd x = Tone(0.25, 1e6, k) + Tone(0.25, 1.5e6, k);
        return x - 0.05 * std::norm(x) * x + cd(g(rng), g(rng)) * 0.01;
    });
    View v;
    v.engine.measurements.settings.imdOn = true;
    v.engine.measurements.settings.sfdrOn = true;
    v.Show(twoTone, -kFs / 2.0, kFs / 2.0);
    for (const char* line : {"Carrier1 Frequency: ", "IP3: ", "SFDR: "})
        EXPECT_TRUE(v.RightHas(line)) << line;
    EXPECT_FALSE(v.RightHas("Peak Frequency"));
    EXPECT_EQ(std::count_if(v.engine.rightPanel.begin(), v.engine.rightPanel.end(),
                            [](const PanelLine& l) { return l.text.rfind("Spur: ", 0) == 0; }),
              6);

    // IMD on with a single tone: the failure line and no peak lines.
    View single;
    single.engine.measurements.settings.imdOn = true;
    single.Show(Wave(1 << 15, [&](int k) { return Tone(0.5, 1e6, k); }), -kFs / 2.0, kFs / 2.0);
    EXPECT_TRUE(single.RightHas("No valid tone pair found"));
    EXPECT_FALSE(single.RightHas("Peak Frequency"));
    EXPECT_FALSE(single.RightHas("Marker Power"));
}

TEST(SpectrumPlot, NegativeSnrIsOverprintedInRed) {
    // A tone 3 dB under the noise of the whole band.
    std::mt19937 rng(6);
    std::normal_distribution<double> g(0.0, std::sqrt(0.02 / 2));
    View v;
    v.engine.measurements.settings.snrBandwidthHz = 0.5;  // below 1 Hz: the span shown
    v.Show(Wave(1 << 16, [&](int k) { return Tone(0.1, 3e6, k) + cd(g(rng), g(rng)); }), -kFs / 2.0,
           kFs / 2.0);
    const auto& lines = v.engine.rightPanel;
    const auto snr = std::find_if(lines.begin(), lines.end(),
                                  [](const PanelLine& l) { return l.text.rfind("SNR: ", 0) == 0; });
    ASSERT_NE(snr, lines.end());
    ASSERT_NE(snr + 1, lines.end());
    EXPECT_EQ((snr + 1)->text, snr->text + "!");
    EXPECT_EQ((snr + 1)->anchor, snr->anchor);
    EXPECT_EQ((snr + 1)->colour, QColor(255, 50, 50));
    EXPECT_EQ(snr->text.back(), ' ');
    EXPECT_NE(snr->text.find("dB (30.72MHz) "), std::string::npos);
}

TEST(SpectrumPlot, ChannelMeasurementTexts) {
    std::mt19937 rng(7);
    std::normal_distribution<double> g(0.0, 0.05);
    // A carrier of band-limited noise: a sum of many tones within +-2.25 MHz.
    std::vector<std::pair<double, double>> tones;
    for (int i = 0; i < 150; ++i)
        tones.push_back({-2.25e6 + i * 30e3, std::uniform_real_distribution<double>(0, 6.28)(rng)});
    const cWaveform carrier = Wave(1 << 15, [&](int k) {
        cd s = 0;
        for (auto [f, ph] : tones)
            s += std::polar(0.02, 2 * std::numbers::pi * f * k / kFs + ph);
        return s;
    });
    View v;
    v.engine.measurements.SelectAclrBandwidth(kCmdAclr5);
    v.engine.measurements.SelectMaskBandwidth(kCmdMask5);
    v.engine.measurements.settings.obwOn = true;
    v.Show(carrier, -kFs / 2.0, kFs / 2.0, 8192);
    for (const char* line : {"Carrier Power: ", "SEM Mask Compliance: ", "ACLR lower1: ",
                             "ACLR upper2: ", "Occupied BW: 4."})
        EXPECT_TRUE(v.RightHas(line)) << line;
    EXPECT_FALSE(v.RightHas("Peak Frequency"));
    EXPECT_EQ(v.engine.leftPanel.back().text.substr(0, 11), "OBW Power: ");
    EXPECT_EQ(v.engine.leftPanel.size(), 3u);  // no DC offset line while channel measurements run
}

TEST(SpectrumPlot, LongLevelNumbersAreNotHiddenUnderTheAxisTitle) {
    // With a dBm offset of 0.25 the middle number reads "-59.75" and reaches under "Level
    // (dBm)": its cell must look as it does drawn alone.
    View v;
    v.engine.dbmOffsetDb = 0.25;
    v.Show(Wave(4096, [&](int k) { return Tone(0.5, 1e6, k); }), -kFs / 2.0, kFs / 2.0);
    const int ph = kHeight - 12 - 30;
    QImage alone(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&alone);
    FillPlotBackground(p, v.engine.style, kWidth, kHeight);
    DrawYAxisNumber(p, v.engine.style, 6.0 * ph / 13, "-59.75");
    p.end();
    QRect cell;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < 44; ++x)
            if (QColor(alone.pixel(x, y)) != QColor(28, 28, 28)) cell |= QRect(x, y, 1, 1);
    ASSERT_LT(cell.left(), 18);  // it does reach the title's column
    EXPECT_EQ(v.image.copy(cell), alone.copy(cell));
}

TEST(SpectrumPlot, InvalidTraceDrawsNothing) {
    View v;
    v.Draw(-1.0, 1.0);
    EXPECT_EQ(QColor(v.image.pixel(100, 100)), QColor(Qt::white));
    EXPECT_TRUE(v.engine.rightPanel.empty());
}

}  // namespace
