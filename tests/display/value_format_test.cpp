// Texts of the value formatters at their unit thresholds, and in a comma locale.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "display/value_format.h"

namespace {

// Each formatter's texts for a row of values, compared as one joined line.
std::string Texts(std::string (*format)(double), std::initializer_list<double> values) {
    std::string joined;
    for (double v : values)
        joined += format(v) + "|";
    return joined;
}

TEST(ValueFormat, TextsAtUnitThresholds) {
    // A value that rounds to zero never reads "-0"; no fixed-size buffer cuts 1e300.
    EXPECT_EQ(Texts(FormatTrimmed, {-10, 0.5, 0, 100, 3.14159, -0.004}), "-10|0.5|0|100|3.14|0|");
    EXPECT_EQ(FormatTrimmed(1e300).size(), 301u);
    EXPECT_EQ(Texts(FormatFrequencyTick, {2.5e6, -250000, 999.9999, 999999.9}),
              "2.5M|-250k|1000|1000k|");
    EXPECT_EQ(Texts(FormatFrequency, {150e6, 99999999, -2500, 999.9999}),
              "0.15 GHz|100 MHz|-2.5 kHz|999.9999 Hz|");
    EXPECT_EQ(Texts(FormatLinearTick, {0, 0.5, 2, 0.002, 1234, -0.0125, 2.5e-6, 4e-12, -1e-17}),
              "0.0|0.5|2|2m|1.23e+03|-12.5m|2.5u|4p|0.0|");
    EXPECT_EQ(FormatSampleRate(61440000) + FormatSampleRate(500) + FormatSampleRate(2500000000),
              "61.44 Msps500 Hz2.5 Gsps");
    EXPECT_EQ(FormatResolutionBandwidth(61440000, 4096) + FormatResolutionBandwidth(1000, 1024) +
                  FormatResolutionBandwidth(1000, 0),
              "15 kHz0.976562 Hz0 Hz");
    // The SNR bandwidth counts only above 0.1 Hz.
    EXPECT_EQ(FormatBandwidthInParens(0, -5e6, 5e6) + FormatBandwidthInParens(180000, -5e6, 5e6) +
                  FormatBandwidthInParens(0.1, 0, 500),
              "(10MHz)(180kHz)(500Hz)");
    EXPECT_EQ(FormatDuration(0, 61440000) + "|" + FormatDuration(1, 61440000) + "|" +
                  FormatDuration(65536, 61440000) + "|" + FormatDuration(3072, 30720000) + "|" +
                  FormatDuration(1, 2000000000) + "|" + FormatDuration(100, 0),
              "0 s|16.276 ns|1.06667 ms|100 us|0 s|0 s");
}

// The GUI takes LC_NUMERIC from the environment; a comma locale must not reach the texts.
TEST(ValueFormat, DecimalPointIgnoresLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "fr_FR.UTF-8")) {
        GTEST_SKIP() << "no comma-decimal locale installed";
    }
    char probe[8];
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    const std::string texts = FormatTrimmed(2.5) + FormatFrequencyTick(2.5e6) +
                              FormatResolutionBandwidth(61440000, 8) + FormatSampleRate(61440000) +
                              FormatBandwidthInParens(0, 0, 1.5e6) + FormatFrequency(-2500) +
                              FormatDuration(1, 61440000) + FormatLinearTick(0.5);
    std::setlocale(LC_ALL, saved.c_str());
    ASSERT_STREQ(probe, "0,5");
    EXPECT_EQ(texts, "2.52.5M7.68 MHz61.44 Msps(1.5MHz)-2.5 kHz16.276 ns0.5");
}

}  // namespace
