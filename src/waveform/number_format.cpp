#include "waveform/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace {
constexpr int kRoom = 64;  // every form here fits (the widest: a fixed double with 10 decimals)

char* ToChars(double value, std::chars_format fmt, int precision, char* out) {
    // to_chars writes "inf"/"nan" where printf does too; fixed notation of 1e308 needs ~320
    // characters, so out-of-range fixed values fall back to scientific.
    auto r = std::to_chars(out, out + kRoom, value, fmt, precision);
    if (r.ec != std::errc())
        r = std::to_chars(out, out + kRoom, value, std::chars_format::scientific, precision);
    return r.ptr;
}
}  // namespace

char* FormatSignedExp6(double value, char* out) {
    if (!std::signbit(value)) *out++ = '+';
    return ToChars(value, std::chars_format::scientific, 6, out);
}

char* FormatFixed(double value, int decimals, char* out) {
    return ToChars(value, std::chars_format::fixed, decimals, out);
}

char* FormatGeneral(double value, int precision, char* out) {
    return ToChars(value, std::chars_format::general, precision, out);
}

char* FormatExp(double value, char* out) {
    return ToChars(value, std::chars_format::scientific, 6, out);
}

char* FormatExportNumber(double value, int p, char* out) {
    if (std::isnan(value)) {
        for (char c : {'n', 'a', 'n'})
            *out++ = c;
        return out;
    }
    if (std::fabs(value) > 2147483647.0) return FormatExp(value, out);
    if (p < 0) p = 0;
    if (p > 9) p = 9;
    const double magnitude = std::fabs(value);
    int64_t whole = static_cast<int64_t>(magnitude);
    const double fraction = magnitude - static_cast<double>(whole);
    int64_t scaleP = 1;
    for (int i = 0; i < p; ++i)
        scaleP *= 10;
    const double t = fraction * static_cast<double>(scaleP);
    int64_t F = static_cast<int64_t>(t);
    const double rest = t - static_cast<double>(F);
    if (rest > 0.5 || (rest == 0.5 && (F % 2 == 1 || F == 0))) ++F;
    if (F >= scaleP) {
        F = 0;
        ++whole;
    }
    if (value < 0) *out++ = '-';
    out = std::to_chars(out, out + 20, whole).ptr;
    *out++ = '.';
    for (int64_t d = scaleP / 10; d >= 1; d /= 10)
        *out++ = static_cast<char>('0' + (F / d) % 10);
    return out;
}

std::string SignedExp6(double value) {
    char buf[kRoom + 2];
    return std::string(buf, FormatSignedExp6(value, buf));
}
std::string Fixed(double value, int decimals) {
    char buf[kRoom + 2];
    return std::string(buf, FormatFixed(value, decimals, buf));
}
std::string General(double value, int precision) {
    char buf[kRoom + 2];
    return std::string(buf, FormatGeneral(value, precision, buf));
}
