#pragma once
// Locale-independent number texts of the file formats (printf's forms, produced with
// std::to_chars so a GUI's locale cannot turn a decimal point into a comma).

#include <string>

// printf "%+.6e": sign always, 7 significant digits, two-digit exponent ("+5.000000e-01").
char* FormatSignedExp6(double value, char* out);
// printf "%.{decimals}f".
char* FormatFixed(double value, int decimals, char* out);
// printf "%.{precision}g" ("%g" is precision 6).
char* FormatGeneral(double value, int precision, char* out);
// printf "%e".
char* FormatExp(double value, char* out);

// The spectrum export's number: NaN as "nan"; |value| > 2147483647 as "%e"; otherwise sign,
// integer digits, a point and exactly p fraction digits (p limited to 0 .. 9), the fraction
// rounded half up except that an exact half rounds up only from an odd or zero last digit.
// Writes at out and returns the position after the text (at most 32 characters).
char* FormatExportNumber(double value, int p, char* out);

// Convenience wrappers returning strings.
std::string SignedExp6(double value);
std::string Fixed(double value, int decimals);
std::string General(double value, int precision);
