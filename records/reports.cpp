#include "records/reports.h"

#include "tables/rows.h"

namespace kelvora {

RecordReport CollectRecordReport(RecordStore &records, const TextLocale &locale)
{
    const Table &main = records.cdsMain;
    const RecordRow mainRow(main);
    Table &bb = records.cdsBB;
    const ReferencePointRow bbRow(bb);
    Table &interp = records.cdsInterp;
    const MeasurementRow interpRow(interp);

    RecordReport report;
    report.MeanWL = mainRow.text(RecordField::MeanWL, locale);
    report.Bandwidth = mainRow.text(RecordField::Bandwidth, locale);
    report.Created = mainRow.text(RecordField::Created, locale);
    report.Processed = mainRow.text(RecordField::Processed, locale);
    report.ALM = mainRow.text(RecordField::ALM, locale);
    report.BLM = mainRow.text(RecordField::BLM, locale);
    report.CLM = mainRow.text(RecordField::CLM, locale);
    report.APSO = mainRow.text(RecordField::APSO, locale);
    report.BPSO = mainRow.text(RecordField::BPSO, locale);
    report.CPSO = mainRow.text(RecordField::CPSO, locale);
    report.MeanRMSLM = mainRow.meanRMSLM();
    report.MeanRMSPSO = mainRow.meanRMSPSO();
    report.Computed = mainRow.computed();

    if (!bb.isEmpty()) {
        ForEachRow(bb, [&] {
            ReportPoint point;
            point.S = bbRow.S();
            point.T = bbRow.T();
            if (report.Computed) {
                point.TLM = bbRow.TLM();
                point.TPSO = bbRow.TPSO();
                point.dTLM = bbRow.dTLM();
                point.dTPSO = bbRow.dTPSO();
                point.Difference = bbRow.difference();
            }
            report.points.push_back(point);
        });
    }

    if (!interp.isEmpty()) {
        ForEachRow(interp, [&] {
            report.measurements.push_back(
                {interpRow.text(MeasurementField::S, locale), interpRow.T()});
        });
    }
    return report;
}

std::vector<std::pair<double, double>> CollectMeasurements(RecordStore &records)
{
    Table &interp = records.cdsInterp;
    const MeasurementRow interpRow(interp);
    std::vector<std::pair<double, double>> rows;
    if (interp.isEmpty())
        return rows;
    ForEachRow(interp, [&] { rows.emplace_back(interpRow.S(), interpRow.T()); });
    return rows;
}

std::string ProposedReportName(const RecordStore &records, const TextLocale &locale)
{
    const RecordRow record(records.cdsMain);
    return SafeFileName(record.name() + "_" + record.text(RecordField::Created, locale));
}

std::string ProposedResultsName(const RecordStore &records, const TextLocale &locale)
{
    const RecordRow record(records.cdsMain);
    return SafeFileName(record.name() + "_" + record.text(RecordField::Created, locale) + "_"
                        + record.text(RecordField::Processed, locale));
}

} // namespace kelvora
