#pragma once
#include <cstdint>
#include <string_view>

// Sample rate in Hz from the number just before the first "MSPS" in a file name
// ("lte20_30.72MSPS.bin" gives 30,720,000), rounded to the nearest Hz; 0 when there is none.
int64_t SampleRateFromName(std::string_view text);
