#include "core/lm.h"

#include "core/fpe.h"

#include <cmath>

namespace kelvora {

namespace {

using F = SteppedFp;

constexpr long double StartLambda = 20.0L;
constexpr int MaxRejections = 50;

// Sum over the points of (T[i] − model temperature)², the model temperatures left in Tc.
long double SumOfSquares(const TParamVector &P, const ReferenceSet &reference, TPointArray &Tc)
{
    const TPointArray &S = reference.RefS;
    const TPointArray &T = reference.RefT;
    long double sum = 0.0L;
    for (int i = 1; i <= reference.NPoints; ++i) {
        Tc[i] = SHTemperature(P, S[i]);
        const long double r = F::sub(T[i], Tc[i]);
        sum = F::add(sum, F::mul(r, r));
    }
    return sum;
}

} // namespace

bool CholeskySolve(int n, TParamMatrix &M, TParamVector &b)
{
    if (n < 1 || n > MaxParams)
        throw RangeError();
    ClearFpFaults();
    for (int i = 1; i <= n; ++i) {
        long double s = M[i][i];
        for (int k = 1; k <= i - 1; ++k)
            s = F::sub(s, F::mul(M[i][k], M[i][k]));
        if (s < 0.0L)
            return false;
        M[i][i] = F::sqrt(s);
        for (int j = i + 1; j <= n; ++j) {
            long double t = M[i][j];
            for (int k = 1; k <= i - 1; ++k)
                t = F::sub(t, F::mul(M[j][k], M[i][k]));
            M[j][i] = F::div(t, M[i][i]);
        }
    }
    b[1] = F::div(b[1], M[1][1]);
    for (int i = 2; i <= n; ++i) {
        long double t = b[i];
        for (int k = 1; k <= i - 1; ++k)
            t = F::sub(t, F::mul(M[i][k], b[k]));
        b[i] = F::div(t, M[i][i]);
    }
    b[n] = F::div(b[n], M[n][n]);
    for (int i = n - 1; i >= 1; --i) {
        long double t = b[i];
        for (int k = i + 1; k <= n; ++k)
            t = F::sub(t, F::mul(M[k][i], b[k]));
        b[i] = F::div(t, M[i][i]);
    }
    return true;
}

LMOutcome LevMarFit(const LMProblem &problem)
{
    const ReferenceSet &reference = problem.reference;
    const TPointArray &S = reference.RefS;
    const TPointArray &T = reference.RefT;
    const int n = problem.NParams;
    const int m = reference.NPoints;
    const int MaxIter = problem.MaxIter;
    const long double Tol = problem.Tol;
    if (n < 1 || n > MaxParams || m < 1 || m > MaxPoints)
        throw RangeError();
    ClearFpFaults();

    LMOutcome out;
    out.Lambda = StartLambda;
    out.Params = problem.Params;
    TParamVector &P = out.Params;
    long double &lambda = out.Lambda;

    TPointArray Tc;
    long double SSE = SumOfSquares(P, reference, Tc);

    TParamVector h, J, g, D, delta, Ptrial;
    TParamMatrix M;
    for (;;) {
        ++out.Iter;
        for (int j = 1; j <= n; ++j) {
            // Relative step from 0.1 upwards, the absolute 1e-9 below (zero and negative
            // parameters included).
            h[j] = F::mul(1e-9L, P[j]);
            if (h[j] < 1e-10L)
                h[j] = 1e-9L;
            g[j] = 0.0L;
            for (int k = j; k <= n; ++k)
                M[j][k] = 0.0L;
        }
        for (int i = 1; i <= m; ++i) {
            for (int j = 1; j <= n; ++j) {
                const long double v = P[j];
                P[j] = F::add(v, h[j]);
                const long double d = F::sub(P[j], v);
                J[j] = F::div(F::sub(SHTemperature(P, S[i]), Tc[i]), d);
                P[j] = v;
            }
            for (int j = 1; j <= n; ++j) {
                g[j] = F::add(g[j], F::mul(F::sub(T[i], Tc[i]), J[j]));
                for (int k = j; k <= n; ++k)
                    M[j][k] = F::add(M[j][k], F::mul(J[j], J[k]));
            }
        }
        for (int j = 1; j <= n; ++j)
            D[j] = M[j][j];

        // Trials with growing damping until one lowers the sum of squares enough. Only the
        // diagonal is rebuilt: the decomposition leaves the upper triangle untouched.
        int rejections = 0;
        long double SSEtrial;
        for (;;) {
            for (int j = 1; j <= n; ++j) {
                M[j][j] = F::mul(F::add(lambda, 1.0L), D[j]);
                delta[j] = g[j];
            }
            if (!CholeskySolve(n, M, delta)) {
                out.Status = lmNotPositiveDefinite;
                return out;
            }
            long double X = 0.0L;
            for (int j = 1; j <= n; ++j)
                X = F::add(X, F::mul(delta[j], g[j]));
            // Parameters beyond n are not fitted: the trial keeps their current values.
            Ptrial = P;
            for (int j = 1; j <= n; ++j)
                Ptrial[j] = F::add(P[j], delta[j]);
            SSEtrial = SumOfSquares(Ptrial, reference, Tc);
            // The term is added: a trial that raises the sum by up to 1e-4·X still passes.
            if (SSEtrial <= F::add(SSE, F::mul(1e-4L, X)))
                break;
            ++rejections;
            if (rejections == MaxRejections)
                out.Status = lmNoDescent;
            lambda = F::mul(3.0L, lambda);
            if (rejections > 2)
                lambda = F::mul(3.0L, lambda);
            if (out.Status > 0)
                return out;
        }

        SSE = SSEtrial;
        out.RelChange = 0.0L;
        for (int j = 1; j <= n; ++j) {
            const long double q = F::div(std::fabs(F::sub(Ptrial[j], P[j])),
                                         F::add(std::fabs(Ptrial[j]), 1e-12L));
            if (q > out.RelChange)
                out.RelChange = q;
            P[j] = Ptrial[j];
        }
        if (rejections == 0)
            lambda = F::div(lambda, 5.0L);
        if (out.Iter == MaxIter)
            out.Status = lmIterationLimit;
        if (out.RelChange < Tol || out.Status > 0)
            return out;
    }
}

} // namespace kelvora
