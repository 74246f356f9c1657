// The partial-result scans against the plain strictly-greater loops they replace.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "dsp/range_scan.h"

TEST(RangeScan, AgreesWithPlainLoopsIncludingTies) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> level(0, 20);  // few distinct values: many ties
    std::vector<float> p(5000);
    for (auto& v : p)
        v = static_cast<float>(level(rng));
    std::uniform_int_distribution<int> pos(0, 4999);
    for (int trial = 0; trial < 300; ++trial) {
        int a = pos(rng), b = pos(rng);
        if (a > b) std::swap(a, b);
        float best = -1.0f, lo = 1e9f, hi = -1.0f;
        int64_t at = -1;
        double sum = 0.0;
        for (int k = a; k < b; ++k) {
            if (p[k] > best) {
                best = p[k];
                at = k;
            }
            lo = std::min(lo, p[k]);
            hi = std::max(hi, p[k]);
            sum += p[k];
        }
        float value = 0;
        int64_t index = 0;
        ASSERT_EQ(FirstMax(p.data(), a, b, value, index), b > a);
        if (b == a) continue;
        EXPECT_EQ(value, best);
        EXPECT_EQ(index, at);
        float l, h;
        MinMax(p.data(), a, b, l, h);
        EXPECT_EQ(l, lo);
        EXPECT_EQ(h, hi);
        EXPECT_EQ(Sum(p.data(), a, b), sum);  // whole numbers: every order sums exactly
    }
}
