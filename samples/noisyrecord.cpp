#include "samples/noisyrecord.h"

#include "core/global.h"

namespace kelvora::samples {

RecordFileData noisyRecordFile(int n)
{
    TParamVector truth;
    truth[1] = 0.65L;
    truth[2] = 0.15L;
    truth[3] = 3e6L;
    RecordFileData file;
    file.MeanWL = 0.65L;
    file.Bandwidth = 0.01L;
    file.N = n;
    for (int i = 1; i <= n; ++i) {
        const long double t = 500.0L + 100.0L * i;
        const long double error = static_cast<long double>(i % 3 - 1) * 0.02L;
        file.S.push_back(static_cast<double>(SHSignal(truth, t + error)));
        file.T.push_back(t);
    }
    return file;
}

RunInput noisyRecord(int n)
{
    const RecordFileData file = noisyRecordFile(n);
    RunInput input;
    ReferenceSet reference;
    for (int i = 1; i <= n; ++i) {
        const auto at = static_cast<std::size_t>(i - 1);
        input.Points.emplace_back(static_cast<double>(file.S[at]),
                                  static_cast<double>(file.T[at]));
        reference.append(input.Points.back().first, input.Points.back().second);
    }
    long double A = 0.0L;
    long double B = 0.0L;
    long double C = 0.0L;
    SaundersWhiteGuess(file.MeanWL, file.Bandwidth, reference, A, B, C);
    input.AS = static_cast<double>(A);
    input.BS = static_cast<double>(B);
    input.CS = static_cast<double>(C);
    return input;
}

} // namespace kelvora::samples
