#pragma once
// Small helpers the tool handlers share: refusing with a text, gains in dB as factors, numbers
// typed as text.

#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

#include "tools/tool.h"

// Shows text (when there is one) and returns code: how a check ends a tool.
inline int Refuse(const ToolContext& ctx, const char* text, int code) {
    if (*text) ctx.Status(text);
    return code;
}

// A gain of db dB as the factor 10^(db/20) in single precision; not finite above about
// +770.6 dB, which the tools refuse.
inline float GainFactor(float db) { return std::pow(10.0f, db / 20.0f); }

// The number at the start of text, as strtod reads it (leading spaces, a sign, then the longest
// number; 0 when there is none), but in the "C" notation whatever the locale: a point for
// decimals. A number beyond the range of a double gives NaN (no range check passes it).
inline double LeadingNumber(const std::string& text) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p != end && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    if (p != end && *p == '+') ++p;
    double v = 0.0;
    const auto [ptr, ec] = std::from_chars(p, end, v);
    if (ec == std::errc::result_out_of_range) return std::nan("");
    return ec == std::errc() ? v : 0.0;
}
