// Background, graticule, axis lines and the level marker, read back from rendered pixels.

#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <set>

#include "display/level_marker.h"
#include "render_helpers.h"

namespace {

QImage Frame(double nY, double nX, int W = kW, int H = kH) {
    return Render(
        [&](QPainter& p, const PlotStyle& s) {
            DrawGraticule(p, s, s.margins.PlotWidth(W), s.margins.PlotHeight(H), nY, nX);
        },
        W, H);
}

// Rows above the bottom axis, or columns right of the left axis, holding grid pixels.
std::set<int> GridLines(const QImage& image, bool rows, int pw, int ph) {
    std::set<int> found;
    for (int a = rows ? kTop : kLeft + 1; a < (rows ? kTop + ph : kLeft + pw + 2); ++a) {
        for (int b = 0; b < (rows ? pw : ph); ++b) {
            if (Pixel(image, rows ? kLeft + 1 + b : a, rows ? a : kTop + b) == kGrid)
                found.insert(a);
        }
    }
    return found;
}

TEST(PlotFrame, BackgroundPlotAreaAndAxisLines) {
    const QImage image = Frame(10, 10);
    for (QPoint pt : {QPoint(0, 0), QPoint(kW - 1, kH - 1), QPoint(kLeft - 1, kTop + 1),
                      QPoint(kLeft + 1, kTop - 1), QPoint(kLeft + kPw + 1, kTop + 1)}) {
        EXPECT_EQ(Pixel(image, pt.x(), pt.y()), kBackground) << pt.x() << "," << pt.y();
    }
    EXPECT_EQ(Pixel(image, kLeft + 1, kTop + 1), kPlot);
    EXPECT_EQ(Pixel(image, kLeft + kPw - 1, kTop + kPh - 1), kPlot);
    // Solid left and bottom axes; the top and right edges are the last dotted grid lines.
    const auto axis = [](QColor c) { return c == kAxis; };
    EXPECT_EQ(Bounds(image, image.rect(), axis), QRect(kLeft, kTop, kPw + 1, kPh + 1));
    EXPECT_EQ(Bounds(image, QRect(kLeft + 1, kTop, kPw, kPh), axis), QRect());
    int grey = 0;
    for (int x = kLeft + 1; x < kLeft + kPw; ++x)
        grey += Pixel(image, x, kTop) == kGrid;
    EXPECT_TRUE(grey > kPw / 5 && grey < kPw * 2 / 3) << grey << " grey pixels: not dotted";
}

// Lines at floor(origin + i·length/n + 0.5), here in integer arithmetic.
TEST(PlotFrame, GridLinesAtRoundedPositions) {
    for (int n : {1, 7, 10, 13}) {
        std::set<int> rows, columns;
        for (int i = 0; i <= n; ++i) {
            if (i < n) rows.insert((2 * kTop * n + 2 * i * kPh + n) / (2 * n));  // last: the axis
            if (i > 0) columns.insert((2 * kLeft * n + 2 * i * kPw + n) / (2 * n));
        }
        EXPECT_EQ(GridLines(Frame(n, 0), true, kPw, kPh), rows) << n;
        EXPECT_EQ(GridLines(Frame(0, n), false, kPw, kPh), columns) << n;
    }
    // 50/3 divisions (a 50-sample span) are used as they are: 18-pixel steps over 300 pixels
    // that stop short of the right edge.
    std::set<int> columns;
    for (int k = 1; k <= 16; ++k)
        columns.insert(kLeft + 18 * k);
    EXPECT_EQ(GridLines(Frame(0, 50.0 / 3, 356), false, 300, kPh), columns);
    // 7.5 divisions (Set Num Div): rows at i·ph/7.5 as the numbers are, not at i·ph/7.
    std::set<int> rows;
    for (int i = 0; i <= 7; ++i)
        rows.insert(static_cast<int>(kTop + i * kPh / 7.5 + 0.5));
    EXPECT_EQ(GridLines(Frame(7.5, 0), true, kPw, kPh), rows);
}

// Empty or negative plot areas and sub-pixel grids must finish: a running x that never passes
// the right edge would loop for ever. Sub-pixel grids paint every row and column.
TEST(PlotFrame, DegenerateGridsFinish) {
    const double inf = std::numeric_limits<double>::infinity();
    for (int W : {54, 55, 56, 57}) {
        for (double nX : {1.0, 1e300, inf, -inf / inf, -3.0}) {
            for (int nY : {-1, 0, INT_MAX})
                Frame(nY, nX, W, W - 14);
        }
    }
    const QImage fine = Frame(INT_MAX, 1e300, 100, 100);
    EXPECT_EQ(GridLines(fine, true, 44, 58).size(), 58u);
    EXPECT_EQ(GridLines(fine, false, 44, 58).size(), 44u);
}

TEST(LevelMarker, TipOnLevelClampedToPlotEdges) {
    AxisScaleSet axes;
    SetAllDefaults(axes);  // spectrum: 0 dBFS at the top, 13 divisions of 10 dB
    // Draws the marker in cyan; expects exactly the 9 x 5 triangle with its tip at (x, y).
    const auto expect = [&](double f, double level, double f0, double f1, int x, int y) {
        const QImage image = Render([&](QPainter& p, const PlotStyle& s) {
            p.setPen(s.cyanPen);
            DrawLevelMarker(p, s, axes, f, level, f0, f1, kPw, kPh);
        });
        const auto cyan = [](QColor c) { return c == QColor(0, 255, 255); };
        EXPECT_EQ(Bounds(image, image.rect(), cyan), QRect(x - 4, y - 4, 9, 5)) << level;
        EXPECT_TRUE(cyan(Pixel(image, x, y))) << "tip at level " << level;
    };
    expect(0, -65, -5e6, 5e6, kLeft + kPw / 2, kTop + kPh / 2);
    expect(-2.5e6, -200, -5e6, 5e6, kLeft + kPw / 4, kTop + kPh);  // below the axis: bottom
    expect(2.5e6, 20, -5e6, 5e6, kLeft + 3 * kPw / 4, kTop);       // above the reference: top
    expect(1e6, -65, 1e6, 1e6, kLeft, kTop + kPh / 2);             // empty span: left axis
    axes[kLogMagAxis].reference = -100;  // the spectrum record is the one that counts
    axes[kSpectrumAxis].reference = -30;
    expect(0, -95, -5e6, 5e6, kLeft + kPw / 2, kTop + kPh / 2);
    axes[kSpectrumAxis].scale = 0;  // accepted by the Y-axis command
    expect(0, -31, -5e6, 5e6, kLeft + kPw / 2, kTop + kPh);
    expect(0, -30, -5e6, 5e6, kLeft + kPw / 2, kTop);
}

}  // namespace
