#pragma once

// A computed record of the sample instrument, as the certificate tests need it, and the
// Sakuma-Hattori equation worked out again for them.

#include "calibration/run.h"
#include "core/global.h"
#include "records/interpolation.h"
#include "records/operations.h"
#include "records/recordstore.h"
#include "samples/noisyrecord.h"

#include <cmath>
#include <string>
#include <vector>

namespace kelvora::test {

// The signal of the equation at T, written out here rather than taken from the program.
inline long double signalAt(long double A, long double B, long double C, long double T)
{
    return C / (std::exp(14387.752L / (A * T + B)) - 1.0L);
}

// Imports the sample record with `points` reference points (600 K upwards in steps of
// 100 K) as a new current record and saves calibration results into it as a run does: the
// instrument's own triple as the Levenberg-Marquardt result and a slightly different one as
// the swarm's, each with its true mean RMS deviation. The measurements are then loaded and
// interpolated with the Levenberg-Marquardt triple.
inline void importComputedRecord(RecordStore &records, const std::string &name, int points,
                                 const std::vector<long double> &measured = {},
                                 DateTime processed = DateTime{1767225600000})
{
    ImportRecord(records, samples::noisyRecordFile(points), name);
    LMResult.fill(0.0L);
    LMResult[1] = 0.65L;
    LMResult[2] = 0.15L;
    LMResult[3] = 3e6L;
    PSOResult = LMResult;
    PSOResult[1] *= 1.000001L;
    LMMeanRMS = MeanRMSmK(LMResult);
    PSOMeanRMS = MeanRMSmK(PSOResult);
    SaveResults(records, processed);
    if (!measured.empty()) {
        LoadSignals(records, measured);
        InterpolateMeasurements(
            records, ParameterTextsOf(records, FitMethod::LevenbergMarquardt, TextLocale{}),
            '.');
    }
}

} // namespace kelvora::test
