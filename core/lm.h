#pragma once

#include "core/global.h"

namespace kelvora {

enum LMStatus {
    lmConverged = 0,           // the last accepted step changed every parameter by less than Tol
    lmNotPositiveDefinite = 1, // the damped normal matrix met a negative radicand
    lmNoDescent = 2,           // 50 trial steps in a row were rejected within one iteration
    lmIterationLimit = 3       // Iter reached MaxIter after an accepted step
};

struct LMOutcome
{
    int Status;
    // Iterations begun, the one in progress included.
    int Iter;
    // Largest relative parameter change of the last accepted step (meaningless after
    // status 1 or 2).
    long double RelChange;
    // The damping factor when the fit returned.
    long double Lambda;
};

// A 10 x 10 matrix indexed from 1: M[row][column].
using TParamMatrix = IndexedArray<TParamVector, MaxParams>;

// Solves M·x = b by Cholesky decomposition for rows and columns 1..n (n outside 1..10
// raises RangeError). The upper triangle with the diagonal of M holds the symmetric matrix
// and is only read; the factor L is written into the lower triangle and the diagonal, and b
// receives x. Returns false, leaving the decomposition unfinished, when a radicand is
// negative; a zero radicand passes, and the division by the zero pivot that follows raises
// its floating-point fault.
bool CholeskySolve(int n, TParamMatrix &M, TParamVector &b);

// Levenberg-Marquardt fit of Params[1..nParams] to the points (S[i], T[i]), i = 1..nPoints,
// minimising the sum of squared temperature residuals of SHTemperature. Params holds the
// start values on entry and the last accepted values on return, whatever the status.
// MaxIter <= 0 sets no iteration limit; Tol <= 0 never converges. Counts outside 1..10 and
// 1..20 raise RangeError; floating-point faults raise FloatError.
LMOutcome LevMarFit(int nParams, int nPoints, int MaxIter, const TPointArray &S,
                    const TPointArray &T, long double Tol);

} // namespace kelvora
