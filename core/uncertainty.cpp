#include "core/uncertainty.h"

#include "core/fpe.h"
#include "core/numfmt.h"

#include <cmath>

namespace kelvora {

namespace {

// A diagonal element of R below this (the columns of J·D have unit length) leaves a
// parameter undetermined: the points then fix it to fewer than about seven digits.
constexpr long double RankTolerance = 1e-12L;

template <typename Fp>
TemperatureDerivatives derivatives(long double A, long double B, long double C, long double S)
{
    TemperatureDerivatives d;
    const long double L = Fp::log(Fp::add(Fp::div(C, S), 1.0L));
    const long double AL = Fp::mul(A, L);
    // As SHTemperature evaluates it.
    d.T = Fp::sub(Fp::div(C2, AL), Fp::div(B, A));
    d.dA = Fp::div(-d.T, A);
    d.dB = Fp::div(-1.0L, A);
    const long double k = Fp::div(C2, Fp::mul(Fp::mul(AL, L), Fp::add(C, S)));
    d.dC = -k;
    d.dS = Fp::div(Fp::mul(k, C), S);
    return d;
}

TemperatureDerivatives guardedDerivatives(const TParamVector &P, long double S)
{
    return FpGuarded(
        [&] { return derivatives<FastFp>(P[1], P[2], P[3], FastFp::in(S)); },
        [&] { return derivatives<SteppedFp>(P[1], P[2], P[3], S); });
}

} // namespace

TemperatureDerivatives SHTemperatureDerivatives(const TParamVector &P, long double S)
{
    return guardedDerivatives(P, S);
}

std::string BirgeRatioRemark(long double ratio, char decimalSeparator)
{
    std::string text = "Birge ratio R_B = " + formatFixed(ratio, 15, 2, decimalSeparator);
    if (ratio > BirgeRatioLimit)
        text += ": the reference points scatter about the fit more than their stated "
                "uncertainties u(T) explain, so U is probably too small. Check the "
                "uncertainties of the reference points, or the points themselves.";
    return text;
}

std::string BirgeRatioShortRemark(long double ratio, char decimalSeparator)
{
    std::string text = "R_B = " + formatFixed(ratio, 15, 2, decimalSeparator);
    if (ratio > BirgeRatioLimit)
        text += " > " + std::to_string(static_cast<int>(BirgeRatioLimit))
                + ": U is probably too small";
    return text;
}

UncertaintyPropagation::UncertaintyPropagation(const TParamVector &P,
                                               const std::vector<UncertainPoint> &points)
    : m_P(P)
{
    if (points.size() < 3 || points.size() > static_cast<std::size_t>(MaxPoints))
        throw RangeError();
    m_n = static_cast<int>(points.size());
    const int n = m_n;
    using F = SteppedFp;
    ClearFpFaults();

    // The Jacobian, the residuals and the column lengths.
    long double J[MaxPoints][3];
    long double residuals[MaxPoints];
    long double norms[3] = {0.0L, 0.0L, 0.0L};
    m_complete = true;
    for (int i = 0; i < n; ++i) {
        const UncertainPoint &point = points[static_cast<std::size_t>(i)];
        const TemperatureDerivatives d = guardedDerivatives(P, point.S);
        J[i][0] = d.dA;
        J[i][1] = d.dB;
        J[i][2] = d.dC;
        residuals[i] = F::sub(point.T, d.T);
        for (int j = 0; j < 3; ++j)
            norms[j] = F::add(norms[j], F::mul(J[i][j], J[i][j]));
        if (!point.u)
            m_complete = false;
    }
    for (int j = 0; j < 3; ++j) {
        if (!(norms[j] > 0.0L))
            throw Error(NotDeterminedText);
        m_D[j] = F::div(1.0L, F::sqrt(norms[j]));
        for (int i = 0; i < n; ++i)
            J[i][j] = F::mul(J[i][j], m_D[j]);
    }

    // Householder QR of the scaled Jacobian: reflector k, v = x − α·e_k, zeroes column k
    // below the diagonal. The reflectors are kept to build the thin Q afterwards.
    long double V[3][MaxPoints] = {};
    long double vNorm2[3] = {};
    for (int k = 0; k < 3; ++k) {
        long double sum = 0.0L;
        for (int i = k; i < n; ++i)
            sum = F::add(sum, F::mul(J[i][k], J[i][k]));
        const long double length = F::sqrt(sum);
        const long double alpha = J[k][k] > 0.0L ? -length : length;
        for (int i = k; i < n; ++i)
            V[k][i] = J[i][k];
        V[k][k] = F::sub(V[k][k], alpha);
        vNorm2[k] = 0.0L;
        for (int i = k; i < n; ++i)
            vNorm2[k] = F::add(vNorm2[k], F::mul(V[k][i], V[k][i]));
        for (int j = k; j < 3; ++j) {
            if (!(vNorm2[k] > 0.0L))
                break;
            long double dot = 0.0L;
            for (int i = k; i < n; ++i)
                dot = F::add(dot, F::mul(V[k][i], J[i][j]));
            const long double f = F::div(F::mul(2.0L, dot), vNorm2[k]);
            for (int i = k; i < n; ++i)
                J[i][j] = F::sub(J[i][j], F::mul(f, V[k][i]));
        }
    }
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            m_R[r][c] = c >= r ? J[r][c] : 0.0L;
    }
    for (int k = 0; k < 3; ++k) {
        if (!(std::fabs(m_R[k][k]) > RankTolerance))
            throw Error(NotDeterminedText);
    }

