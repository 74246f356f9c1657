#pragma once
// Texts of the numbers on plots and in annotation panels. Qt-free and independent of the C
// locale: the decimal point is always '.', whatever LC_NUMERIC the GUI has set.

#include <cstdint>
#include <string>

// "%.2f" of v without trailing zeros and then without a trailing point: -10.00 gives "-10",
// 2.50 gives "2.5". A value that rounds to zero reads "0", never "-0".
std::string FormatTrimmed(double v);

// Frequency axis tick, v in Hz: "%.5g" of v/1e6 with "M" when |v| > 999,999.9, of v/1e3 with
// "k" when |v| > 999.9999, else of v with no suffix ("2.5M", "-250k", "100").
std::string FormatFrequencyTick(double v);

// Resolution bandwidth sampleRateHz/fftSize as "%.6g" with " GHz", " MHz", " kHz" (from 1e9,
// 1e6, 1e3) or " Hz". fftSize <= 0 reads "0 Hz".
std::string FormatResolutionBandwidth(int64_t sampleRateHz, int fftSize);

// Sample rate as "%.8g" with " Gsps", " Msps", " ksps" (from 1e9, 1e6, 1e3); below 1000 the
// unit is " Hz" ("61.44 Msps", "500 Hz").
std::string FormatSampleRate(int64_t rateHz);

// Bandwidth in parentheses without a space, "(%.4g%s)": b = snrBandwidthHz when it exceeds
// 0.1 Hz, else the displayed span f1Hz − f0Hz; units GHz, MHz, kHz (from 1e9, 1e6, 1e3), Hz.
std::string FormatBandwidthInParens(double snrBandwidthHz, double f0Hz, double f1Hz);

// Frequency v in Hz as "%.7g" with " GHz" when |v| > 99,999,999 (so 150 MHz reads
// "0.15 GHz"), " MHz" when |v| > 999,999.9, " kHz" when |v| > 999.9999, else " Hz".
std::string FormatFrequency(double v);

// Duration of `samples` samples at sampleRateHz as "%.6g" in s, ms, us or ns (from 1, 1e-3,
// 1e-6, 1e-9 seconds); shorter, negative, or a rate <= 0: the fixed text "0 s".
std::string FormatDuration(int64_t samples, int64_t sampleRateHz);

// Tick of a linear axis: "%.3g" when |v| > 0.999999999999; "%.1f" when |v| > 0.099999999999;
// "%.3g" of v scaled to m, u, n or p with that suffix down to |v| > 9.9999999e-13; below that
// "%.1f" ("0.0"). Negative zero reads "0.0".
std::string FormatLinearTick(double v);
