#include "core/numfmt.h"

#include "core/errors.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <vector>

namespace kelvora {

namespace {

// |value| rounded and split into decimal digits: |value| = 0.digits × 10^point. The digits
// carry no trailing zeros; no digits at all means zero.
struct Decimal
{
    bool negative = false;
    std::string digits;
    int point = 0;

    bool isZero() const { return digits.empty(); }
    // The digit at a position counted from the first significant one, '0' beyond the ends.
    char digitAt(int i) const
    {
        return i >= 0 && i < static_cast<int>(digits.size()) ? digits[static_cast<std::size_t>(i)]
                                                             : '0';
    }
};

// Most significant digits any format asks for: the digits an extended value carries.
constexpr int MaxDigits = 18;
constexpr int NoDecimalLimit = INT_MAX;

// Significant digits that write ax > 0 exactly: ax = m·2^shift with m odd.
int exactDigitCount(long double ax)
{
    int e = 0;
    const long double f = std::frexp(ax, &e);
    std::uint64_t m = static_cast<std::uint64_t>(std::ldexp(f, 64));
    const int zeros = std::countr_zero(m);
    m >>= zeros;
    const int shift = e - 64 + zeros;
    if (shift >= 0)
        return static_cast<int>(e * 0.30103) + 2;
    // ax·10^-shift = m·5^-shift is a whole number with these many digits at most.
    return static_cast<int>(std::log10(static_cast<double>(m))) + 1
           + static_cast<int>(-shift * 0.69897) + 2;
}

// The exact decimal digits of ax > 0, at least MaxDigits + 1 of them (zeros padded), and the
// decimal exponent of the first one.
std::string exactDigits(long double ax, int &exponent)
{
    const int count = std::max(exactDigitCount(ax), MaxDigits + 1);
    std::vector<char> buf(static_cast<std::size_t>(count) + 40);
    std::snprintf(buf.data(), buf.size(), "%.*Le", count - 1, ax);
    std::string digits;
    const char *p = buf.data();
    // Whatever the locale's decimal point is, it holds no digit and no 'e'.
    for (; *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            digits += *p;
    }
    exponent = std::atoi(p + 1);
    return digits;
}

// Rounds half away from zero to at most `maxDigits` significant digits and at most `decimals`
// digits after the point.
Decimal roundDecimal(long double value, int maxDigits, int decimals)
{
    Decimal d;
    d.negative = value < 0;
    if (value == 0)
        return d;
    int exponent = 0;
    const std::string exact = exactDigits(std::fabs(value), exponent);
    const long long byPoint = decimals == NoDecimalLimit
                                  ? static_cast<long long>(maxDigits)
                                  : static_cast<long long>(exponent) + 1 + decimals;
    const int keep = static_cast<int>(std::min<long long>(maxDigits, byPoint));
    if (keep < 0)
        return d;
    d.digits = exact.substr(0, static_cast<std::size_t>(keep));
    d.point = exponent + 1;
    if (exact[static_cast<std::size_t>(keep)] >= '5') {
        int i = keep - 1;
        while (i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9')
            d.digits[static_cast<std::size_t>(i--)] = '0';
        if (i >= 0) {
            ++d.digits[static_cast<std::size_t>(i)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.point;
        }
    }
    const std::size_t last = d.digits.find_last_not_of('0');
    d.digits.erase(last == std::string::npos ? 0 : last + 1);
    if (d.digits.empty())
        d.point = 0;
    return d;
}

std::string nonFiniteText(long double value)
{
    if (std::isnan(value))
        return "NAN";
    return value < 0 ? "-INF" : "INF";
}

std::string padLeft(std::string text, int width)
{
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

// Mantissa, "E" and exponent: "1.5E-7", "-2E20".
std::string generalExponentForm(const Decimal &d, char separator)
{
    std::string out = d.negative ? "-" : "";
    out += d.digits[0];
    if (d.digits.size() > 1) {
        out += separator;
        out += d.digits.substr(1);
    }
    const int exponent = d.point - 1;
    out += 'E';
    if (exponent < 0)
        out += '-';
    out += std::to_string(std::abs(exponent));
    return out;
}

// The whole-number digits of d, "0" when there are none.
std::string integerDigits(const Decimal &d)
{
    if (d.point <= 0)
        return "0";
    std::string out;
    for (int i = 0; i < d.point; ++i)
        out += d.digitAt(i);
    return out;
}

// Sign, whole part and exactly `decimals` digits after the separator.
std::string fixedText(const Decimal &d, int decimals, char separator)
{
    std::string out = d.negative ? "-" : "";
    out += integerDigits(d);
    if (decimals > 0) {
        out += separator;
        for (int i = 0; i < decimals; ++i)
            out += d.digitAt(d.point + i);
    }
    return out;
}

// Sign or blank, one digit, full stop, the digits that fit, "E", exponent sign, 4 digits.
std::string scientificText(long double value, int width)
{
    if (!std::isfinite(value))
        return padLeft(nonFiniteText(value), width);
    const int decimals = std::clamp(width - 9, 1, MaxDigits - 1);
    const Decimal d = roundDecimal(value, decimals + 1, NoDecimalLimit);
    std::string out = d.negative ? "-" : " ";
    out += d.digitAt(0);
    out += '.';
    for (int i = 1; i <= decimals; ++i)
        out += d.digitAt(i);
    const int exponent = d.isZero() ? 0 : d.point - 1;
    char tail[16];
    std::snprintf(tail, sizeof tail, "E%c%04d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return padLeft(out + tail, width);
}

// A display pattern taken apart: literal text around the number, digit places and exponent.
struct Pattern
{
    std::string prefix;
    std::string beforeExponent;
    std::string suffix;
    int integerPlaces = 0;
    int minIntegerDigits = 0;
    int fractionPlaces = 0;
    int minFractionDigits = 0;
    bool scientific = false;
    char exponentLetter = 'E';
    bool exponentPlus = false;
    int exponentDigits = 0;
};

Pattern parsePattern(const std::string &text)
{
    Pattern p;
    bool inNumber = false;
    bool afterPoint = false;
    std::string literal;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool exponentStart = (c == 'E' || c == 'e') && i + 1 < text.size()
                                   && (text[i + 1] == '+' || text[i + 1] == '-');
        if ((c == '0' || c == '#') && !p.scientific) {
            if (!inNumber) {
                p.prefix = literal;
                literal.clear();
            }
            inNumber = true;
            if (afterPoint) {
                ++p.fractionPlaces;
                if (c == '0')
                    p.minFractionDigits = p.fractionPlaces;
            } else {
                ++p.integerPlaces;
                if (c == '0' && p.minIntegerDigits == 0)
                    p.minIntegerDigits = 1;
                else if (p.minIntegerDigits > 0)
                    ++p.minIntegerDigits;
            }
        } else if (c == '.' && !afterPoint && !p.scientific) {
            if (!inNumber) {
                p.prefix = literal;
                literal.clear();
            }
            inNumber = true;
            afterPoint = true;
        } else if (exponentStart && inNumber && !p.scientific) {
            p.scientific = true;
            p.exponentLetter = c;
            p.exponentPlus = text[++i] == '+';
            while (i + 1 < text.size() && text[i + 1] == '0') {
                ++i;
                p.exponentDigits = std::min(p.exponentDigits + 1, 4);
            }
            p.beforeExponent = literal;
            literal.clear();
        } else {
            literal += c;
        }
    }
    if (inNumber)
        p.suffix = literal;
    else
        p.prefix = literal;
    return p;
}

// The fraction digits of d from `first` on, trailing zeros dropped down to the minimum.
std::string patternFraction(const Decimal &d, int first, const Pattern &p)
{
    std::string fraction;
    for (int i = 0; i < p.fractionPlaces; ++i)
        fraction += d.digitAt(first + i);
    while (static_cast<int>(fraction.size()) > p.minFractionDigits && fraction.back() == '0')
        fraction.pop_back();
    return fraction;
}

} // namespace

std::string formatGeneral(long double value, int digits, char decimalSeparator)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    digits = std::clamp(digits, 1, MaxDigits);
    const Decimal d = roundDecimal(value, digits, NoDecimalLimit);
    if (d.isZero())
        return "0";
    if (d.point > digits || d.point < -3)
        return generalExponentForm(d, decimalSeparator);
    std::string out = d.negative ? "-" : "";
    out += integerDigits(d);
    const int decimals = static_cast<int>(d.digits.size()) - d.point;
    if (decimals > 0) {
        out += decimalSeparator;
        for (int i = 0; i < decimals; ++i)
            out += d.digitAt(d.point + i);
    }
    return out;
}

std::string formatFixed(long double value, int precision, int decimals, char decimalSeparator)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    precision = std::clamp(precision, 1, MaxDigits);
    decimals = std::clamp(decimals, 0, MaxDigits);
    const Decimal d = roundDecimal(value, precision, decimals);
    if (d.point > precision)
        return generalExponentForm(d, decimalSeparator);
    return fixedText(d, decimals, decimalSeparator);
}

std::string formatScientific(long double value)
{
    return scientificText(value, 23);
}

std::string formatWidth(long double value, int width, int decimals)
{
    if (!std::isfinite(value) || std::fabs(value) >= 1e36L)
        return scientificText(value, width);
    decimals = std::max(decimals, 0);
    return padLeft(fixedText(roundDecimal(value, MaxDigits, decimals), decimals, '.'), width);
}

std::string formatPattern(double value, const std::string &pattern, char decimalSeparator)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    const Pattern p = parsePattern(pattern);
    std::string number;
    if (p.scientific) {
        const int places = std::clamp(p.integerPlaces + p.fractionPlaces, 1, MaxDigits);
        const Decimal d = roundDecimal(value, places, NoDecimalLimit);
        for (int i = 0; i < p.integerPlaces; ++i)
            number += d.digitAt(i);
        const std::string fraction = patternFraction(d, p.integerPlaces, p);
        if (!fraction.empty())
            number += decimalSeparator + fraction;
        const int exponent = d.isZero() ? 0 : d.point - p.integerPlaces;
        std::string digits = std::to_string(std::abs(exponent));
        if (static_cast<int>(digits.size()) < p.exponentDigits)
            digits.insert(0, static_cast<std::size_t>(p.exponentDigits) - digits.size(), '0');
        number += p.beforeExponent + p.exponentLetter;
        if (exponent < 0)
            number += '-';
        else if (p.exponentPlus)
            number += '+';
        number += digits;
        if (d.negative)
            number = '-' + number;
    } else {
        const Decimal d = roundDecimal(value, 15, p.fractionPlaces);
        std::string whole = d.point > 0 ? integerDigits(d) : "";
        if (static_cast<int>(whole.size()) < p.minIntegerDigits)
            whole.insert(0, static_cast<std::size_t>(p.minIntegerDigits) - whole.size(), '0');
        const std::string fraction = patternFraction(d, d.point, p);
        number = whole;
        if (!fraction.empty())
            number += decimalSeparator + fraction;
        // A value that rounds to nothing shows no sign: axis ticks near zero read "0".
        if (value < 0 && !d.isZero())
            number = '-' + number;
    }
    return p.prefix + number + p.suffix;
}

bool parseDecimal(std::string_view text, long double &value)
{
    std::size_t i = 0;
    auto digitRun = [&] {
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i - start;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t mantissaDigits = digitRun();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissaDigits += digitRun();
    }
    if (mantissaDigits == 0)
        return false;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digitRun() == 0)
            return false;
    }
    if (i != text.size())
        return false;

    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
    const std::string copy(text);
    errno = 0;
    const long double result = strtold_l(copy.c_str(), nullptr, cLocale);
    if (errno == ERANGE && std::isinf(result))
        return false;
    value = result;
    return true;
}

