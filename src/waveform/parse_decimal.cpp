#include "waveform/parse_decimal.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {
// Powers of ten as the nearest floats.
constexpr float kPow10[38] = {1e0f,  1e1f,  1e2f,  1e3f,  1e4f,  1e5f,  1e6f,  1e7f,  1e8f,  1e9f,
                              1e10f, 1e11f, 1e12f, 1e13f, 1e14f, 1e15f, 1e16f, 1e17f, 1e18f, 1e19f,
                              1e20f, 1e21f, 1e22f, 1e23f, 1e24f, 1e25f, 1e26f, 1e27f, 1e28f, 1e29f,
                              1e30f, 1e31f, 1e32f, 1e33f, 1e34f, 1e35f, 1e36f, 1e37f};
constexpr float kPow10Neg[38] = {1e-0f,  1e-1f,  1e-2f,  1e-3f,  1e-4f,  1e-5f,  1e-6f,  1e-7f,
                                 1e-8f,  1e-9f,  1e-10f, 1e-11f, 1e-12f, 1e-13f, 1e-14f, 1e-15f,
                                 1e-16f, 1e-17f, 1e-18f, 1e-19f, 1e-20f, 1e-21f, 1e-22f, 1e-23f,
                                 1e-24f, 1e-25f, 1e-26f, 1e-27f, 1e-28f, 1e-29f, 1e-30f, 1e-31f,
                                 1e-32f, 1e-33f, 1e-34f, 1e-35f, 1e-36f, 1e-37f};

// Exponents beyond this cannot change the outcome; clamping keeps the sums in range.
constexpr int kExponentClamp = 100000;

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

float ParseDecimal(const char* p, const char* end, const char** after, bool* isNumber) {
    while (p < end && *p == ' ')
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    const char* afterSign = p;
    float value = 0.0f;
    int exponent = 0;
    bool sawDigit = false;
    while (p < end && IsDigit(*p)) {
        value = value * 10.0f + static_cast<float>(*p - '0');
        sawDigit = true;
        ++p;
    }
    if (p < end && *p == '.') {
        ++p;
        while (p < end && IsDigit(*p)) {
            value = value * 10.0f + static_cast<float>(*p - '0');
            if (exponent > -kExponentClamp) --exponent;
            sawDigit = true;
            ++p;
        }
    }
    if (isNumber) *isNumber = sawDigit;
    if (!sawDigit) {
        if (after) *after = afterSign;
        return 0.0f;
    }
    if (negative) value = -value;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool expNegative = false;
        if (p < end && (*p == '+' || *p == '-')) {
            expNegative = *p == '-';
            ++p;
        }
        int e = 0;
        while (p < end && IsDigit(*p)) {
            if (e < kExponentClamp) e = e * 10 + (*p - '0');
            ++p;
        }
        exponent += expNegative ? -e : e;
    }
    if (after) *after = p;
    if (exponent <= -38) return 0.0f;
    if (exponent >= 38) return 1e38f;
    // 39 digits and more overflow the float sum, and a large mantissa can overflow its power
    // of ten: such numbers are capped as well (keeping their sign), never infinite.
    const float result = exponent < 0 ? value * kPow10Neg[-exponent] : value * kPow10[exponent];
    if (!std::isfinite(result)) return std::signbit(result) ? -1e38f : 1e38f;
    return result;
}

float ParseDecimal(const char* text, const char** after) {
    return ParseDecimal(text, text + std::strlen(text), after);
}

int64_t ParseInteger(const char* text, const char* end, int base, const char** after) {
    const char* p = text;
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    auto digitValue = [base](char c) -> int {
        int v = -1;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'Z')
            v = c - 'A' + 10;
        return v < base ? v : -1;
    };
    // "0x" counts as a prefix only when a hex digit follows; otherwise the "0" is the number.
    if (base == 16 && end - p >= 3 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
        digitValue(p[2]) >= 0)
        p += 2;
    const char* digits = p;
    uint64_t magnitude = 0;
    bool overflow = false;
    const uint64_t limit =
        negative ? uint64_t{1} << 63 : uint64_t{std::numeric_limits<int64_t>::max()};
    while (p < end) {
        const int d = digitValue(*p);
        if (d < 0) break;
        if (!overflow) {
            if (magnitude > (limit - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base))
                overflow = true;
            else
                magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        }
        ++p;
    }
    if (p == digits) {
        if (after) *after = text;
        return 0;
    }
    if (after) *after = p;
    if (overflow)
        return negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}
