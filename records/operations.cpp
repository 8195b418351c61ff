#include "records/operations.h"

#include "calibration/run.h"
#include "core/fpe.h"
#include "core/numfmt.h"

#include <cmath>
#include <exception>
#include <utility>

namespace kelvora {

namespace {

// A calibration needs at least this many reference points.
constexpr int MinCalibrationPoints = 3;

std::string NotEnoughPointsText(int n)
{
    return "Number of reference points (" + std::to_string(n) + ") is not enough\r"
           + " to find Sakuma-Hattori parameters unambiuously";
}

} // namespace

WriteFailedError::WriteFailedError(const std::string &why)
    : Error(why.empty() ? std::string(WriteFailedText) : WriteFailedText + std::string("\r") + why)
    , m_why(why)
{
}

void LoadReferenceSet(const RecordFileData &file)
{
    NPoints = file.N;
    for (int i = 1; i <= file.N; ++i) {
        RefS[i] = file.S.at(static_cast<std::size_t>(i - 1));
        RefT[i] = file.T.at(static_cast<std::size_t>(i - 1));
    }
}

void ImportRecord(RecordStore &records, const RecordFileData &file, const std::string &name)
{
    Table &main = records.cdsMain;
    Table &bb = records.cdsBB;

    LoadReferenceSet(file);

    main.insert();
    main.setString("Name", name);
    main.setFloat("MeanWL", static_cast<double>(file.MeanWL));
    main.setFloat("Bandwidth", static_cast<double>(file.Bandwidth));
    main.post();

    {
        // One range refresh after all points instead of one per point.
        const RangesBusyScope busy(records);
        const SuspendedDisplays suspended(bb);
        try {
            for (int i = 1; i <= file.N; ++i) {
                bb.append();
                bb.setFloat("T", StoredDouble(RefT[i]));
                bb.setFloat("S", StoredDouble(RefS[i]));
                bb.post();
            }
        } catch (const std::exception &) {
            if (bb.isEditing())
                bb.cancel();
            throw WriteFailedError();
        }
        bb.first();
    }

    long double a = 0.0L;
    long double b = 0.0L;
    long double c = 0.0L;
    SaundersWhiteGuess(file.MeanWL, file.Bandwidth, a, b, c);
    for (const auto &[name, value] : {std::pair{"A", a}, std::pair{"B", b}, std::pair{"C", c}}) {
        if (std::fabs(value) >= DoubleOverflowBound)
            throw WriteFailedError(std::string("The Saunders-White guess ") + name + " = "
                                   + formatGeneral(value)
                                   + " of these reference points is too large to be stored");
    }
    try {
        main.edit();
        main.setFloat("AS", StoredDouble(a));
        main.setFloat("BS", StoredDouble(b));
        main.setFloat("CS", StoredDouble(c));
        main.post();
    } catch (const std::exception &) {
        throw WriteFailedError();
    }

    records.UpdateReferenceRanges();
}

std::string CalibrationRefusal(RecordStore &records)
{
    const int n = records.cdsBB.recordCount();
    return n < MinCalibrationPoints ? NotEnoughPointsText(n) : std::string();
}

RunInput RunInputOf(RecordStore &records)
{
    RunInput input;
    input.AS = records.cdsMain.asFloat("AS");
    input.BS = records.cdsMain.asFloat("BS");
    input.CS = records.cdsMain.asFloat("CS");
    Table &bb = records.cdsBB;
    ForEachRow(bb, [&] { input.Points.emplace_back(bb.asFloat("S"), bb.asFloat("T")); });
    return input;
}

void SaveResults(RecordStore &records, DateTime now, std::uint32_t seed)
{
    Table &main = records.cdsMain;
    Table &bb = records.cdsBB;

    main.edit();
    main.setFloat("ALM", StoredDouble(LMResult[1]));
    main.setFloat("BLM", StoredDouble(LMResult[2]));
    main.setFloat("CLM", StoredDouble(LMResult[3]));
    main.setFloat("MeanRMSLM", StoredDouble(LMMeanRMS));
    main.setFloat("APSO", StoredDouble(PSOResult[1]));
    main.setFloat("BPSO", StoredDouble(PSOResult[2]));
    main.setFloat("CPSO", StoredDouble(PSOResult[3]));
    main.setFloat("MeanRMSPSO", StoredDouble(PSOMeanRMS));
    main.setFloat("Seed", seed);
    main.setBoolean("Computed", true);
    main.setDateTime("Processed", now);
    main.post();

    {
        const SuspendedDisplays suspended(bb);
        for (int i = 1; i <= NPoints; ++i) {
            RefTLM[i] = SHTemperature(LMResult, RefS[i]);
            RefTPSO[i] = SHTemperature(PSOResult, RefS[i]);
            bb.setRecNo(i);
            bb.edit();
            bb.setFloat("TLM", StoredDouble(RefTLM[i]));
            bb.setFloat("dTLM", StoredDouble((RefTLM[i] - RefT[i]) * 1000.0L));
            bb.setFloat("TPSO", StoredDouble(RefTPSO[i]));
            bb.setFloat("dTPSO", StoredDouble((RefTPSO[i] - RefT[i]) * 1000.0L));
            bb.setFloat("Difference", StoredDouble((RefTLM[i] - RefTPSO[i]) * 1000.0L));
            bb.post();
        }
    }
    PostIfEditing(main);
}

} // namespace kelvora