namespace {

// The text without the blanks and control characters around it.
std::string trimmed(const std::string &text)
{
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    const auto first = std::find_if_not(text.begin(), text.end(), isBlank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), isBlank).base();
    return first < last ? std::string(first, last) : std::string();
}

} // namespace

long double parseFloat(const std::string &text, char decimalSeparator)
{
    std::string number = trimmed(text);
    const bool valid = decimalSeparator == '.' || number.find('.') == std::string::npos;
    std::replace(number.begin(), number.end(), decimalSeparator, '.');
    long double value = 0;
    if (!valid || !parseDecimal(number, value))
        throw ConvertError("'" + text + "' is not a valid floating point value");
    return value;
}

std::int64_t parseInt64(const std::string &text)
{
    const std::string number = trimmed(text);
    const char *first = number.data();
    const char *last = first + number.size();
    if (first != last && *first == '+' && first + 1 != last && first[1] != '-')
        ++first;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (number.empty() || error != std::errc() || end != last)
        throw ConvertError("'" + text + "' is not a valid integer value");
    return value;
}

int parseInt(const std::string &text)
{
    const std::int64_t value = parseInt64(text);
    if (value < INT_MIN || value > INT_MAX)
        throw ConvertError("'" + text + "' is not a valid integer value");
    return static_cast<int>(value);
}

} // namespace kelvora
