#include "certificatecontent/certificatenumber.h"

#include <functional>

namespace kelvora {

namespace {

constexpr int MaxCounterDigits = 9;

std::string padded(long long value, std::size_t digits)
{
    std::string text = std::to_string(value);
    if (text.size() < digits)
        text.insert(0, digits - text.size(), '0');
    return text;
}

bool isCounter(const std::string &field)
{
    return !field.empty() && field.size() <= MaxCounterDigits
           && field.find_first_not_of('n') == std::string::npos;
}

bool isDate(const std::string &field)
{
    return field == "yyyy" || field == "yy" || field == "mm" || field == "dd";
}

// Calls `literal` with every run of plain text and `field` with every field's name, in order;
// stops with the refusal of a brace left open.
using TextVisit = std::function<void(const std::string &)>;
std::string walk(const std::string &pattern, const TextVisit &literal, const TextVisit &field)
{
    std::size_t at = 0;
    while (at < pattern.size()) {
        const std::size_t open = pattern.find('{', at);
        if (open == std::string::npos) {
            literal(pattern.substr(at));
            break;
        }
        literal(pattern.substr(at, open - at));
        const std::size_t close = pattern.find('}', open);
        if (close == std::string::npos)
            return "The certificate-number pattern leaves a brace open: " + pattern;
        field(pattern.substr(open + 1, close - open - 1));
        at = close + 1;
    }
    return {};
}

} // namespace

std::string NumberPatternRefusal(const std::string &pattern)
{
    if (pattern.size() > MaxNumberPatternLength)
        return "The certificate-number pattern is longer than "
               + std::to_string(MaxNumberPatternLength) + " characters";
    int counters = 0;
    std::string unknown;
    const std::string open = walk(
        pattern, [](const std::string &) {},
        [&](const std::string &field) {
            if (isCounter(field))
                ++counters;
            else if (!isDate(field) && unknown.empty())
                unknown = field;
        });
    if (!open.empty())
        return open;
    if (!unknown.empty())
        return "The certificate-number pattern holds the unknown field {" + unknown + "}";
    if (counters != 1)
        return "The certificate-number pattern must hold the counter once: {n}, with one n"
               " per digit, such as {nnnn}";
    return {};
}

bool NumberPatternHasYear(const std::string &pattern)
{
    bool year = false;
    walk(pattern, [](const std::string &) {},
         [&](const std::string &field) { year = year || field == "yyyy" || field == "yy"; });
    return year;
}

std::string CertificateNumberOf(const std::string &pattern, int counter, DateTime issued)
{
    const CivilTime date = toCivil(issued);
    std::string number;
    walk(pattern, [&](const std::string &text) { number += text; },
         [&](const std::string &field) {
             if (field == "yyyy")
                 number += padded(date.year, 4);
             else if (field == "yy")
                 number += padded(date.year % 100, 2);
             else if (field == "mm")
                 number += padded(date.month, 2);
             else if (field == "dd")
                 number += padded(date.day, 2);
             else
                 number += padded(counter, field.size());
         });
    return number;
}

} // namespace kelvora
