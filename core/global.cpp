#include "core/global.h"

#include "core/fpe.h"
#include "core/shkernel.h"

namespace kelvora {

void ReferenceSet::append(long double S, long double T)
{
    if (NPoints < 0 || NPoints >= MaxPoints)
        throw RangeError();
    ++NPoints;
    RefS[NPoints] = S;
    RefT[NPoints] = T;
}

long double SHSignal(const TParamVector &P, long double T)
{
    return FpGuarded(
        [&] {
            return shkernel::Signal<FastFp>(P[1], P[2], P[3], FastFp::in(T));
        },
        [&] { return shkernel::Signal<SteppedFp>(P[1], P[2], P[3], T); });
}

long double SHTemperature(const TParamVector &P, long double S)
{
    return FpGuarded(
        [&] {
            return shkernel::Temperature<FastFp>(P[1], P[2], P[3], FastFp::in(S));
        },
        [&] { return shkernel::Temperature<SteppedFp>(P[1], P[2], P[3], S); });
}

void SaundersWhiteGuess(long double Lambda, long double Bandwidth, const ReferenceSet &reference,
                        long double &A, long double &B, long double &C)
{
    using F = SteppedFp;
    ClearFpFaults();
    const long double ratio = F::div(Bandwidth, Lambda);
    const long double a = F::mul(Lambda, F::sub(1.0L, F::mul(0.5L, F::mul(ratio, ratio))));
    A = a;
    const long double b = F::div(F::div(F::mul(F::mul(Bandwidth, Bandwidth), C2), 24.0L),
                                 F::mul(Lambda, Lambda));
    B = b;
    const int n = reference.NPoints;
    long double sum = 0.0L;
    for (int i = 1; i <= n; ++i) {
        const long double x = F::div(C2, F::add(F::mul(a, reference.RefT[i]), b));
        sum = F::add(sum, F::mul(reference.RefS[i], F::sub(F::exp(x), 1.0L)));
    }
    C = F::div(sum, static_cast<long double>(n));
}

long double MeanRMSmK(const TParamVector &P, const ReferenceSet &reference)
{
    return FpGuarded([&] { return shkernel::MeanRMS<FastFp>(reference, P); },
                     [&] { return shkernel::MeanRMS<SteppedFp>(reference, P); });
}

} // namespace kelvora
