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
    const RecordFileData file = noisyRecordFile(points);
    ImportRecord(records, file, name);
    RunResults results;
    results.reference = ReferenceSetOf(file);
    results.LMResult[1] = 0.65L;
    results.LMResult[2] = 0.15L;
    results.LMResult[3] = 3e6L;
    results.PSOResult = results.LMResult;
    results.PSOResult[1] *= 1.000001L;
    results.LMMeanRMS = MeanRMSmK(results.LMResult, results.reference);
    results.PSOMeanRMS = MeanRMSmK(results.PSOResult, results.reference);
    results.Seed = 1;
    SaveResults(records, results, processed);
    if (measured.empty())
        return;
    LoadSignals(records, measured);
    InterpolateMeasurements(
        records, ParameterTextsOf(records, FitMethod::LevenbergMarquardt, TextLocale{}), '.');
}

} // namespace kelvora::samples
