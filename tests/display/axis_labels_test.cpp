// Where axis numbers and titles land, read back from rendered pixels.

#include <gtest/gtest.h>

#include <QFontMetrics>

#include "display/axis_labels.h"
#include "display/sample_axis.h"
#include "render_helpers.h"

namespace {

const QRect kLeftMargin(0, 0, kLeft, kH), kBottomMargin(0, kTop + kPh + 1, kW, kH);

// Bounds of the text pixels (anything but the margin colour) in `area`.
QRect Ink(const Draw& draw, const QRect& area) {
    return Bounds(Render(draw), area, [](QColor c) { return c != kBackground; });
}
int CentreX(const QRect& r) { return (r.left() + r.right() + 1) / 2; }
int CentreY(const QRect& r) { return (r.top() + r.bottom() + 1) / 2; }

TEST(AxisLabels, NumbersAndTitlesAtTheirAnchors) {
    const PlotStyle style;
    const int small = QFontMetrics(style.smallFont).height();
    const QFontMetrics title(style.titleFont);

    // Y number: its advance ends at left − 3, its cell starts at floor(top − 6 + offset + 0.5).
    const QRect y =
        Ink([](auto& p, auto& s) { DrawYAxisNumber(p, s, 100.0, "-130"); }, kLeftMargin);
    EXPECT_TRUE(y.right() <= kLeft - 4 && y.right() >= kLeft - 7) << y.right();
    EXPECT_TRUE(y.top() >= kTop + 94 && y.bottom() < kTop + 94 + small) << y.top();
    // X number: centred under its grid line, its cell from H − bottom + 3.
    const QRect x =
        Ink([](auto& p, auto& s) { DrawXAxisNumber(p, s, kH, 172.0, "1000"); }, kBottomMargin);
    EXPECT_NEAR(CentreX(x), kLeft + 172, 2);
    EXPECT_TRUE(x.top() >= kH - 27 && x.bottom() < kH - 27 + small) << x.top();
    // X title: centred on the plot, its cell ending at H − 3.
    const QRect xt =
        Ink([](auto& p, auto& s) { DrawXAxisTitle(p, s, kH, kPw, "Freq (MHz)"); }, kBottomMargin);
    EXPECT_NEAR(CentreX(xt), kLeft + kPw / 2, 2);
    EXPECT_TRUE(xt.bottom() < kH - 3 && xt.bottom() >= kH - 4 - title.descent()) << xt.bottom();
    // Y title reads upwards: its top edge on x = 4 (turned the other way it would lie left of
    // it), centred on H/2 − 9, clear of the widest number of a default spectrum axis.
    const QRect yt =
        Ink([](auto& p, auto& s) { DrawYAxisTitle(p, s, kH, "Level (dBFS)"); }, kLeftMargin);
    EXPECT_TRUE(yt.left() >= 4 && yt.right() < 4 + title.height())
        << yt.left() << ".." << yt.right();
    EXPECT_GT(yt.height(), 3 * yt.width());
    EXPECT_NEAR(CentreY(yt), kH / 2 - 9, 2);
    AxisScaleSet axes;
    SetAllDefaults(axes);
    const Draw numbers = [&](auto& p, auto& s) {
        DrawDbAxisNumbers(p, s, axes[kSpectrumAxis], 0.0, kPh);
    };
    EXPECT_LT(yt.right(), Ink(numbers, kLeftMargin).left());
    // The first and last numbers are centred on their grid lines.
    const int half = kPh / 13 / 2;
    EXPECT_NEAR(CentreY(Ink(numbers, QRect(0, 0, kLeft, kTop + half))), kTop, 2);
    EXPECT_NEAR(CentreY(Ink(numbers, QRect(0, kTop + kPh - half, kLeft, 2 * half))), kTop + kPh, 2);
}

// dB numbers carry the dBm offset and stop at the last whole division; sample numbers count
// from 1. Each is compared with the same numbers placed one by one.
TEST(AxisLabels, EndNumbersMoveInwardWhole) {
    // "65536" under the right edge and "1" under the left one move inward, whole.
    const PlotStyle style;
    const int advance = QFontMetrics(style.smallFont).horizontalAdvance("65536");
    const QRect right =
        Ink([](auto& p, auto& s) { DrawXAxisNumber(p, s, kH, kPw, "65536"); }, kBottomMargin);
    EXPECT_LE(right.right(), kW - 1);
    EXPECT_GE(right.width(), advance - 3);
    const QRect left =
        Ink([](auto& p, auto& s) { DrawXAxisNumber(p, s, kH, -kLeft, "65536"); }, kBottomMargin);
    EXPECT_GE(left.left(), 0);
    EXPECT_GE(left.width(), advance - 3);
}

TEST(AxisLabels, AxisNumberSequences) {
    AxisScale axis;
    axis.reference = -10;
    axis.scale = 20;
    axis.divisions = 4.5;
    EXPECT_EQ(Render([&](auto& p, auto& s) { DrawDbAxisNumbers(p, s, axis, 30.0, kPh); }),
              Render([](auto& p, auto& s) {
                  const char* texts[] = {"20", "0", "-20", "-40", "-60"};
                  for (int i = 0; i < 5; ++i)
                      DrawYAxisNumber(p, s, i * kPh / 4.5, texts[i]);
              }));
    // Samples 99 … 149 with ticks every 10 (6 pixels a sample on a 300-pixel plot).
    EXPECT_EQ(
        Render([](auto& p,
                  auto& s) { DrawSampleAxisNumbers(p, s, kH, SampleAxisTicks(99, 50, 300, 40)); },
               356),
        Render(
            [](auto& p, auto& s) {
                for (int n = 100; n <= 150; n += 10)
                    DrawXAxisNumber(p, s, kH, 6.0 * (n - 100), QString::number(n));
            },
            356));
}

}  // namespace
