#pragma once

// The uncertainty of a temperature interpolated with a fitted Sakuma-Hattori triple,
// propagated from the reference points through the unweighted least-squares fit (the
// sensitivity method): the fit's Jacobian J at the reference signals and the row g(S) of the
// same derivatives at a signal give the sensitivity of T(S) to each reference temperature,
// c_i(S) = g(S)ᵀ (JᵀJ)⁻¹ J_iᵀ. Every value in kelvin unless said otherwise.

#include "core/global.h"

#include <optional>
#include <string>
#include <vector>

namespace kelvora {

// T(S; A, B, C) and its derivatives with respect to A, B, C and S.
struct TemperatureDerivatives
{
    long double T = 0.0L;
    long double dA = 0.0L; // −T / A
    long double dB = 0.0L; // −1 / A
    long double dC = 0.0L; // −C2 / (A·L²·(C + S)), L = ln(C/S + 1)
    long double dS = 0.0L; // C2·C / (A·L²·S·(C + S))
};

// A floating-point fault (S = 0, C/S + 1 not positive, A = 0) raises its FloatError.
TemperatureDerivatives SHTemperatureDerivatives(const TParamVector &P, long double S);

// A reference point of the fit with its temperature's standard uncertainty, if given.
struct UncertainPoint
{
    long double S = 0.0L;
    long double T = 0.0L;
    std::optional<long double> u; // kelvin
};

// What the propagation gives at one signal. A value is absent when its inputs are: u_ref,
// u_c and U need u(T_i) of every reference point, u_fit more than three points.
struct InterpolatedUncertainty
{
    long double S = 0.0L;
    long double T = 0.0L;
    std::optional<long double> uRef; // from the reference points' uncertainties
    long double uSig = 0.0L;         // from the relative uncertainty w of the signal
    std::optional<long double> uC;   // √(u_ref² + u_sig²)
    std::optional<long double> U;    // 2·u_c (k = 2, about 95 %)
    std::optional<long double> uFit; // from the scatter of the residuals; beside u_ref
};

// The Birge ratio above which the points' stated uncertainties do not explain the scatter of
// the fit.
inline constexpr long double BirgeRatioLimit = 2.0L;

// The text a user reads beside a Birge ratio: the ratio, and above BirgeRatioLimit what it
// means. `decimalSeparator` writes the number.
std::string BirgeRatioRemark(long double ratio, char decimalSeparator = '.');
// The same in one short line, for a status line.
std::string BirgeRatioShortRemark(long double ratio, char decimalSeparator = '.');

// The linearised propagation at a fitted triple. The least-squares problem is solved by a
// Householder QR decomposition of the column-scaled Jacobian in extended precision, so that
// the strongly correlated A and B lose no more digits than the problem itself costs; all
// that is left per signal is 3×3 work.
class UncertaintyPropagation
{
public:
    // `P`: the fitted A, B, C; `points`: 3 to 20 reference points. Fewer or more raise
    // RangeError; points that do not fix the three parameters (a Jacobian of lower rank, as
    // with repeated signals) raise Error NotDeterminedText; a floating-point fault raises its
    // FloatError.
    UncertaintyPropagation(const TParamVector &P, const std::vector<UncertainPoint> &points);

    int pointCount() const { return m_n; }
    // True when every reference point has u(T_i).
    bool hasPointUncertainties() const { return m_complete; }
    // s = √(Σ r_i² / (N − 3)), r_i = T_i − T(S_i); absent for three points.
    std::optional<long double> residualStandardDeviation() const { return m_s; }
    // R_B = √(Σ (r_i / u(T_i))² / (N − 3)); absent for three points or without every u(T_i).
    std::optional<long double> birgeRatio() const { return m_birge; }

    // c_i(S), i = 1..N in point order.
    std::vector<long double> sensitivities(long double S) const;
    // Every figure at S, the signal's relative standard uncertainty being w.
    InterpolatedUncertainty at(long double S, long double w) const;

private:
    template <typename Fp>
    InterpolatedUncertainty evaluate(long double S, long double w) const;
    // h = R⁻ᵀ·D·g(S), so that c_i(S) = h·Q_i and g(JᵀJ)⁻¹gᵀ = |h|².
    template <typename Fp>
    void solveForRow(const TemperatureDerivatives &d, long double h[3]) const;

    TParamVector m_P;
    int m_n = 0;
    bool m_complete = false;
    // Q (N × 3, orthonormal columns) and R (3 × 3, upper) of J·D, D the column scaling.
    long double m_Q[MaxPoints][3] = {};
    long double m_R[3][3] = {};
    long double m_D[3] = {};
    // Qᵀ·diag(u²)·Q: u_ref(S)² = hᵀ·W·h.
    long double m_W[3][3] = {};
    std::optional<long double> m_s;
    std::optional<long double> m_birge;
};

// The refusal of reference points that do not fix A, B and C.
inline constexpr const char *NotDeterminedText =
    "The reference points do not determine A, B and C: no uncertainty can be given";

} // namespace kelvora
