// The text-number parsers of the ASCII formats and the rate in file names.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "waveform/parse_decimal.h"
#include "waveform/sample_rate_name.h"

namespace {

TEST(ParseDecimal, NumbersSignsAndExponents) {
    EXPECT_EQ(ParseDecimal("0.5"), 0.5f);
    EXPECT_EQ(ParseDecimal("   -12.25e1"), -122.5f);
    EXPECT_EQ(ParseDecimal("+3"), 3.0f);
    EXPECT_EQ(ParseDecimal("7."), 7.0f);
    EXPECT_EQ(ParseDecimal(".25"), 0.25f);
    EXPECT_EQ(ParseDecimal("2E-3"), 2.0f * 1e-3f);
    // Digits accumulate in float: 16777217 is not a float and rounds to 16777216.
    EXPECT_EQ(ParseDecimal("16777217"), 16777216.0f);
    // Scaled by the float power of ten, not rounded from the exact decimal.
    EXPECT_EQ(ParseDecimal("3.14159"), 314159.0f * 1e-5f);
}

TEST(ParseDecimal, ExponentLimits) {
    EXPECT_EQ(ParseDecimal("1e40"), 1e38f);
    EXPECT_EQ(ParseDecimal("-1e40"), 1e38f);  // beyond the table the sign is lost
    EXPECT_EQ(ParseDecimal("1e38"), 1e38f);
    EXPECT_EQ(ParseDecimal("1e37"), 1e37f);
    EXPECT_EQ(ParseDecimal("1e-37"), 1e-37f);
    EXPECT_EQ(ParseDecimal("5e-38"), 0.0f);
    EXPECT_EQ(ParseDecimal("0.000000000000000000000000000000000000000001"), 0.0f);
    EXPECT_EQ(ParseDecimal("1e99999999999999999999"), 1e38f);  // no overflow of the exponent
}

TEST(ParseDecimal, CursorAfterNumberOrAfterSign) {
    const char* after = nullptr;
    const char* t1 = "  1.5,2";
    EXPECT_EQ(ParseDecimal(t1, &after), 1.5f);
    EXPECT_EQ(after, t1 + 5);
    const char* t2 = "abc";
    EXPECT_EQ(ParseDecimal(t2, &after), 0.0f);
    EXPECT_EQ(after, t2);
    const char* t3 = " -x";
    EXPECT_EQ(ParseDecimal(t3, &after), 0.0f);
    EXPECT_EQ(after, t3 + 2);
    const char* t4 = "-.";
    EXPECT_EQ(ParseDecimal(t4, &after), 0.0f);
    EXPECT_EQ(after, t4 + 1);
    const char* t5 = "0.5-0.25i";
    EXPECT_EQ(ParseDecimal(t5, &after), 0.5f);
    EXPECT_EQ(ParseDecimal(after, &after), -0.25f);
    EXPECT_EQ(*after, 'i');
}

TEST(ParseDecimal, NeverReadsPastTheEnd) {
    const char digits[3] = {'1', '2', '3'};  // no terminator
    const char* after = nullptr;
    EXPECT_EQ(ParseDecimal(digits, digits + 2, &after), 12.0f);
    EXPECT_EQ(after, digits + 2);
    const char exp[2] = {'1', 'e'};
    EXPECT_EQ(ParseDecimal(exp, exp + 2, &after), 1.0f);
}

TEST(ParseInteger, StrtolRulesWithinBounds) {
    const char* after = nullptr;
    auto parse = [&](const char* s, int base) {
        return ParseInteger(s, s + std::strlen(s), base, &after);
    };
    EXPECT_EQ(parse("0xffff", 16), 0xffff);
    EXPECT_EQ(parse("ffff", 16), 0xffff);
    EXPECT_EQ(parse(" -0x10,", 16), -16);
    EXPECT_EQ(*after, ',');
    const char* zx = "0xg";
    EXPECT_EQ(ParseInteger(zx, zx + 3, 16, &after), 0);
    EXPECT_EQ(after, zx + 1);  // the "0" is the number
    EXPECT_EQ(parse("\t+42x", 10), 42);
    EXPECT_EQ(*after, 'x');
    EXPECT_EQ(parse("99999999999999999999", 10), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(parse("-99999999999999999999", 10), std::numeric_limits<int64_t>::min());
    const char* none = "  ,5";
    EXPECT_EQ(ParseInteger(none, none + 4, 10, &after), 0);
    EXPECT_EQ(after, none);
    const char digits[2] = {'4', '2'};
    EXPECT_EQ(ParseInteger(digits, digits + 1, 10, &after), 4);
}

TEST(SampleRateFromName, NumberBeforeFirstMsps) {
    EXPECT_EQ(SampleRateFromName("/data/lte20_30.72MSPS.bin"), 30'720'000);
    EXPECT_EQ(SampleRateFromName("x_61.44MSPS.dat"), 61'440'000);
    EXPECT_EQ(SampleRateFromName("x_3.84MSPS.dat"), 3'840'000);  // 3839999.99.. + 0.5 truncates up
    EXPECT_EQ(SampleRateFromName("x_0MSPS.dat"), 0);
    EXPECT_EQ(SampleRateFromName("x_MSPS.dat"), 0);
    EXPECT_EQ(SampleRateFromName("x_.MSPS.dat"), 0);
    EXPECT_EQ(SampleRateFromName("x_30.72msps.dat"), 0);  // exact case only
    EXPECT_EQ(SampleRateFromName("capture.bin"), 0);
    EXPECT_EQ(SampleRateFromName("a_1.5MSPS_b_2MSPS"), 1'500'000);
    EXPECT_EQ(SampleRateFromName("a_1.2.3MSPS"), 1'200'000);  // as atof reads "1.2.3"
    EXPECT_EQ(SampleRateFromName("v2_122.88MSPS"), 122'880'000);
}

struct NameCase {
    const char* name;
    int64_t rateHz;
    double centreHz;  // 0: none
    const char* rule;
};

class CaptureNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(CaptureNames, GiveRateCentreAndRule) {
    const NameCase& c = GetParam();
    const NamedCapture n = CaptureFromName(c.name);
    EXPECT_EQ(n.rateHz, c.rateHz);
    EXPECT_EQ(n.centreHz.value_or(0.0), c.centreHz);
    EXPECT_EQ(n.rule, c.rule);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rules, CaptureNames, ::testing::Values(
    // MSPS comes first, anywhere in the path, below 1 kHz too (the readers fall back).
    NameCase{"/d/433.92M_lte_30.72MSPS.bin", 30'720'000, 0, "N MSPS"},
    NameCase{"x_0.0001MSPS.bin", 100, 0, "N MSPS"},
    NameCase{"/rec/gqrx_20240131_235959_433920000_2400000_fc.raw", 2'400'000, 433'920'000, "gqrx"},
    NameCase{"g001_433.92M_250k.cu8", 250'000, 433'920'000, "centre and rate tokens"},
    NameCase{"capture_250k.cu8", 250'000, 0, "rate token"},
    NameCase{"lte_1.92M_ch3.cs16", 1'920'000, 0, "rate token"},
    NameCase{"fm-2.4Msps-98.5MHz.cf32", 2'400'000, 98'500'000, "rate token"},
    NameCase{"s11.52e6_f2.6e9.cf32", 11'520'000, 0, "rate token"},
    NameCase{"band_1.2G_s250k.cu8", 250'000, 0, "rate token"},  // G needs sps or Hz
    NameCase{"ism_868M_s1e6.cs8", 1'000'000, 868'000'000, "rate token"},
    NameCase{"x_1.92M", 1'920'000, 0, "rate token"},  // no extension to drop
    // Words, dates, bare numbers and a lone G are no rate.
    NameCase{"nr_5G_20231201_take2.cf32", 0, 0, ""},
    NameCase{"gqrx_2024_fc.raw", 0, 0, ""},
    NameCase{"Mode_k_M.bin", 0, 0, ""}));
// clang-format on

TEST(SampleRateFromName, RatesAboveTwoGigahertzAreKept) {
    EXPECT_EQ(SampleRateFromName("adc_5000MSPS.bin"), int64_t{5'000'000'000});
    EXPECT_EQ(SampleRateFromName("adc_2949.12MSPS.bin"), int64_t{2'949'120'000});
}

}  // namespace
