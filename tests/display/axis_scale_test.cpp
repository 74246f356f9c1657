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

TEST(SampleAxis, DivisionsBySpan) {
    for (auto [span, divisions] : {std::pair{50.0, 50.0 / 3},
                                   {7.0, 7.0},
                                   {0.0, 2.0},
                                   {-3.0, 2.0},
                                   {20.0, 20.0},
                                   {21.0, 10.5},
                                   {101.0, 10.0}}) {
        EXPECT_EQ(SampleAxisDivisions(span), divisions) << span;
    }
    // From 20 to 100 samples: span/k for the smallest whole k >= 2 that gives fewer than 20.
    for (double span = 20.25; span <= 100; span += 0.25) {
        const double d = SampleAxisDivisions(span), k = std::round(span / d);
        EXPECT_TRUE(d < 20 && span / k == d && (k == 2 || span / (k - 1) >= 20)) << span;
    }
}

}  // namespace
