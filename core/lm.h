#pragma once

#include "core/global.h"

namespace kelvora {

enum LMStatus {
    lmConverged = 0,           // the last accepted step changed every parameter by less than Tol
    lmNotPositiveDefinite = 1, // the damped normal matrix met a negative radicand
    lmNoDescent = 2,           // 50 trial steps in a row were rejected within one iteration
    lmIterationLimit = 3       // Iter reached MaxIter after an accepted step
};

// A Levenberg-Marquardt fit to make: the points, the start values and when to stop.
struct LMProblem
{
    ReferenceSet reference;  // the points (S, T) fitted, NPoints in 1..20
    // Start values of elements 1..NParams; the elements beyond keep their values.
    TParamVector Params;
    int NParams = 3;  // parameters fitted, 1..10
    int MaxIter = 50;  // iteration limit; 0 or less sets none
    long double Tol = 1e-9L;  // on the relative parameter change; 0 or less never converges
};

struct LMOutcome
{
    int Status = lmConverged;
    // Iterations begun, the one in progress included.
    int Iter = 0;
    // Largest relative parameter change of the last accepted step (meaningless after
    // status 1 or 2).
    long double RelChange = 0.0L;
    // The damping factor when the fit returned.
    long double Lambda = 0.0L;
    // The last accepted values, whatever the status (the start values when no step was
    // accepted).
    TParamVector Params;
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

// Levenberg-Marquardt fit of Params[1..NParams] to the reference set, minimising the sum of
// squared temperature residuals of SHTemperature. Counts outside 1..10 and 1..20 raise
// RangeError; floating-point faults raise FloatError. The fit works only on its problem and
// on storage of its own: any number of fits may run at once on different threads.
LMOutcome LevMarFit(const LMProblem &problem);

} // namespace kelvora
