#pragma once

// Helpers shared by the tests of the numerical core.

#include "core/errors.h"
#include "core/global.h"

#include <string>

namespace kelvora::test {

inline constexpr const char *DivisionByZero = "Floating point division by zero";
inline constexpr const char *Overflow = "Floating point overflow";
inline constexpr const char *Invalid = "Invalid floating point operation";

// The text of the kelvora::Error that `run` throws, or "" when it returns.
template <typename Run>
std::string ErrorText(Run run)
{
    try {
        run();
    } catch (const Error &e) {
        return e.what();
    }
    return "";
}

inline TParamVector Triple(long double A, long double B, long double C)
{
    TParamVector P;
    P[1] = A;
    P[2] = B;
    P[3] = C;
    return P;
}

// The instrument most tests use: 0.65 µm, B = 0.1 µm·K, C = 3e6.
inline TParamVector Instrument()
{
    return Triple(0.65L, 0.1L, 3e6L);
}

// The InGaAs thermometer of the copper sample: 1.6 µm.
inline TParamVector InGaAs()
{
    return Triple(1.59616L, 2.11990L, 7613.77L);
}

// The reference set of the signals of P at the given temperatures; the temperatures stored
// are the ones P gives back for those signals, offset by deviations[i] (kelvin).
template <typename Temps, typename Deviations>
ReferenceSet PointsOf(const TParamVector &P, const Temps &temps, const Deviations &deviations)
{
    ReferenceSet reference;
    std::size_t i = 0;
    for (long double t : temps) {
        const long double s = SHSignal(P, t);
        reference.append(s, SHTemperature(P, s) + deviations[i]);
        ++i;
    }
    return reference;
}

} // namespace kelvora::test
