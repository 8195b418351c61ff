#pragma once

// What the certificate tests share: a computed record of the sample instrument, and the
// Sakuma-Hattori equation worked out again for them.

#include "samples/computedrecord.h"

#include <cmath>

namespace kelvora::test {

using samples::importComputedRecord;

// The signal of the equation at T, written out here rather than taken from the program.
inline long double signalAt(long double A, long double B, long double C, long double T)
{
    return C / (std::exp(14387.752L / (A * T + B)) - 1.0L);
}

} // namespace kelvora::test
