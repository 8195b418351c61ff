#pragma once

// Records the calibration run is tested and timed on.

#include "calibration/run.h"
#include "core/global.h"

namespace kelvora::test {

// A record of n points (at most MaxPoints), 600 K upwards in steps of 100 K, of an instrument
// with A = 0.65, B = 0.15, C = 3e6 whose reference temperatures carry -20, 0 or +20 mK of
// error, so that no fit reaches a zero deviation; the start values are the Saunders-White
// guess for 0.65 um and 0.01 um over the reference set, which is left filled with it.
inline RunInput noisyRecord(int n)
{
    TParamVector truth;
    truth[1] = 0.65L;
    truth[2] = 0.15L;
    truth[3] = 3e6L;
    RunInput input;
    NPoints = n;
    for (int i = 1; i <= n; ++i) {
        const long double t = 500.0L + 100.0L * i;
        const long double error = static_cast<long double>(i % 3 - 1) * 0.02L;
        input.Points.emplace_back(static_cast<double>(SHSignal(truth, t + error)),
                                  static_cast<double>(t));
        RefS[i] = input.Points.back().first;
        RefT[i] = input.Points.back().second;
    }
    long double A = 0.0L;
    long double B = 0.0L;
    long double C = 0.0L;
    SaundersWhiteGuess(0.65L, 0.01L, A, B, C);
    input.AS = static_cast<double>(A);
    input.BS = static_cast<double>(B);
    input.CS = static_cast<double>(C);
    return input;
}

} // namespace kelvora::test
