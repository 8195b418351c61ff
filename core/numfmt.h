#pragma once

#include <string>

namespace kelvora {

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

// Parses a number written with `decimalSeparator` (blanks around it allowed); anything else
// raises ConvertError "'<text>' is not a valid floating point value".
long double parseFloat(const std::string &text, char decimalSeparator = '.');
// Parses a whole number; anything else raises ConvertError "'<text>' is not a valid integer
// value".
int parseInt(const std::string &text);

} // namespace kelvora
