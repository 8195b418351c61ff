#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvora {

// Every format rounds the exact value of its argument to nearest, halves away from zero
// (0.125 to two decimals is 0.13). A negative value that rounds to zero keeps its minus sign
// in the fixed forms ("-0.0000"), not in a display pattern.

// General format: the value rounded to `digits` significant digits, trailing zeros dropped,
// plain notation for magnitudes from 0.0001 up to below 10^digits, otherwise mantissa, "E"
// and exponent ("-" only when negative, no leading zeros): 0.65, 1.5E-7, 2E20.
std::string formatGeneral(long double value, int digits = 15, char decimalSeparator = '.');

// Fixed format: rounded to at most `precision` significant digits and written with exactly
// `decimals` digits after the separator; a value with more than `precision` digits before the
// separator is written in the general scientific form instead.
std::string formatFixed(long double value, int precision, int decimals,
                        char decimalSeparator = '.');

// The 23-character scientific form of the text files: sign blank or "-", one digit, ".",
// 14 digits, "E", exponent sign, 4 exponent digits (" 2.40000000000000E-0003").
std::string formatScientific(long double value);

// "w:d": `decimals` digits after a full stop, right-aligned in `width` characters; a value too
// wide widens the field; from 10^36 on the scientific form with the digits that fit.
std::string formatWidth(long double value, int width, int decimals);

// A display pattern of the record fields and chart axes: "0" a mandatory digit, "#" an
// optional digit, "." the decimal separator, "e-00" an exponent ("0.0####", "0.0000",
// "###0.####", "0.0##### e-00").
std::string formatPattern(double value, const std::string &pattern, char decimalSeparator = '.');

// Converts text of the form [sign] digits [. digits] [E|e [sign] digits] (".5" and "5." too,
// full stop as decimal point, nothing else around it) to the nearest long double, whatever the
// process locale. False when the text is not of that form or overflows.
bool parseDecimal(std::string_view text, long double &value);

// Parses a number written with `decimalSeparator` (blanks around it allowed); anything else
// raises ConvertError "'<text>' is not a valid floating point value".
long double parseFloat(const std::string &text, char decimalSeparator = '.');
// Parses a whole number within the range of int (blanks around it allowed); anything else
// raises ConvertError "'<text>' is not a valid integer value".
int parseInt(const std::string &text);
// The same for a whole number of 64 bits.
std::int64_t parseInt64(const std::string &text);

} // namespace kelvora
