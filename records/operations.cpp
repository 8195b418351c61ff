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

void ImportRecord(RecordStore &records, const RecordFileData &file, const std::string &name)
{
    Table &main = records.cdsMain;
    RecordRowEditor mainRow(main);
    Table &bb = records.cdsBB;
    ReferencePointRowEditor bbRow(bb);

    const ReferenceSet reference = ReferenceSetOf(file);

    main.insert();
    mainRow.setName(name);
    mainRow.setMeanWL(static_cast<double>(file.MeanWL));
    mainRow.setBandwidth(static_cast<double>(file.Bandwidth));
    main.post();

    {
        // One range refresh after all points instead of one per point.
        const RangesBusyScope busy(records);
        const SuspendedDisplays suspended(bb);
        try {
            for (int i = 1; i <= reference.NPoints; ++i) {
                bb.append();
                bbRow.setT(StoredDouble(reference.RefT[i]));
                bbRow.setS(StoredDouble(reference.RefS[i]));
                const auto slot = static_cast<std::size_t>(i - 1);
                if (slot < file.uT.size() && file.uT[slot])
                    bbRow.setUT(StoredDouble(*file.uT[slot]));
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
            throw Error(std::string("The Saunders-White guess ") + name + " = "
                        + formatGeneral(value)
                        + " of these reference points is too large to be stored");
    }
    try {
        main.edit();
        mainRow.setAS(StoredDouble(a));
        mainRow.setBS(StoredDouble(b));
        mainRow.setCS(StoredDouble(c));
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
    const RecordRow record(records.cdsMain);
    input.AS = record.AS();
    input.BS = record.BS();
    input.CS = record.CS();
    Table &bb = records.cdsBB;
    const ReferencePointRow bbRow(bb);
    ForEachRow(bb, [&] { input.Points.emplace_back(bbRow.S(), bbRow.T()); });
    return input;
}

void SaveResults(RecordStore &records, const RunResults &results, DateTime now)
{
    Table &main = records.cdsMain;
    RecordRowEditor mainRow(main);
    Table &bb = records.cdsBB;
    ReferencePointRowEditor bbRow(bb);
    const TParamVector &LMResult = results.LMResult;
    const TParamVector &PSOResult = results.PSOResult;
    const TPointArray &RefS = results.reference.RefS;
    const TPointArray &RefT = results.reference.RefT;

    main.edit();
    mainRow.setALM(StoredDouble(LMResult[1]));
    mainRow.setBLM(StoredDouble(LMResult[2]));
    mainRow.setCLM(StoredDouble(LMResult[3]));
    mainRow.setMeanRMSLM(StoredDouble(results.LMMeanRMS));
    mainRow.setAPSO(StoredDouble(PSOResult[1]));
    mainRow.setBPSO(StoredDouble(PSOResult[2]));
    mainRow.setCPSO(StoredDouble(PSOResult[3]));
    mainRow.setMeanRMSPSO(StoredDouble(results.PSOMeanRMS));
    mainRow.setSeed(results.Seed);
    mainRow.setComputed(true);
    mainRow.setProcessed(now);
    main.post();

    {
        const SuspendedDisplays suspended(bb);
        for (int i = 1; i <= results.reference.NPoints; ++i) {
            // The fitted temperatures, as the run had them.
            const long double RefTLM = SHTemperature(LMResult, RefS[i]);
            const long double RefTPSO = SHTemperature(PSOResult, RefS[i]);
            bb.setRecNo(i);
            bb.edit();
            bbRow.setTLM(StoredDouble(RefTLM));
            bbRow.setDTLM(StoredDouble((RefTLM - RefT[i]) * 1000.0L));
            bbRow.setTPSO(StoredDouble(RefTPSO));
            bbRow.setDTPSO(StoredDouble((RefTPSO - RefT[i]) * 1000.0L));
            bbRow.setDifference(StoredDouble((RefTLM - RefTPSO) * 1000.0L));
            bb.post();
        }
    }
    PostIfEditing(main);
}

} // namespace kelvora
