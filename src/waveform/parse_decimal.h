#pragma once
// Text-number parsing of the ASCII waveform formats, bounded by an end pointer so a buffer
// without a terminator is never read past its end.

#include <cstdint>

// Parses a decimal number at text (spaces, optional sign, digits with an optional point, an
// optional exponent), accumulating in single precision. Returns 0.0 when no digit is found,
// and then *after points just past the sign. |decimal exponent| >= 38 gives 0.0 below and 1e38
// above; a number too large for a float (39 digits and more) gives 1e38 with its sign, so the
// result is always finite. *after (when given) receives the position after the number, and
// *isNumber whether a digit was found. Stops at end.
float ParseDecimal(const char* text, const char* end, const char** after = nullptr,
                   bool* isNumber = nullptr);

// The same on a NUL-terminated text.
float ParseDecimal(const char* text, const char** after = nullptr);

// Integer parse with strtol's rules (white space, sign, "0x" in base 16, saturation at the
// 64-bit limits) that never reads at or past end. base is 10 or 16. *after receives the
// position after the digits, or text when there are none.
int64_t ParseInteger(const char* text, const char* end, int base, const char** after);
