#include "display/value_format.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace {

// Appends printf's "%.{precision}f" (fixed) or "%.{precision}g" (general) of v. to_chars is
// specified as printf in the "C" locale, so no locale can change the point. The buffer grows
// until the text fits: "%.2f" of 1e308 has over 300 digits.
void AppendNumber(std::string& out, double v, std::chars_format fmt, int precision) {
    const size_t start = out.size();
    for (size_t room = 32;; room *= 2) {
        out.resize(start + room);
        const auto r =
            std::to_chars(out.data() + start, out.data() + out.size(), v, fmt, precision);
        if (r.ec == std::errc()) {
            out.resize(static_cast<size_t>(r.ptr - out.data()));
            return;
        }
    }
}

std::string Fixed(double v, int decimals) {
    std::string s;
    AppendNumber(s, v, std::chars_format::fixed, decimals);
    // A tiny negative value (a grid step's rounding residue) must not label the axis "-0".
    if (s.size() > 1 && s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) {
        s.erase(0, 1);
    }
    return s;
}

// "%.{precision}g" of v followed by unitText (which carries its own leading space if any).
std::string General(double v, int precision, const char* unitText = "") {
    std::string s;
    AppendNumber(s, v, std::chars_format::general, precision);
    s += unitText;
    return s;
}

}  // namespace

std::string FormatTrimmed(double v) {
    std::string s = Fixed(v, 2);
    if (s.find('.') == std::string::npos) return s;  // inf, nan
    while (s.back() == '0')
        s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

std::string FormatFrequencyTick(double v) {
    const double a = std::fabs(v);
    if (a > 999999.9) return General(v / 1e6, 5, "M");
    if (a > 999.9999) return General(v / 1e3, 5, "k");
    return General(v, 5);
}

std::string FormatResolutionBandwidth(int64_t sampleRateHz, int fftSize) {
    const double r = fftSize > 0 ? static_cast<double>(sampleRateHz) / fftSize : 0.0;
    if (r >= 1e9) return General(r / 1e9, 6, " GHz");
    if (r >= 1e6) return General(r / 1e6, 6, " MHz");
    if (r >= 1e3) return General(r / 1e3, 6, " kHz");
    return General(r, 6, " Hz");
}

std::string FormatSampleRate(int64_t rateHz) {
    const double r = static_cast<double>(rateHz);
    if (r >= 1e9) return General(r / 1e9, 8, " Gsps");
    if (r >= 1e6) return General(r / 1e6, 8, " Msps");
    if (r >= 1e3) return General(r / 1e3, 8, " ksps");
    return General(r, 8, " Hz");
}

std::string FormatBandwidthInParens(double snrBandwidthHz, double f0Hz, double f1Hz) {
    const double b = snrBandwidthHz > 0.1 ? snrBandwidthHz : f1Hz - f0Hz;
    std::string s = "(";
    if (b >= 1e9) {
        s += General(b / 1e9, 4, "GHz");
    } else if (b >= 1e6) {
        s += General(b / 1e6, 4, "MHz");
    } else if (b >= 1e3) {
        s += General(b / 1e3, 4, "kHz");
    } else {
        s += General(b, 4, "Hz");
    }
    return s + ")";
}

std::string FormatFrequency(double v) {
    const double a = std::fabs(v);
    if (a > 99999999.0) return General(v / 1e9, 7, " GHz");
    if (a > 999999.9) return General(v / 1e6, 7, " MHz");
    if (a > 999.9999) return General(v / 1e3, 7, " kHz");
    return General(v, 7, " Hz");
}

std::string FormatDuration(int64_t samples, int64_t sampleRateHz) {
    if (sampleRateHz <= 0) return "0 s";
    const double d = static_cast<double>(samples) / static_cast<double>(sampleRateHz);
    if (d >= 1) return General(d, 6, " s");
    if (d >= 0.001) return General(d * 1e3, 6, " ms");
    if (d >= 1e-6) return General(d * 1e6, 6, " us");
    if (d >= 1e-9) return General(d * 1e9, 6, " ns");
    return "0 s";
}

std::string FormatLinearTick(double v) {
    const double a = std::fabs(v);
    if (a > 0.999999999999) return General(v, 3);
    if (a > 0.099999999999) return Fixed(v, 1);
    if (a > 0.000999999999) return General(v * 1e3, 3, "m");
    if (a > 9.99999999e-07) return General(v * 1e6, 3, "u");
    if (a > 9.99999999e-10) return General(v * 1e9, 3, "n");
    if (a > 9.9999999e-13) return General(v * 1e12, 3, "p");
    return Fixed(v, 1);
}
