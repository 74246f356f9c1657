#include "waveform/sample_rate_name.h"

#include <charconv>
#include <cmath>

int64_t SampleRateFromName(std::string_view text) {
    const size_t pos = text.find("MSPS");
    if (pos == std::string_view::npos) return 0;
    size_t begin = pos;
    while (begin > 0) {
        const char c = text[begin - 1];
        if (!((c >= '0' && c <= '9') || c == '.')) break;
        --begin;
    }
    // Leading part of the run that reads as a number, as atof would take it; from_chars
    // does not depend on the C locale, which a GUI application sets from the environment.
    const char* first = text.data() + begin;
    const char* last = text.data() + pos;
    double mhz = 0.0;
    if (first == last || std::from_chars(first, last, mhz).ec != std::errc()) return 0;
    const double hz = std::trunc(mhz * 1e6 + 0.5);
    // Rates above 2^31 Hz are real (multi-GHz converters); keep them rather than wrap.
    if (!(hz >= 0.0) || hz > 9.0e18) return 0;
    return static_cast<int64_t>(hz);
}
