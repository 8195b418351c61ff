#pragma once

// What the certificate tests share: a computed record of the sample instrument, and the
// Sakuma-Hattori equation worked out again for them.

#include "samples/computedrecord.h"

#include <cmath>
#include <functional>
#include <sstream>
#include <string>

namespace kelvora::test {

using samples::importComputedRecord;

// The signal of the equation at T, written out here rather than taken from the program.
inline long double signalAt(long double A, long double B, long double C, long double T)
{
    return C / (std::exp(14387.752L / (A * T + B)) - 1.0L);
}

// A digest for issuing without the painter's library: the bytes' hash and length in hex.
inline std::string testDigest(const std::string &bytes)
{
    std::ostringstream hex;
    hex << std::hex << std::hash<std::string>{}(bytes) << '-' << bytes.size();
    return hex.str();
}

} // namespace kelvora::test
