#pragma once

#include "core/errors.h"

#include <array>
#include <cstdint>

namespace kelvora {

// Second radiation constant, µm·K.
inline constexpr long double C2 = 14387.752L;
// "No result": also the start value of every minimum search, and negated of every maximum search.
inline constexpr long double NoValue = 1.1e4932L;
inline constexpr int MaxPoints = 20;
inline constexpr int MaxParams = 10;

// A fixed array indexed from 1; an index outside 1..N raises "Range check error".
template <typename T, int N>
class IndexedArray
{
public:
    static constexpr int size = N;

    T &operator[](int i)
    {
        if (i < 1 || i > N)
            throw RangeError();
        return m_values[static_cast<std::size_t>(i - 1)];
    }
    const T &operator[](int i) const
    {
        if (i < 1 || i > N)
            throw RangeError();
        return m_values[static_cast<std::size_t>(i - 1)];
    }
    void fill(const T &value) { m_values.fill(value); }
    bool operator==(const IndexedArray &) const = default;

private:
    std::array<T, N> m_values{};
};

using TPointArray = IndexedArray<long double, MaxPoints>;
// Elements 1, 2, 3 hold A, B, C; 4..10 are spare.
using TParamVector = IndexedArray<long double, MaxParams>;

// The reference set: the reference points (RefS[i], RefT[i]), i = 1..NPoints, of the record
// being fitted, in the order of its reference-point table. A value: every computation is given
// the set it works on.
struct ReferenceSet
{
    int NPoints = 0;
    TPointArray RefS;  // signals
    TPointArray RefT;  // temperatures, kelvin

    // Appends the point (S, T); a set of MaxPoints points raises RangeError.
    void append(long double S, long double T);

    bool operator==(const ReferenceSet &) const = default;
};

// S(T) = C / (exp(C2 / (A·T + B)) − 1), or NoValue when exp(x) − 1 is exactly zero.
long double SHSignal(const TParamVector &P, long double T);
// The inverse, T(S) = C2 / (A·ln(C/S + 1)) − B/A, or NoValue when A·ln(C/S + 1)·A is zero.
long double SHTemperature(const TParamVector &P, long double S);
// Saunders-White estimate of A, B, C for a rectangular band, C averaged over the reference set.
void SaundersWhiteGuess(long double Lambda, long double Bandwidth, const ReferenceSet &reference,
                        long double &A, long double &B, long double &C);
// Mean RMS deviation of T(Si) from Ti over the reference set, in millikelvin.
long double MeanRMSmK(const TParamVector &P, const ReferenceSet &reference);

} // namespace kelvora
