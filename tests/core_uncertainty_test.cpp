// The uncertainty of an interpolated temperature: derivatives, sensitivities, the figures
// propagated from the reference points and the signal, the scatter of the fit and the Birge
// ratio.

#include "core/uncertainty.h"

#include "casename.h"
#include "core_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <string>
#include <vector>

namespace {

using namespace kelvora;
using namespace kelvora::test;
using testcase::CaseName;
using testcase::PrintTo;

// Points exactly on the curve of P at the temperatures, u(T_i) = u[i] kelvin when given.
std::vector<UncertainPoint> PointsOn(const TParamVector &P, const std::vector<long double> &temps,
                                     const std::vector<long double> &u = {})
{
    std::vector<UncertainPoint> points;
    for (std::size_t i = 0; i < temps.size(); ++i) {
        UncertainPoint point;
        point.S = SHSignal(P, temps[i]);
        point.T = SHTemperature(P, point.S);
        if (i < u.size())
            point.u = u[i];
        points.push_back(point);
    }
    return points;
}

std::vector<long double> Spread(long double low, long double high, int n)
{
    std::vector<long double> temps;
    for (int i = 0; i < n; ++i)
        temps.push_back(low + (high - low) * i / (n - 1));
    return temps;
}

struct FitCase
{
    const char *name;
    TParamVector P;
    std::vector<long double> temps;
};

const FitCase FitCases[] = {
    {"ThreePoints", Instrument(), {1235.0L, 1358.0L, 1500.0L}},
    {"CopperPoints", InGaAs(), {429.7485L, 505.078L, 692.677L, 933.473L, 1234.93L, 1337.33L,
                                1357.77L}},
    {"TwentyPoints", Instrument(), Spread(900.0L, 2800.0L, 20)},
    {"NarrowRange", Instrument(), Spread(1000.0L, 1010.0L, 5)},
};

class Sensitivities : public testing::TestWithParam<FitCase>
{
};

// A shift δ of every reference temperature shifts every interpolated temperature by δ: the
// fit takes it up in B exactly, inside the reference range and far outside it.
TEST_P(Sensitivities, SumToOneAtEverySignal)
{
    const FitCase &c = GetParam();
    const UncertaintyPropagation propagation(c.P, PointsOn(c.P, c.temps));
    const long double low = c.temps.front();
    const long double high = c.temps.back();
    for (const long double t : {low / 2, low, (low + high) / 2, high,
                                high + (high - low), 3 * high}) {
        const std::vector<long double> s = propagation.sensitivities(SHSignal(c.P, t));
        ASSERT_EQ(s.size(), c.temps.size());
        const long double sum = std::accumulate(s.begin(), s.end(), 0.0L);
        EXPECT_NEAR(sum, 1.0L, 1e-12L) << "T = " << static_cast<double>(t);
    }
}

// The hat matrix of the fit: c_i(S_j) = c_j(S_i), and its trace is the number of
// parameters, so that the scatter's uncertainty summed over the points is 3·s².
TEST_P(Sensitivities, FormTheSymmetricHatMatrixOfTheFit)
{
    const FitCase &c = GetParam();
    std::vector<UncertainPoint> points = PointsOn(c.P, c.temps);
    // A scatter, so that u_fit exists where there are more than three points.
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i].T += (i % 2 == 0 ? 1.0L : -1.0L) * 0.01L;
    const UncertaintyPropagation propagation(c.P, points);
    const std::size_t n = points.size();
    long double trace = 0.0L;
    long double fitSquares = 0.0L;
    for (std::size_t j = 0; j < n; ++j) {
        const std::vector<long double> row = propagation.sensitivities(points[j].S);
        for (std::size_t i = 0; i < n; ++i) {
            const std::vector<long double> column = propagation.sensitivities(points[i].S);
            EXPECT_NEAR(row[i], column[j], 1e-12L) << i << ", " << j;
        }
        trace += row[j];
        if (const auto uFit = propagation.at(points[j].S, 0.0L).uFit)
            fitSquares += *uFit * *uFit;
    }
    EXPECT_NEAR(trace, 3.0L, 1e-12L);
    if (const auto s = propagation.residualStandardDeviation())
        EXPECT_NEAR(fitSquares / (*s * *s), 3.0L, 1e-10L);
    else
        EXPECT_EQ(n, 3u);
}

