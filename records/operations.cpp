#include "records/operations.h"

#include "calibration/run.h"
#include "core/fpe.h"
#include "core/numfmt.h"
#include "tables/rows.h"

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

void ImportRecord(RecordStore &records, const RecordFileData &file, const std::string &name)
{
    Table &main = records.cdsMain;
    Table &bb = records.cdsBB;

    const ReferenceSet reference = ReferenceSetOf(file);

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
            for (int i = 1; i <= reference.NPoints; ++i) {
                bb.append();
                bb.setFloat("T", StoredDouble(reference.RefT[i]));
                bb.setFloat("S", StoredDouble(reference.RefS[i]));
                const auto slot = static_cast<std::size_t>(i - 1);
                if (slot < file.uT.size() && file.uT[slot])
                    bb.setFloat("uT", StoredDouble(*file.uT[slot]));
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
    SaundersWhiteGuess(file.MeanWL, file.Bandwidth, reference, a, b, c);
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

void SaveResults(RecordStore &records, const RunResults &results, DateTime now)
{
    Table &main = records.cdsMain;
    Table &bb = records.cdsBB;
    const TParamVector &LMResult = results.LMResult;
    const TParamVector &PSOResult = results.PSOResult;
    const TPointArray &RefS = results.reference.RefS;
    const TPointArray &RefT = results.reference.RefT;

    main.edit();
    main.setFloat("ALM", StoredDouble(LMResult[1]));
    main.setFloat("BLM", StoredDouble(LMResult[2]));
    main.setFloat("CLM", StoredDouble(LMResult[3]));
    main.setFloat("MeanRMSLM", StoredDouble(results.LMMeanRMS));
    main.setFloat("APSO", StoredDouble(PSOResult[1]));
    main.setFloat("BPSO", StoredDouble(PSOResult[2]));
    main.setFloat("CPSO", StoredDouble(PSOResult[3]));
    main.setFloat("MeanRMSPSO", StoredDouble(results.PSOMeanRMS));
    RecordRowEditor(main).setSeed(results.Seed);
    main.setBoolean("Computed", true);
    main.setDateTime("Processed", now);
    main.post();

    {
        const SuspendedDisplays suspended(bb);
        for (int i = 1; i <= results.reference.NPoints; ++i) {
            // The fitted temperatures, as the run had them.
            const long double RefTLM = SHTemperature(LMResult, RefS[i]);
            const long double RefTPSO = SHTemperature(PSOResult, RefS[i]);
            bb.setRecNo(i);
            bb.edit();
            bb.setFloat("TLM", StoredDouble(RefTLM));
            bb.setFloat("dTLM", StoredDouble((RefTLM - RefT[i]) * 1000.0L));
            bb.setFloat("TPSO", StoredDouble(RefTPSO));
            bb.setFloat("dTPSO", StoredDouble((RefTPSO - RefT[i]) * 1000.0L));
            bb.setFloat("Difference", StoredDouble((RefTLM - RefTPSO) * 1000.0L));
            bb.post();
        }
    }
    PostIfEditing(main);
}

} // namespace kelvora
