// Y-axis records (wheel ladder, defaults) and the division rule of sample axes.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "display/axis_scale.h"
#include "display/sample_axis.h"

namespace {

TEST(AxisScale, SetScaleAndStepsWalkTheLadder) {
    AxisScale axis;
    for (double v : {0.1, 0.2, 0.5, 1.0, 2.0, 5.0, 9.0, 18.0, 36.0})
        axis.AddTableEntry(v);
    // Index of the largest entry not above the value; the value itself is kept.
    for (auto [value, index] : {std::pair{9.0, 6}, {36.0, 8}, {7.5, 5}, {0.05, -1}, {1e3, 8}}) {
        axis.SetScale(value);
        EXPECT_EQ(axis.tableIndex, index) << value;
        EXPECT_EQ(axis.scale, value);
    }
    axis.SetScale(0);  // below the ladder: no step down; the first step up lands on 0.1
    EXPECT_FALSE(axis.StepDown());
    std::vector<double> up, down;
    while (axis.StepUp())
        up.push_back(axis.scale);
    while (axis.StepDown())
        down.push_back(axis.scale);
    EXPECT_EQ(up, (std::vector<double>{0.1, 0.2, 0.5, 1, 2, 5, 9, 18, 36}));
    EXPECT_EQ(down, (std::vector<double>{18, 9, 5, 2, 1, 0.5, 0.2, 0.1}));
}

TEST(AxisScale, DefaultsRestoreEveryRecordWithoutGrowingTables) {
    AxisScaleSet axes;
    SetAllDefaults(axes);
    for (AxisScale& a : axes) {
        a.reference = -42;
        a.StepUp();
    }
    SetAllDefaults(axes);
    // scale, divisions, table count, largest entry
    const double expected[][4] = {
        {5, 15, 8, 20}, {10, 13, 8, 20}, {0.1, 20, 25, 0.1}, {36, 20, 9, 36}, {2, 15, 12, 10}};
    for (int r = 0; r < kAxisScaleCount; ++r) {
        const AxisScale& a = axes[r];
        EXPECT_EQ(std::vector<double>({a.reference, a.scale, a.divisions, double(a.tableCount),
                                       a.scaleTable[a.tableCount - 1], a.scaleTable[a.tableIndex]}),
                  std::vector<double>({0, expected[r][0], expected[r][1], expected[r][2],
                                       expected[r][3], expected[r][0]}))
            << "record " << r;
    }
    EXPECT_EQ(axes[kLinearAxis].scaleTable[0] * (1 << 24), 0.1);  // halvings down to 0.1/2^24
}

// Ticks at round sample numbers (1, 2 or 5 times a power of ten), as close as their numbers
// allow and no closer, over spans from a few samples to a hundred million.
// Beyond full scale the time, log-magnitude and spectrum records reach the next 1-2-5 step at or
// above the largest component; restoring puts back exactly the defaults.
TEST(AxisScale, CapturesBeyondFullScaleAreScaledToTheirLargestValue) {
    const float nan = std::nanf(""), inf = INFINITY;
    const float I[] = {0.5f, -794.3f, nan, inf}, Q[] = {-2.0f, 10.0f, 1.0f, 3.0f};
    EXPECT_EQ(LargestComponent(I, Q, 4), 794.3f);  // NaN and infinity are not levels
    AxisScaleSet axes, defaults;
    SetAllDefaults(axes);
    SetAllDefaults(defaults);
    for (auto [peak, top] : {std::pair{794.3, 1000.0}, {1.5, 2.0}, {2.0, 2.0}, {3.01, 5.0}}) {
        EXPECT_EQ(ScaleAxesToPeak(axes, peak), top) << peak;
        EXPECT_DOUBLE_EQ(axes[kLinearAxis].scale * axes[kLinearAxis].divisions / 2, top);
        EXPECT_DOUBLE_EQ(axes[kLogMagAxis].reference, 20 * std::log10(top));
        EXPECT_DOUBLE_EQ(axes[kSpectrumAxis].reference, 20 * std::log10(top));
    }
    RestoreFullScaleAxes(axes);
    for (int r = 0; r < kAxisScaleCount; ++r) {
        EXPECT_EQ(axes[size_t(r)].scale, defaults[size_t(r)].scale) << r;
        EXPECT_EQ(axes[size_t(r)].reference, defaults[size_t(r)].reference) << r;
        EXPECT_EQ(axes[size_t(r)].tableIndex, defaults[size_t(r)].tableIndex) << r;
    }
}

TEST(SampleAxis, TicksAtRoundNumbersThatFitTheirLabels) {
    // The whole of a 65,536-sample capture on 1000 pixels, numbers 50 pixels wide: every 5000.
    std::vector<SampleTick> t = SampleAxisTicks(0, 65536, 1000, 50);
    ASSERT_EQ(t.size(), 13u);
    EXPECT_EQ(t.front().number, 5000);
    EXPECT_EQ(t.back().number, 65000);
    EXPECT_DOUBLE_EQ(t[0].offsetPx, 4999.0 / 65536 * 1000);
    // Fifty million samples on 300 pixels with 80-pixel numbers: every 20 million.
    t = SampleAxisTicks(0, 5e7, 300, 80);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[1].number, 40'000'000);
    // Zoomed to five samples: each sample its number.
    t = SampleAxisTicks(99, 5, 1000, 40);
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t.front().number, 100);
    EXPECT_DOUBLE_EQ(t.front().offsetPx, 0.0);
    EXPECT_TRUE(SampleAxisTicks(0, 0, 1000, 40).empty());
    EXPECT_TRUE(SampleAxisTicks(0, 100, 0, 40).empty());
    for (double span : {7.0, 33.3, 999.0, 65536.0, 1e6 + 3, 4.5e7, 1e8})
        for (int pw : {200, 777, 1600}) {
            const double start = span / 3, label = 60;
            t = SampleAxisTicks(start, span, pw, label);
            ASSERT_GE(t.size(), 1u) << span << " " << pw;
            const double step = t.size() > 1 ? double(t[1].number - t[0].number) : 0;
            const double mantissa =
                step / std::pow(10.0, std::floor(std::log10(std::max(step, 1.0))));
            if (t.size() > 1) {
                EXPECT_TRUE(mantissa == 1 || mantissa == 2 || mantissa == 5) << step;
                EXPECT_GE((t[1].offsetPx - t[0].offsetPx), label - 1e-9) << span << " " << pw;
                const double smaller = mantissa == 1   ? step / 2
                                       : mantissa == 2 ? step / 2
                                                       : step * 0.4;
                EXPECT_TRUE(step == 1 || smaller * pw / span < label) << span << " " << pw;
            }
            for (const SampleTick& tick : t) {
                EXPECT_EQ(tick.number % std::max<long long>(1, static_cast<long long>(step)), 0);
                EXPECT_GE(tick.offsetPx, -1e-9);
                EXPECT_LE(tick.offsetPx, pw + 1e-9);
            }
        }
}

}  // namespace