INSTANTIATE_TEST_SUITE_P(Cases, Sensitivities, testing::ValuesIn(FitCases), CaseName);

// With three points the curve passes through every point: T(S_j) depends on T_j alone.
TEST(ThreePoints, SensitivitiesAreTheLagrangeBasis)
{
    const TParamVector P = Instrument();
    const std::vector<UncertainPoint> points = PointsOn(P, {1235.0L, 1358.0L, 1500.0L});
    const UncertaintyPropagation propagation(P, points);
    for (std::size_t j = 0; j < 3; ++j) {
        const std::vector<long double> c = propagation.sensitivities(points[j].S);
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_NEAR(c[i], i == j ? 1.0L : 0.0L, 1e-12L) << "c_" << i + 1 << "(S_" << j + 1
                                                             << ")";
    }
}

// u_ref of three points worked out by hand: the derivatives written out, J inverted by
// Cramer's rule (c = g·J⁻¹, so c_i is det J with row i replaced by g, over det J).
TEST(ThreePoints, ReferenceUncertaintyByCramersRule)
{
    const long double A = 0.65L, B = 0.1L, C = 3e6L;
    const TParamVector P = Triple(A, B, C);
    const std::vector<long double> u = {0.010L, 0.020L, 0.030L};
    const std::vector<UncertainPoint> points = PointsOn(P, {1000.0L, 1500.0L, 2000.0L}, u);

    struct Row
    {
        long double a, b, c;
    };
    const auto rowAt = [&](long double S) {
        const long double L = std::log(C / S + 1.0L);
        const long double T = C2 / (A * L) - B / A;
        return Row{-T / A, -1.0L / A, -C2 / (A * L * L * (C + S))};
    };
    const auto det = [](const Row &r1, const Row &r2, const Row &r3) {
        return r1.a * (r2.b * r3.c - r2.c * r3.b) - r1.b * (r2.a * r3.c - r2.c * r3.a)
               + r1.c * (r2.a * r3.b - r2.b * r3.a);
    };
    const Row J1 = rowAt(points[0].S), J2 = rowAt(points[1].S), J3 = rowAt(points[2].S);
    const long double detJ = det(J1, J2, J3);

    const UncertaintyPropagation propagation(P, points);
    for (const long double t : {1000.0L, 1250.0L, 1750.0L, 2000.0L, 2600.0L, 800.0L}) {
        const long double S = SHSignal(P, t);
        const Row g = rowAt(S);
        const long double c1 = det(g, J2, J3) / detJ;
        const long double c2 = det(J1, g, J3) / detJ;
        const long double c3 = det(J1, J2, g) / detJ;
        const long double expected =
            std::sqrt(c1 * c1 * u[0] * u[0] + c2 * c2 * u[1] * u[1] + c3 * c3 * u[2] * u[2]);
        const InterpolatedUncertainty at = propagation.at(S, 0.0L);
        ASSERT_TRUE(at.uRef.has_value());
        EXPECT_NEAR(*at.uRef / expected, 1.0L, 1e-9L) << "T = " << static_cast<double>(t);
        // No signal uncertainty: the expanded uncertainty is twice u_ref.
        EXPECT_EQ(at.uSig, 0.0L);
        EXPECT_NEAR(*at.U / (2 * expected), 1.0L, 1e-9L);
        EXPECT_FALSE(at.uFit.has_value()) << "three points leave no residual scatter";
    }
    // At a reference point its own uncertainty comes back.
    for (std::size_t j = 0; j < 3; ++j)
        EXPECT_NEAR(*propagation.at(points[j].S, 0.0L).uRef / u[j], 1.0L, 1e-10L);
    EXPECT_FALSE(propagation.birgeRatio().has_value());
}

