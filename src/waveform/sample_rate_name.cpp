#include "waveform/sample_rate_name.h"

#include <charconv>
#include <cmath>

#include "waveform/number_format.h"

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

std::string NameWithSampleRate(std::string_view path, int64_t rateHz) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const size_t pos = path.find("MSPS", nameStart);
    if (pos == std::string_view::npos || SampleRateFromName(path.substr(nameStart)) <= 0)
        return std::string(path);
    size_t begin = pos;
    while (begin > nameStart &&
           ((path[begin - 1] >= '0' && path[begin - 1] <= '9') || path[begin - 1] == '.'))
        --begin;
    return std::string(path.substr(0, begin)) + General(static_cast<double>(rateHz) / 1e6, 10) +
           std::string(path.substr(pos));
}
