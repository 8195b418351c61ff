#pragma once

// The Sakuma-Hattori formulas on a floating-point policy (FastFp or SteppedFp, core/fpe.h),
// for the functions of core/global.h and for callers that read the flags themselves. Each
// formula is evaluated in the order written.

#include "core/global.h"

namespace kelvora::shkernel {

template <typename Fp>
long double Signal(long double A, long double B, long double C, long double T)
{
    const long double x = Fp::div(C2, Fp::add(Fp::mul(A, T), B));
    // exp(x) − 1 rather than a combined function: e is exactly 0 whenever exp(x) rounds to 1.
    const long double e = Fp::sub(Fp::exp(x), 1.0L);
    if (e == 0.0L)
        return NoValue;
    return Fp::div(C, e);
}

template <typename Fp>
long double Temperature(long double A, long double B, long double C, long double S)
{
    const long double L = Fp::mul(A, Fp::log(Fp::add(Fp::div(C, S), 1.0L)));
    if (Fp::mul(A, L) == 0.0L)
        return NoValue;
    return Fp::sub(Fp::div(C2, L), Fp::div(B, A));
}

// A, B, C must be computed after the flags were cleared (FastFp::in for values from
// elsewhere).
template <typename Fp>
long double MeanRMS(const ReferenceSet &reference, long double A, long double B, long double C)
{
    const int n = reference.NPoints;
    long double sum = 0.0L;
    for (int i = 1; i <= n; ++i) {
        const long double d =
            Fp::sub(reference.RefT[i], Temperature<Fp>(A, B, C, reference.RefS[i]));
        sum = Fp::add(sum, Fp::mul(d, d));
    }
    return Fp::mul(1000.0L, Fp::sqrt(Fp::div(sum, static_cast<long double>(n))));
}

template <typename Fp>
long double MeanRMS(const ReferenceSet &reference, const TParamVector &P)
{
    return MeanRMS<Fp>(reference, P[1], P[2], P[3]);
}

} // namespace kelvora::shkernel