// The derivatives against central differences of SHTemperature.
TEST(Derivatives, AgreeWithDifferencesOfTheTemperature)
{
    const TParamVector P = InGaAs();
    for (const long double S : {1e-5L, 0.01L, 1.0L, 12.0L}) {
        const TemperatureDerivatives d = SHTemperatureDerivatives(P, S);
        EXPECT_EQ(d.T, SHTemperature(P, S));
        const auto difference = [&](int j, long double value) {
            const long double h = value * 1e-7L;
            TParamVector up = P, down = P;
            up[j] += h;
            down[j] -= h;
            return (SHTemperature(up, S) - SHTemperature(down, S)) / (2 * h);
        };
        EXPECT_NEAR(d.dA / difference(1, P[1]), 1.0L, 1e-8L);
        EXPECT_NEAR(d.dB / difference(2, P[2]), 1.0L, 1e-8L);
        EXPECT_NEAR(d.dC / difference(3, P[3]), 1.0L, 1e-8L);
        const long double h = S * 1e-7L;
        const long double dS = (SHTemperature(P, S + h) - SHTemperature(P, S - h)) / (2 * h);
        EXPECT_NEAR(d.dS / dS, 1.0L, 1e-8L);
    }
}

// u_sig = (∂T/∂S)·S·w, and U combines it with u_ref.
TEST(SignalUncertainty, AddsInQuadratureToTheReferencePoints)
{
    const TParamVector P = InGaAs();
    const std::vector<UncertainPoint> points =
        PointsOn(P, {430.0L, 600.0L, 800.0L, 1000.0L, 1357.77L}, {0.02L, 0.02L, 0.03L, 0.05L,
                                                                   0.05L});
    const UncertaintyPropagation propagation(P, points);
    const long double S = SHSignal(P, 900.0L);
    const long double w = 1e-4L;
    const InterpolatedUncertainty at = propagation.at(S, w);
    // A relative change w of the signal moves the temperature by about this much.
    const long double moved = SHTemperature(P, S * (1 + w)) - SHTemperature(P, S);
    EXPECT_NEAR(at.uSig / moved, 1.0L, 1e-3L);
    EXPECT_GT(at.uSig, 0.0L);
    EXPECT_NEAR(*at.uC, std::sqrt(*at.uRef * *at.uRef + at.uSig * at.uSig), 1e-15L);
    EXPECT_EQ(*at.U, 2 * *at.uC);
    EXPECT_EQ(propagation.at(S, 0.0L).uRef, at.uRef) << "w leaves u_ref alone";
    EXPECT_TRUE(at.uFit.has_value());
}

// Extrapolation is visible: U grows outside the reference range.
TEST(SignalUncertainty, GrowsBeyondTheReferenceRange)
{
    const TParamVector P = Instrument();
    const std::vector<long double> temps = Spread(1000.0L, 1500.0L, 6);
    const UncertaintyPropagation propagation(
        P, PointsOn(P, temps, std::vector<long double>(6, 0.05L)));
    const auto U = [&](long double t) { return *propagation.at(SHSignal(P, t), 0.0L).U; };
    EXPECT_LT(U(1250.0L), 2 * 0.05L);
    EXPECT_GT(U(1700.0L), U(1500.0L));
    EXPECT_GT(U(2000.0L), U(1700.0L));
    EXPECT_GT(U(800.0L), U(1000.0L));
}

struct ScatterCase
{
    const char *name;
    long double deviation; // ± about the curve, alternating, K
    long double u;         // every point's stated uncertainty, K
    long double birge;     // (deviation / u)·√(N / (N − 3)), worked out by hand
    bool remark;
};

class BirgeRatio : public testing::TestWithParam<ScatterCase>
{
};

