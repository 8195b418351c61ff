#include "samples/computedrecord.h"

#include "calibration/run.h"
#include "core/global.h"
#include "records/interpolation.h"
#include "records/operations.h"
#include "samples/noisyrecord.h"

namespace kelvora::samples {

void importComputedRecord(RecordStore &records, const std::string &name, int points,
                          const std::vector<long double> &measured, DateTime processed)
{
    ImportRecord(records, noisyRecordFile(points), name);
    LMResult.fill(0.0L);
    LMResult[1] = 0.65L;
    LMResult[2] = 0.15L;
    LMResult[3] = 3e6L;
    PSOResult = LMResult;
    PSOResult[1] *= 1.000001L;
    LMMeanRMS = MeanRMSmK(LMResult);
    PSOMeanRMS = MeanRMSmK(PSOResult);
    SaveResults(records, processed, 1);
    if (measured.empty())
        return;
    LoadSignals(records, measured);
    InterpolateMeasurements(
        records, ParameterTextsOf(records, FitMethod::LevenbergMarquardt, TextLocale{}), '.');
}

} // namespace kelvora::samples
