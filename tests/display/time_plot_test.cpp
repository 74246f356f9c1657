// The time-domain views rendered off-screen: envelope rows of a known signal, sample-and-hold
// steps when zoomed in, the division count, the column strides, and the statistics panel.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <set>
#include <string>

#include "../test_signals.h"
#include "display/plot_engine.h"
#include "display/time_plot.h"
#include "render_helpers.h"
#include "waveform/waveform.h"

namespace {

using cd = std::complex<double>;
const QColor kGreen(0, 255, 0), kRed(255, 0, 0);

std::set<int> RowsOf(const QImage& image, int x, QColor colour) {
    std::set<int> rows;
    for (int y = 0; y < image.height(); ++y)
        if (QColor(image.pixel(x, y)) == colour) rows.insert(y);
    return rows;
}

std::vector<std::string> Texts(const std::vector<PanelLine>& lines) {
    std::vector<std::string> t;
    for (const PanelLine& l : lines)
        t.push_back(l.text);
    return t;
}

TEST(TimeViews, AnEmptyWaveformDrawsNothingAtAll) {
    cPlotEngine e;
    cWaveform empty;
    const QImage image = DrawOnWhite(400, 300, [&](QPainter& p) {
        DrawLinear(e, p, 400, 300, 0, 0, empty, kLinearIQ);
        DrawLogMag(e, p, 400, 300, 0, 0, empty);
        DrawPhase(e, p, 400, 300, 0, 0, empty);
    });
    for (int y = 0; y < 300; y += 7)
        for (int x = 0; x < 400; x += 7)
            ASSERT_EQ(QColor(image.pixel(x, y)), QColor(Qt::white));
}

TEST(TimeViews, EveryColumnSpansTheSineEnvelopeInTheIqView) {
    // 0.5·cos over many periods per column: each column strokes from −0.5 to +0.5. With the
    // default axis (centre 0, 0.1 per division, 20 divisions) +0.5 lies at (1 − 0.5)/(2/ph).
    const int W = 800, H = 600, pw = W - 56, ph = H - 42, n = 200'001;
    cWaveform w = SignalWave(
        n, 1'000'000, [](int k) { return std::polar(0.5, 2 * std::numbers::pi * k / 50.0); });
    cPlotEngine e;
    const QImage image =
        DrawOnWhite(W, H, [&](QPainter& p) { DrawLinear(e, p, W, H, 0, n - 1, w, kLinearIQ); });
    const int top = kTop + static_cast<int>(std::round(0.5 * ph / 2.0));
    const int bottom = kTop + static_cast<int>(std::round(1.5 * ph / 2.0));
    for (int x = kLeft + 2; x <= kLeft + pw; ++x) {
        // I (green) is drawn over Q (red); both span the same range.
        const std::set<int> rows = RowsOf(image, x, kGreen);
        ASSERT_FALSE(rows.empty()) << x;
        EXPECT_EQ(*rows.begin(), top) << x;
        EXPECT_EQ(*rows.rbegin(), bottom) << x;
    }
    // Q shows where I does not cover it: the Q-only view is all red.
    const QImage q =
        DrawOnWhite(W, H, [&](QPainter& p) { DrawLinear(e, p, W, H, 0, n - 1, w, kLinearQ); });
    EXPECT_EQ(*RowsOf(q, kLeft + 300, kRed).begin(), top);
    EXPECT_TRUE(RowsOf(q, kLeft + 300, kGreen).empty());
}

TEST(TimeViews, AFewSamplesShowAsStepsOverOneDivisionEach) {
    // Samples 10 … 15 on a 600-pixel plot: 120 pixels per sample, one division per sample.
    const int W = 656, H = 400, pw = 600, ph = H - 42;
    cWaveform w = SignalWave(40, 1'000'000, [](int k) { return cd(0.1 * (k - 12), 0); });
    cPlotEngine e;
    const QImage image =
        DrawOnWhite(W, H, [&](QPainter& p) { DrawLinear(e, p, W, H, 10, 15, w, kLinearI); });
    // Sample 12 (value 0) owns columns 180 … 299: flat at the centre row throughout.
    const int centre = kTop + ph / 2;
    for (int j = 185; j < 295; ++j)
        EXPECT_EQ(RowsOf(image, kLeft + j, kGreen), std::set<int>{centre}) << j;
    // Sample 13 (value 0.1) one step up, after a vertical riser in one column.
    const int up = kTop + static_cast<int>(std::round(0.9 * ph / 2.0));
    EXPECT_EQ(RowsOf(image, kLeft + 350, kGreen), std::set<int>{up});
    // Vertical grid lines: five divisions, so five dotted columns right of the axis.
    int gridColumns = 0;
    for (int x = kLeft + 1; x <= kLeft + pw; ++x) {
        int grey = 0;
        for (int y = kTop + 1; y < kTop + ph; ++y)
            grey += QColor(image.pixel(x, y)) == QColor(80, 80, 80);
        gridColumns += grey > 20;
    }
    EXPECT_EQ(gridColumns, 5);
}

TEST(TimeViews, WideColumnsAreScannedWithTheirStride) {
    EXPECT_EQ(LinearStride(499), 1);
    EXPECT_EQ(LinearStride(500), 2);
    EXPECT_EQ(LinearStride(100'000), 101);
    EXPECT_EQ(LogMagStride(10'000), 1);
    EXPECT_EQ(LogMagStride(10'001), 101);
    EXPECT_EQ(LogMagStride(100'000), 1001);
    // Columns of exactly 3000 samples (stride 4, from the sample after the previous
    // column's): a spike on the stride grid shows, one beside it does not.
    // Column 300 lies clear of both panels.
    const int W = 800, H = 300, pw = 744, ph = 258;
    const int n = pw * 3000 + 1;
    for (auto [spike, visible] : {std::pair{897'041, true}, std::pair{897'042, false}}) {
        cWaveform w = SignalWave(n, 1'000'000, [&](int k) { return cd(k == spike ? 0.9 : 0, 0); });
        cPlotEngine e;
        const QImage image =
            DrawOnWhite(W, H, [&](QPainter& p) { DrawLinear(e, p, W, H, 0, n - 1, w, kLinearI); });
        const int spikeRow = kTop + static_cast<int>(std::round(0.1 * ph / 2.0));
        EXPECT_EQ(RowsOf(image, kLeft + 300, kGreen).count(spikeRow), visible ? 1u : 0u) << spike;
    }
}

TEST(TimeViews, StatisticsPanelLinesForEachMode) {
    const int W = 800, H = 500;
    cWaveform w = SignalWave(1000, 30'720'000, [](int) { return cd(0.5, 0); });
    cPlotEngine e;
    DrawOnWhite(W, H, [&](QPainter& p) { DrawLogMag(e, p, W, H, 0, 999, w); });
    EXPECT_EQ(Texts(e.rightPanel),
              (std::vector<std::string>{"RMS Power: -6.02 dBFS", "Peak Power: -6.02 dBFS",
                                        "Crest Factor: 0.00 dB"}));
    EXPECT_EQ(Texts(e.leftPanel),
              (std::vector<std::string>{"Sample Rate:30.72 Msps", "Duration:32.5521 us",
                                        "IQ DC Offset: -6.02 dBFS"}));
    EXPECT_EQ(e.rightPanel[0].anchor, QPoint(W - 20, kTop + 5));
    EXPECT_EQ(e.leftPanel[2].anchor, QPoint(55, kTop + 35));

    // Single channel, zoomed, with a dBm offset: the (sin) line, DC, and the zoom lines.
    e.dbmOffsetDb = 30;
    DrawOnWhite(W, H, [&](QPainter& p) { DrawLinear(e, p, W, H, 100, 199, w, kLinearI); });
    EXPECT_EQ(Texts(e.rightPanel),
              (std::vector<std::string>{"RMS Power: 26.99 dBm(sin)", "RMS Power: 23.98 dBm",
                                        "Peak Power: 23.98 dBm", "Crest Factor: 0.00 dB"}));
    EXPECT_EQ(
        Texts(e.leftPanel),
        (std::vector<std::string>{"Sample Rate:30.72 Msps", "Duration:32.5521 us", "DC: -6.02 dBFS",
                                  "ZoomView Position:3.25521 us", "ZoomView Duration:3.25521 us"}));

    // The Q view describes the Q samples (here silent), not I.
    DrawOnWhite(W, H, [&](QPainter& p) { DrawLinear(e, p, W, H, 0, 999, w, kLinearQ); });
    EXPECT_EQ(e.rightPanel[1].text, "RMS Power: -270.00 dBm");
    EXPECT_EQ(e.leftPanel[2].text, "DC: -300.00 dBFS");

    // Silence reads the floor; the multi view's panes hide LogMag's panel, not the IQ view's.
    cWaveform silence = SignalWave(64, 30'720'000, [](int) { return cd(0, 0); });
    e.dbmOffsetDb = 0;
    e.hideStatistics = true;
    DrawOnWhite(W, H, [&](QPainter& p) { DrawLogMag(e, p, W, H, 0, 63, silence); });
    EXPECT_TRUE(e.rightPanel.empty());
    DrawOnWhite(W, H, [&](QPainter& p) { DrawLinear(e, p, W, H, 0, 63, silence, kLinearIQ); });
    EXPECT_EQ(Texts(e.rightPanel),
              (std::vector<std::string>{"RMS Power: -300.00 dBFS", "Peak Power: -300.00 dBFS",
                                        "Crest Factor: 0.00 dB"}));
}

TEST(TimeViews, KeptStatisticsFollowEditsReportedToTheEngine) {
    const int W = 600, H = 400;
    cWaveform w = SignalWave(500, 1'000'000, [](int) { return cd(0.5, 0); });
    cPlotEngine e;
    DrawOnWhite(W, H, [&](QPainter& p) { DrawLogMag(e, p, W, H, 0, 499, w); });
    ASSERT_EQ(e.rightPanel[0].text, "RMS Power: -6.02 dBFS");
    for (float& i : w.I)
        i = 0.25f;
    e.WaveformChanged();
    const QImage image = DrawOnWhite(W, H, [&](QPainter& p) { DrawLogMag(e, p, W, H, 0, 499, w); });
    EXPECT_EQ(e.rightPanel[0].text, "RMS Power: -12.04 dBFS");
    // The trace moved with it: −12.04 dB at 5 dB per division from the top at 0 dB.
    const int ph = H - 42;
    const int row = kTop + static_cast<int>(std::round(12.0412 * ph / 75.0));
    EXPECT_EQ(RowsOf(image, kLeft + 200, kGreen), std::set<int>{row});
}

TEST(TimeViews, LinearUnitAndPhaseOfASilentSample) {
    EXPECT_STREQ(LinearUnitFor(1.0).title, "Level");
    EXPECT_STREQ(LinearUnitFor(0.5).title, "Level (milli)");
    EXPECT_EQ(LinearUnitFor(0.001).factor, 1000.0);
    EXPECT_STREQ(LinearUnitFor(0.000999).title, "Level (micro)");
    EXPECT_STREQ(LinearUnitFor(1e-9).title, "Level (nano)");
    EXPECT_STREQ(LinearUnitFor(1e-10).title, "Level");
    // I = Q = 0 has phase 0: the trace sits on the centre row.
    const int W = 400, H = 300, ph = 258;
    cWaveform w = SignalWave(100, 1'000'000, [](int) { return cd(0, 0); });
    cPlotEngine e;
    const QImage image = DrawOnWhite(W, H, [&](QPainter& p) { DrawPhase(e, p, W, H, 0, 99, w); });
    EXPECT_EQ(RowsOf(image, kLeft + 100, kGreen), std::set<int>{kTop + ph / 2});
}

}  // namespace