// Twenty points alternately 'deviation' above and below the curve of the triple: s² is
// 20·deviation² / 17, and R_B the same over u².
TEST_P(BirgeRatio, OfAKnownScatter)
{
    const ScatterCase &c = GetParam();
    const TParamVector P = Instrument();
    std::vector<UncertainPoint> points =
        PointsOn(P, Spread(900.0L, 2800.0L, 20), std::vector<long double>(20, c.u));
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i].T += i % 2 == 0 ? c.deviation : -c.deviation;
    const UncertaintyPropagation propagation(P, points);
    ASSERT_TRUE(propagation.residualStandardDeviation().has_value());
    EXPECT_NEAR(*propagation.residualStandardDeviation(),
                c.deviation * std::sqrt(20.0L / 17.0L), 1e-9L * c.deviation);
    ASSERT_TRUE(propagation.birgeRatio().has_value());
    EXPECT_NEAR(*propagation.birgeRatio(), c.birge, 1e-6L);
    const std::string remark = BirgeRatioRemark(*propagation.birgeRatio());
    EXPECT_EQ(remark.find("U is probably too small") != std::string::npos, c.remark) << remark;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BirgeRatio,
    testing::Values(ScatterCase{"Explained", 0.010L, 0.010L, 1.0846522890932808L, false},
                    ScatterCase{"WithRoomToSpare", 0.005L, 0.020L, 0.2711630722733202L, false},
                    ScatterCase{"TwiceTheStatedOnes", 0.020L, 0.010L, 2.1693045781865616L,
                                true},
                    ScatterCase{"FarBeyond", 0.050L, 0.005L, 10.846522890932808L, true}),
    CaseName);

TEST(BirgeRatio, RemarkNamesTheRatioInTheSystemsDecimals)
{
    EXPECT_EQ(BirgeRatioRemark(1.084L, ','), "Birge ratio R_B = 1,08");
    EXPECT_EQ(BirgeRatioRemark(2.0L), "Birge ratio R_B = 2.00") << "2 itself is explained";
    EXPECT_EQ(BirgeRatioRemark(2.5L).rfind("Birge ratio R_B = 2.50: ", 0), 0u);
}

// Without u(T_i) of every point only the scatter of the fit is given.
TEST(MissingUncertainties, LeaveOnlyTheScatterOfTheFit)
{
    const TParamVector P = Instrument();
    std::vector<UncertainPoint> points =
        PointsOn(P, Spread(1000.0L, 2000.0L, 5), {0.01L, 0.01L, 0.01L, 0.01L});
    points[2].T += 0.003L;
    for (const bool none : {false, true}) {
        if (none) {
            for (UncertainPoint &point : points)
                point.u.reset();
        }
        const UncertaintyPropagation propagation(P, points);
        EXPECT_FALSE(propagation.hasPointUncertainties());
        EXPECT_FALSE(propagation.birgeRatio().has_value());
        const InterpolatedUncertainty at = propagation.at(SHSignal(P, 1500.0L), 1e-4L);
        EXPECT_FALSE(at.uRef.has_value());
        EXPECT_FALSE(at.uC.has_value());
        EXPECT_FALSE(at.U.has_value()) << "nothing pretends to be a full uncertainty";
        EXPECT_GT(at.uSig, 0.0L);
        ASSERT_TRUE(at.uFit.has_value());
        EXPECT_GT(*at.uFit, 0.0L);
    }
}

TEST(Refusals, TooFewPointsRepeatedSignalsAndFaultySignals)
{
    const TParamVector P = Instrument();
    EXPECT_EQ(ErrorText([&] { UncertaintyPropagation(P, PointsOn(P, {1000.0L, 1500.0L})); }),
              "Range check error");
    std::vector<UncertainPoint> repeated = PointsOn(P, {1000.0L, 1500.0L, 1500.0L});
    EXPECT_EQ(ErrorText([&] { UncertaintyPropagation(P, repeated); }), NotDeterminedText);
    std::vector<UncertainPoint> zero = PointsOn(P, {1000.0L, 1500.0L, 2000.0L});
    zero[1].S = 0.0L;
    EXPECT_EQ(ErrorText([&] { UncertaintyPropagation(P, zero); }), DivisionByZero);
    const UncertaintyPropagation propagation(P, PointsOn(P, {1000.0L, 1500.0L, 2000.0L}));
    EXPECT_EQ(ErrorText([&] { propagation.at(0.0L, 0.0L); }), DivisionByZero);
    EXPECT_EQ(ErrorText([&] { propagation.at(-1e6L, 0.0L); }), Invalid);
}

} // namespace
