// The report of the current record, the measurements it exports and the file names proposed
// for both.

#include "records_fixture.h"

#include "records/operations.h"
#include "records/reports.h"
#include "tables/rows.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kelvora {
namespace {

using namespace kelvora::test;

std::string usDateTime(DateTime t)
{
    const CivilTime c = toCivil(t);
    char text[40];
    std::snprintf(text, sizeof text, "%d/%d/%d %d:%02d:%02d %s", c.month, c.day, c.year,
                  c.hour % 12 == 0 ? 12 : c.hour % 12, c.minute, c.second,
                  c.hour < 12 ? "AM" : "PM");
    return text;
}

TEST_F(RecordsTest, ReportOfAnUncomputedRecord)
{
    import("Lamp 3.1", ThreePoints);
    addMeasurements({1.5e-7, 0.5});
    records.cdsInterp.edit();
    MeasurementRowEditor(records.cdsInterp).setT(1234.5);
    records.cdsInterp.post();
    PostIfEditing(records.cdsMain);
    records.cdsBB.setRecNo(2);
    records.cdsInterp.setRecNo(1);

    const RecordReport report = CollectRecordReport(records, TextLocale{',', usDateTime});

    EXPECT_EQ(report.MeanWL, "0,65");
    EXPECT_EQ(report.Bandwidth, "0,01");
    EXPECT_EQ(report.Created, "12/31/2009 10:15:21 AM");
    EXPECT_EQ(report.Processed, "");
    EXPECT_FALSE(report.Computed);
    ASSERT_EQ(report.points.size(), 3u);
    EXPECT_EQ(report.points[1].S, 2.0);
    EXPECT_EQ(report.points[1].T, 1500.0);
    ASSERT_EQ(report.measurements.size(), 2u);
    EXPECT_EQ(report.measurements[0].S, "1,5E-7");
    EXPECT_EQ(report.measurements[0].T, 0.0);
    EXPECT_EQ(report.measurements[1].S, "0,5");
    EXPECT_EQ(report.measurements[1].T, 1234.5);
    EXPECT_EQ(records.cdsBB.recNo(), 2);
    EXPECT_EQ(records.cdsInterp.recNo(), 1);

    EXPECT_EQ(CollectMeasurements(records),
              (std::vector<std::pair<double, double>>{{1.5e-7, 0.0}, {0.5, 1234.5}}));
    EXPECT_EQ(records.cdsInterp.recNo(), 1);
}

TEST_F(RecordsTest, ReportOfAComputedRecordCarriesResults)
{
    import("C", ThreePoints);
    SaveResults(records, shiftedResults(ThreePoints, 0.0L, 0.5L, 0.01234L, 2.0L),
                DateTime{1262304000000});

    const RecordReport report = CollectRecordReport(records, TextLocale{'.', usDateTime});
    EXPECT_TRUE(report.Computed);
    EXPECT_EQ(report.Processed, "1/1/2010 12:00:00 AM");
    EXPECT_EQ(report.ALM, "1");
    EXPECT_EQ(report.BPSO, "-0.5");
    EXPECT_EQ(report.MeanRMSLM, 0.01234);
    EXPECT_EQ(report.MeanRMSPSO, 2.0);
    ASSERT_EQ(report.points.size(), 3u);
    EXPECT_NEAR(report.points[0].TPSO - report.points[0].TLM, 0.5, 1e-9);
    EXPECT_NEAR(report.points[0].Difference, -500.0, 1e-6);
    EXPECT_TRUE(report.measurements.empty());
}

struct NameCase
{
    const char *name;
    long long created;
    std::optional<long long> processed;
    const char *report;
    const char *results;
};

// The record names hold the characters the proposal replaces; the case is named without them.
void PrintTo(const NameCase &c, std::ostream *os)
{
    for (const char *ch = c.name; *ch != '\0'; ++ch)
        *os << (std::isalnum(static_cast<unsigned char>(*ch)) ? *ch : '_');
}

class ProposedNameTest : public RecordsTest, public ::testing::WithParamInterface<NameCase>
{
};

TEST_P(ProposedNameTest, NamesAreCleanedFieldTexts)
{
    const NameCase &c = GetParam();
    records.store.clock = [&] { return DateTime{c.created}; };
    import(c.name, ThreePoints);
    if (c.processed) {
        records.cdsMain.edit();
        RecordRowEditor(records.cdsMain).setProcessed(DateTime{*c.processed});
        records.cdsMain.post();
    }
    const TextLocale locale{'.', usDateTime};
    EXPECT_EQ(ProposedReportName(records, locale), c.report);
    EXPECT_EQ(ProposedResultsName(records, locale), c.results);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProposedNameTest,
    ::testing::Values(NameCase{"Lamp 3.1", 1262254520000, std::nullopt,
                               "Lamp 3_1_12-31-2009 10-15-20 AM",
                               "Lamp 3_1_12-31-2009 10-15-20 AM_"},
                      NameCase{"a/b:c?", 1262254520000, 1262304000000,
                               "a-b-c _12-31-2009 10-15-20 AM",
                               "a-b-c _12-31-2009 10-15-20 AM_1-1-2010 12-00-00 AM"},
                      NameCase{"x\\y*z", 1262254520000, std::nullopt,
                               "x~y z_12-31-2009 10-15-20 AM",
                               "x~y z_12-31-2009 10-15-20 AM_"}));

} // namespace
} // namespace kelvora
