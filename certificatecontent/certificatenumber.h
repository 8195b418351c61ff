#pragma once

#include "core/datetime.h"

#include <cstddef>
#include <string>

namespace kelvora {

// Certificate numbers made from a pattern such as "KV-{yyyy}-{nnnn}": {yyyy} is the year of
// issue, {yy} its last two digits, {mm} the month and {dd} the day, each with leading zeros;
// {n}, {nn}, ... up to nine n the counter with at least that many digits. Everything else is
// written as it stands.

// The longest pattern: its numbers fit the record's field.
inline constexpr std::size_t MaxNumberPatternLength = 60;

// Why the pattern cannot make numbers (no counter or two, an unknown field, a brace left
// open, more than MaxNumberPatternLength characters), or empty.
std::string NumberPatternRefusal(const std::string &pattern);

// True when the pattern writes the year: its counter then starts again in a new year.
bool NumberPatternHasYear(const std::string &pattern);

// The number of that counter issued on that date; the pattern must be usable.
std::string CertificateNumberOf(const std::string &pattern, int counter, DateTime issued);

} // namespace kelvora
