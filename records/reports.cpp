#include "records/reports.h"

namespace kelvora {

RecordReport CollectRecordReport(RecordStore &records, const TextLocale &locale)
{
    const Table &main = records.cdsMain;
    Table &bb = records.cdsBB;
    Table &interp = records.cdsInterp;

    RecordReport report;
    report.MeanWL = main.asString("MeanWL", locale);
    report.Bandwidth = main.asString("Bandwidth", locale);
    report.Created = main.asString("Created", locale);
    report.Processed = main.asString("Processed", locale);
    report.ALM = main.asString("ALM", locale);
    report.BLM = main.asString("BLM", locale);
    report.CLM = main.asString("CLM", locale);
    report.APSO = main.asString("APSO", locale);
    report.BPSO = main.asString("BPSO", locale);
    report.CPSO = main.asString("CPSO", locale);
    report.MeanRMSLM = main.asFloat("MeanRMSLM");
    report.MeanRMSPSO = main.asFloat("MeanRMSPSO");
    report.Computed = main.asBoolean("Computed");

    if (!bb.isEmpty()) {
        ForEachRow(bb, [&] {
            ReportPoint point;
            point.S = bb.asFloat("S");
            point.T = bb.asFloat("T");
            if (report.Computed) {
                point.TLM = bb.asFloat("TLM");
                point.TPSO = bb.asFloat("TPSO");
                point.dTLM = bb.asFloat("dTLM");
                point.dTPSO = bb.asFloat("dTPSO");
                point.Difference = bb.asFloat("Difference");
            }
            report.points.push_back(point);
        });
    }

    if (!interp.isEmpty()) {
        ForEachRow(interp, [&] {
            report.measurements.push_back({interp.asString("S", locale), interp.asFloat("T")});
        });
    }
    return report;
}

std::vector<std::pair<double, double>> CollectMeasurements(RecordStore &records)
{
    Table &interp = records.cdsInterp;
    std::vector<std::pair<double, double>> rows;
    if (interp.isEmpty())
        return rows;
    ForEachRow(interp, [&] { rows.emplace_back(interp.asFloat("S"), interp.asFloat("T")); });
    return rows;
}

std::string ProposedReportName(const RecordStore &records, const TextLocale &locale)
{
    const Table &main = records.cdsMain;
    return SafeFileName(main.asString("Name", locale) + "_" + main.asString("Created", locale));
}

std::string ProposedResultsName(const RecordStore &records, const TextLocale &locale)
{
    const Table &main = records.cdsMain;
    return SafeFileName(main.asString("Name", locale) + "_" + main.asString("Created", locale)
                        + "_" + main.asString("Processed", locale));
}

} // namespace kelvora