    // Q = H_1·H_2·H_3 applied to the first three columns of the identity.
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < 3; ++c)
            m_Q[i][c] = i == c ? 1.0L : 0.0L;
    }
    for (int k = 2; k >= 0; --k) {
        if (!(vNorm2[k] > 0.0L))
            continue;
        for (int c = 0; c < 3; ++c) {
            long double dot = 0.0L;
            for (int i = k; i < n; ++i)
                dot = F::add(dot, F::mul(V[k][i], m_Q[i][c]));
            const long double f = F::div(F::mul(2.0L, dot), vNorm2[k]);
            for (int i = k; i < n; ++i)
                m_Q[i][c] = F::sub(m_Q[i][c], F::mul(f, V[k][i]));
        }
    }

    if (m_complete) {
        for (int a = 0; a < 3; ++a) {
            for (int b = 0; b < 3; ++b) {
                long double sum = 0.0L;
                for (int i = 0; i < n; ++i) {
                    const long double u = *points[static_cast<std::size_t>(i)].u;
                    sum = F::add(sum, F::mul(F::mul(m_Q[i][a], m_Q[i][b]), F::mul(u, u)));
                }
                m_W[a][b] = sum;
            }
        }
    }

    if (n > 3) {
        const auto freedom = static_cast<long double>(n - 3);
        long double squares = 0.0L;
        long double normalised = 0.0L;
        for (int i = 0; i < n; ++i) {
            squares = F::add(squares, F::mul(residuals[i], residuals[i]));
            if (m_complete) {
                const long double z = F::div(residuals[i], *points[static_cast<std::size_t>(i)].u);
                normalised = F::add(normalised, F::mul(z, z));
            }
        }
        m_s = F::sqrt(F::div(squares, freedom));
        if (m_complete)
            m_birge = F::sqrt(F::div(normalised, freedom));
    }
}

template <typename Fp>
void UncertaintyPropagation::solveForRow(const TemperatureDerivatives &d, long double h[3]) const
{
    // Rᵀ·h = D·g, forward substitution (Rᵀ is lower triangular).
    const long double g[3] = {Fp::mul(d.dA, m_D[0]), Fp::mul(d.dB, m_D[1]),
                              Fp::mul(d.dC, m_D[2])};
    for (int k = 0; k < 3; ++k) {
        long double t = g[k];
        for (int j = 0; j < k; ++j)
            t = Fp::sub(t, Fp::mul(m_R[j][k], h[j]));
        h[k] = Fp::div(t, m_R[k][k]);
    }
}

std::vector<long double> UncertaintyPropagation::sensitivities(long double S) const
{
    const TemperatureDerivatives d = guardedDerivatives(m_P, S);
    long double h[3];
    using F = SteppedFp;
    ClearFpFaults();
    solveForRow<F>(d, h);
    std::vector<long double> c(static_cast<std::size_t>(m_n));
    for (int i = 0; i < m_n; ++i) {
        long double sum = 0.0L;
        for (int k = 0; k < 3; ++k)
            sum = F::add(sum, F::mul(h[k], m_Q[i][k]));
        c[static_cast<std::size_t>(i)] = sum;
    }
    return c;
}

template <typename Fp>
InterpolatedUncertainty UncertaintyPropagation::evaluate(long double S, long double w) const
{
    const TemperatureDerivatives d = derivatives<Fp>(m_P[1], m_P[2], m_P[3], S);
    long double h[3];
    solveForRow<Fp>(d, h);

    InterpolatedUncertainty out;
    out.S = S;
    out.T = d.T;
    out.uSig = std::fabs(Fp::mul(Fp::mul(d.dS, S), w));
    if (m_s) {
        long double hh = 0.0L;
        for (int k = 0; k < 3; ++k)
            hh = Fp::add(hh, Fp::mul(h[k], h[k]));
        out.uFit = Fp::mul(*m_s, Fp::sqrt(hh));
    }
    if (m_complete) {
        long double q = 0.0L;
        for (int a = 0; a < 3; ++a) {
            long double row = 0.0L;
            for (int b = 0; b < 3; ++b)
                row = Fp::add(row, Fp::mul(m_W[a][b], h[b]));
            q = Fp::add(q, Fp::mul(h[a], row));
        }
        // W is positive semidefinite; rounding may leave a zero form a hair below zero.
        out.uRef = Fp::sqrt(q > 0.0L ? q : 0.0L);
        out.uC = Fp::sqrt(Fp::add(Fp::mul(*out.uRef, *out.uRef), Fp::mul(out.uSig, out.uSig)));
        out.U = Fp::mul(2.0L, *out.uC);
    }
    return out;
}

InterpolatedUncertainty UncertaintyPropagation::at(long double S, long double w) const
{
    return FpGuarded([&] { return evaluate<FastFp>(FastFp::in(S), FastFp::in(w)); },
                     [&] { return evaluate<SteppedFp>(S, w); });
}

} // namespace kelvora
