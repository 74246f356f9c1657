#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Sample rate in Hz from the number just before the first "MSPS" in a file name
// ("lte20_30.72MSPS.bin" gives 30,720,000), rounded to the nearest Hz; 0 when there is none.
int64_t SampleRateFromName(std::string_view text);

// path with the rate in its file name ("x_30.72MSPS.bin") replaced by rateHz ("x_122.88MSPS.bin"
// for 122,880,000 Hz), so a saved waveform's name says its rate as the reader will take it.
// path itself when its name carries no rate.
std::string NameWithSampleRate(std::string_view path, int64_t rateHz);
