#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Sample rate in Hz from the number just before the first "MSPS" in a file name
// ("lte20_30.72MSPS.bin" gives 30,720,000), rounded to the nearest Hz; 0 when there is none.
int64_t SampleRateFromName(std::string_view text);

// path with the rate in its file name ("x_30.72MSPS.bin") replaced by rateHz ("x_122.88MSPS.bin"
// for 122,880,000 Hz), so a saved waveform's name says its rate as the reader will take it.
// path itself when its name carries no rate.
std::string NameWithSampleRate(std::string_view path, int64_t rateHz);

// What a capture's file name says of its sample rate and centre frequency, and by which rule.
struct NamedCapture {
    int64_t rateHz = 0;              // 0: the name gives no rate
    std::optional<double> centreHz;  // the centre frequency, when the name gives one
    std::string_view rule;           // how the rate was read ("" without one)
};

// The rules, first match wins:
//  1. "N MSPS" anywhere in path, as SampleRateFromName reads it ("N MSPS");
//  2. gqrx_YYYYMMDD_HHMMSS_FREQ_RATE_fc…, both in Hz ("gqrx");
//  3. tokens of the name between '_', '-', ' ' and ',': an explicit rate ("2.4Msps", "250ksps",
//     "s11.52e6", "s250k"), a frequency ("433.92MHz") and bare numbers with a k or M suffix
//     ("250k", "1.92M"). An explicit rate is the rate; otherwise of two bare tokens the first is
//     the centre and the second the rate (as rtl_433 names g001_433.92M_250k.cu8), and one bare
//     token is the rate. A frequency token, or a bare one beside an explicit rate, is the centre.
// A rate below 1 kHz is given as read: the readers replace it by their fallback.
NamedCapture CaptureFromName(std::string_view path);
