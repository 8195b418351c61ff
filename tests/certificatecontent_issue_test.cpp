#include "casename.h"
#include "certificatecontent/certificate.h"
#include "certificatecontent/certificatenumber.h"
#include "core/errors.h"
#include "core/numfmt.h"
#include "records/uncertainties.h"
#include "samples/noisyrecord.h"
#include "tables/rows.h"
#include "tests/certificate_fixture.h"
#include "tests/records_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace kelvora::test {
namespace {

using testcase::CaseName;
using testcase::PrintTo;

DateTime on(int year, int month, int day)
{
    return fromCivil(CivilTime{year, month, day, 10, 30, 0, 0});
}

// ---- certificate numbers ----

struct NumberCase
{
    const char *name;
    const char *pattern;
    int counter;
    const char *expected;
};

const NumberCase NumberCases[] = {
    {"YearAndCounter", "KV-{yyyy}-{nnnn}", 1, "KV-2026-0001"},
    {"CounterWiderThanItsField", "KV-{yyyy}-{nnnn}", 12345, "KV-2026-12345"},
    {"ShortDate", "{yy}{mm}{dd}/{n}", 7, "260305/7"},
    {"WithoutDate", "CAL {nnn} B", 42, "CAL 042 B"},
};

class CertificateNumber : public ::testing::TestWithParam<NumberCase>
{
};

TEST_P(CertificateNumber, IsWrittenFromThePattern)
{
    const NumberCase &c = GetParam();
    EXPECT_EQ(NumberPatternRefusal(c.pattern), "");
    EXPECT_EQ(CertificateNumberOf(c.pattern, c.counter, on(2026, 3, 5)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Patterns, CertificateNumber, ::testing::ValuesIn(NumberCases),
                         CaseName);

struct PatternRefusalCase
{
    const char *name;
    const char *pattern;
    const char *says;
};

const PatternRefusalCase PatternRefusalCases[] = {
    {"NoCounter", "KV-{yyyy}", "must hold the counter once"},
    {"TwoCounters", "{n}-{nn}", "must hold the counter once"},
    {"UnknownField", "KV-{year}-{n}", "unknown field {year}"},
    {"CounterOfTenDigits", "KV-{nnnnnnnnnn}", "unknown field {nnnnnnnnnn}"},
    {"BraceLeftOpen", "KV-{nnnn", "leaves a brace open"},
    {"TooLong", "KV-{nnnn}-012345678901234567890123456789012345678901234567890",
     "longer than 60 characters"},
};

class NumberPattern : public ::testing::TestWithParam<PatternRefusalCase>
{
};

TEST_P(NumberPattern, ThatCannotMakeNumbersIsRefused)
{
    EXPECT_NE(NumberPatternRefusal(GetParam().pattern).find(GetParam().says), std::string::npos)
        << NumberPatternRefusal(GetParam().pattern);
}

INSTANTIATE_TEST_SUITE_P(Patterns, NumberPattern, ::testing::ValuesIn(PatternRefusalCases),
                         CaseName);

TEST(LaboratorySettingsTest, ValuesThatDoNotReadTakeTheirDefaults)
{
    const LaboratorySettings defaults;
    Settings settings = WithLaboratorySettings({{"other", "kept"}}, defaults);
    EXPECT_EQ(settings.at("other"), "kept");
    EXPECT_EQ(LaboratorySettingsOf(settings), defaults);
    for (const char *bad : {"", "abc", "-5", "0", "12x", "100000001"}) {
        Settings broken = settings;
        broken["certificate.nextNumber"] = bad;
        EXPECT_EQ(LaboratorySettingsOf(broken).nextNumber, 1) << bad;
    }
    Settings letter = settings;
    letter["laboratory.pageSize"] = "Letter";
    EXPECT_EQ(LaboratorySettingsOf(letter).pageSize, PageSize::Letter);
    letter["laboratory.pageSize"] = "Legal";
    EXPECT_EQ(LaboratorySettingsOf(letter).pageSize, PageSize::A4);
}

// ---- issuing ----

// Gives the reference points of the current record the uncertainties in mK, in order; an
// empty one clears the point's.
void setPointUncertainties(RecordStore &records, const std::vector<std::optional<double>> &u)
{
    Table &bb = records.cdsBB;
    std::size_t i = 0;
    ForEachRow(bb, [&] {
        bb.edit();
        ReferencePointRowEditor(bb).setUT(u[i]);
        bb.post();
        ++i;
    });
}


// The document as bytes that differ wherever two documents differ, for issuing without a
// painter.
std::string documentBytes(const CertificateDocument &document)
{
    std::string bytes = CertificateStatement(document) + document.notice;
    for (const auto &[label, value] : document.issue.rows)
        bytes += label + value;
    return bytes;
}

class CertificateTest : public RecordsTest
{
protected:
    void SetUp() override
    {
        importComputedRecord(records, "First", 7);
        importComputedRecord(records, "Second", 7);
    }

    void select(const std::string &name)
    {
        records.setRecordOrder(RecordOrder::ByName);
        records.cdsMain.findNearest(name);
        ASSERT_EQ(RecordRow(records.cdsMain).name(), name);
    }

    void setLaboratory(const LaboratorySettings &laboratory)
    {
        records.store.setSettings(WithLaboratorySettings(records.store.settings(), laboratory));
    }

    LaboratorySettings laboratory() const
    {
        return LaboratorySettingsOf(records.store.settings());
    }

    // Issues a certificate of the current record; the document is kept, the saves counted.
    IssuedCertificate issue(DateTime now, CertificateChoices choices = {},
                            const std::function<void()> &save = {})
    {
        const CertificateRendering rendering{
            [this](const CertificateDocument &d) {
                document = d;
                return documentBytes(d);
            },
            test::testDigest};
        return IssueCertificate(records, choices, now, rendering, [this, &save] {
            ++saves;
            if (save)
                save();
        });
    }

    std::string recordNumber() const { return RecordRow(records.cdsMain).certNo(); }
    const std::vector<CertificateEntry> &entries() const
    {
        return records.store.certificates();
    }

    CertificateDocument document;
    int saves = 0;
};

struct IssueStep
{
    const char *record;
    bool changed;       // the record's remarks are changed first
    DateTime now;
    const char *number; // of the record's certificate afterwards
    DateTime issued;
    int nextNumber;     // the laboratory's counter afterwards
    const char *replaces; // empty: none; nullptr: refused, as nothing changed
};

TEST_F(CertificateTest, EveryIssueHasANewNumberAndAnUnchangedRecordGetsNone)
{
    const IssueStep steps[] = {
        {"Second", false, on(2026, 3, 5), "KV-2026-0001", on(2026, 3, 5), 2, ""},
        {"Second", false, on(2026, 4, 1), "KV-2026-0001", on(2026, 3, 5), 2, nullptr},
        {"Second", true, on(2026, 4, 2), "KV-2026-0002", on(2026, 4, 2), 3, "KV-2026-0001"},
        {"First", false, on(2026, 4, 3), "KV-2026-0003", on(2026, 4, 3), 4, ""},
        {"First", true, on(2027, 1, 2), "KV-2027-0001", on(2027, 1, 2), 2, "KV-2026-0003"},
        {"Second", false, on(2027, 1, 3), "KV-2026-0002", on(2026, 4, 2), 2, nullptr},
        {"Second", true, on(2027, 1, 3), "KV-2027-0002", on(2027, 1, 3), 3, "KV-2026-0002"},
    };
    int remark = 0;
    for (const IssueStep &step : steps) {
        select(step.record);
        if (step.changed)
            editRecord([&remark](RecordRowEditor &record) {
                record.setRem("Remark " + std::to_string(++remark));
            });
        const std::string where = std::string(step.record) + " on "
                                  + formatIsoDateTime(step.now);
        const std::size_t registered = entries().size();
        const int savesBefore = saves;
        if (step.replaces == nullptr) {
            try {
                issue(step.now);
                ADD_FAILURE() << where << ": issued again for an unchanged record";
            } catch (const CertificateUnchangedError &error) {
                EXPECT_EQ(error.number(), step.number) << where;
            }
            EXPECT_EQ(entries().size(), registered) << where;
            EXPECT_EQ(saves, savesBefore) << where;
        } else {
            const IssuedCertificate issued = issue(step.now);
            EXPECT_EQ(issued.entry.number, step.number) << where;
            EXPECT_EQ(issued.entry.replaces, step.replaces) << where;
            EXPECT_EQ(issued.bytes, documentBytes(document)) << where;
            ASSERT_EQ(entries().size(), registered + 1) << where;
            EXPECT_EQ(entries().back().number, step.number) << where;
            EXPECT_EQ(entries().back().recordName, step.record) << where;
            EXPECT_EQ(entries().back().sha256, test::testDigest(issued.bytes)) << where;
            EXPECT_EQ(entries().back().document, issued.bytes) << "kept until saved";
            EXPECT_EQ(saves, savesBefore + 1) << where;
            EXPECT_EQ(document.issue.rows.at(0).second, step.number) << where;
            EXPECT_EQ(document.issue.rows.at(1).second,
                      formatIsoDateTime(step.issued).substr(0, 10))
                << where;
            EXPECT_EQ(document.notice.empty(), std::string(step.replaces).empty()) << where;
            EXPECT_NE(document.notice.find(step.replaces), std::string::npos) << where;
        }
        EXPECT_EQ(recordNumber(), step.number) << where;
        EXPECT_EQ(RecordRow(records.cdsMain).certIssued(), step.issued) << where;
        EXPECT_EQ(laboratory().nextNumber, step.nextNumber) << where;
    }
    EXPECT_EQ(ReplacedByOf(entries(), entries().front()), "KV-2026-0002");
    EXPECT_EQ(ReplacedByOf(entries(), entries().back()), "");
}

// What a certificate states changes its fingerprint; what it only carries as its number, date
// and replacement does not.
TEST_F(CertificateTest, TheFingerprintCoversWhatTheCertificateStatesAndNothingElse)
{
    select("First");
    const auto fingerprint = [this](CertificateChoices choices = {}) {
        CertificateIssue plan = PlanCertificateIssue(records, on(2026, 3, 5));
        CertificateData data = CollectCertificateData(records, plan, choices);
        return CertificateFingerprint(CertificateDocumentOf(data), test::testDigest);
    };
    const std::string before = fingerprint();
    const IssuedCertificate issued = issue(on(2026, 3, 5));
    EXPECT_EQ(issued.entry.fingerprint, before);
    EXPECT_EQ(fingerprint(), before) << "a new counter and number";
    EXPECT_FALSE(ChangedSinceIssued(records, entries().back(), test::testDigest));

    CertificateChoices step100;
    step100.step = 100;
    EXPECT_NE(fingerprint(step100), before);
    LaboratorySettings lab = laboratory();
    lab.address = "2 Furnace Lane";
    setLaboratory(lab);
    EXPECT_NE(fingerprint(), before);
    EXPECT_TRUE(ChangedSinceIssued(records, entries().back(), test::testDigest));
    lab.address.clear();
    setLaboratory(lab);
    SetItemDetails(records, {"ACME", "", "", ""});
    EXPECT_TRUE(ChangedSinceIssued(records, entries().back(), test::testDigest));
    SetItemDetails(records, {});
    EXPECT_FALSE(ChangedSinceIssued(records, entries().back(), test::testDigest));
    editRecord([](RecordRowEditor &record) { record.setWS(1e-3); });
    EXPECT_FALSE(ChangedSinceIssued(records, entries().back(), test::testDigest))
        << "w changes no U while no point has its u(T)";
    setPointUncertainties(records, std::vector<std::optional<double>>(7, 10.0));
    EXPECT_TRUE(ChangedSinceIssued(records, entries().back(), test::testDigest));
}

TEST_F(CertificateTest, ACounterWithoutTheYearGoesOnInANewYear)
{
    LaboratorySettings lab;
    lab.numberPattern = "C{nnn}";
    lab.nextNumber = 41;
    lab.counterYear = 2026;
    setLaboratory(lab);
    select("First");
    EXPECT_EQ(issue(on(2027, 1, 2)).entry.number, "C041");
    EXPECT_EQ(laboratory().nextNumber, 42);
}

TEST_F(CertificateTest, ANumberThatTheRegisterOrARecordHoldsIsSkipped)
{
    select("First");
    issue(on(2026, 3, 5));
    select("Second");
    issue(on(2026, 3, 5));
    // KV-2026-0001 now stays in the register alone, KV-2026-0002 in the record too.
    select("First");
    records.cdsMain.remove();
    LaboratorySettings lab = laboratory();
    lab.nextNumber = 1;
    setLaboratory(lab);
    select("Second");
    editRecord([](RecordRowEditor &record) { record.setRem("Recalibrated"); });
    EXPECT_EQ(issue(on(2026, 3, 6)).entry.number, "KV-2026-0003");
    EXPECT_EQ(laboratory().nextNumber, 4);
}

TEST_F(CertificateTest, ACounterThatHasRunOutIsRefused)
{
    LaboratorySettings lab;
    lab.numberPattern = "{n}";
    lab.nextNumber = MaxCertificateCounter;
    setLaboratory(lab);
    select("First");
    EXPECT_EQ(issue(on(2026, 3, 5)).entry.number, std::to_string(MaxCertificateCounter));
    select("Second");
    EXPECT_THROW(issue(on(2026, 3, 5)), Error);
    EXPECT_EQ(recordNumber(), "");
}

// A save that fails leaves no number used: the record, the counter and the register are as
// they were, and the next issue plans the same number.
TEST_F(CertificateTest, AFailedSaveLeavesTheRecordTheCounterAndTheRegisterAsTheyWere)
{
    select("First");
    const Settings before = records.store.settings();
    EXPECT_THROW(issue(on(2026, 3, 5), {}, [] { throw Error("Disk full"); }), Error);
    EXPECT_EQ(recordNumber(), "");
    EXPECT_EQ(RecordRow(records.cdsMain).certIssued(), std::nullopt);
    EXPECT_EQ(records.store.settings(), before);
    EXPECT_TRUE(entries().empty());
    EXPECT_TRUE(records.store.changes().certificatesAdded.empty());
    EXPECT_EQ(PlanCertificateIssue(records, on(2026, 3, 5)).number, "KV-2026-0001");
    EXPECT_EQ(issue(on(2026, 3, 5)).entry.number, "KV-2026-0001");
}

TEST_F(CertificateTest, APatternThatCannotMakeNumbersIsRefusedBeforeAnythingIsWritten)
{
    LaboratorySettings lab;
    lab.numberPattern = "KV-{yyyy}";
    setLaboratory(lab);
    select("First");
    try {
        issue(on(2026, 3, 5));
        ADD_FAILURE() << "issued without a counter in the pattern";
    } catch (const Error &error) {
        EXPECT_NE(std::string(error.what()).find("counter"), std::string::npos);
    }
    EXPECT_EQ(saves, 0);
    EXPECT_TRUE(document.sections.empty()) << "nothing rendered";
    EXPECT_EQ(recordNumber(), "");
}

TEST_F(CertificateTest, ItemDetailsAreStoredInTheRecordOnlyWhenTheyChange)
{
    select("First");
    const ItemDetails item{"ACME Pyrometry", "Kelvotherm", "KT-16", "0042"};
    SetItemDetails(records, item);
    EXPECT_EQ(ItemDetailsOf(records), item);
    select("Second");
    EXPECT_EQ(ItemDetailsOf(records), ItemDetails{});
    const std::size_t changed = records.store.changes().changed.size();
    SetItemDetails(records, ItemDetails{});
    EXPECT_EQ(records.store.changes().changed.size(), changed);
}

// ---- what a certificate is refused for ----

struct RefusalCase
{
    const char *name;
    bool computed;
    double TMin, TMax;
    int step;
    const char *says; // empty: a certificate is issued
};

const RefusalCase RefusalCases[] = {
    {"Computed", true, 600, 1200, 50, ""},
    {"NotComputed", false, 600, 1200, 50, "has no calibration results"},
    {"StepZero", true, 600, 1200, 0, "must be a whole number of kelvins from 1 to 10000"},
    {"StepTooLarge", true, 600, 1200, 10001, "must be a whole number"},
    {"NoMultipleInTheRange", true, 612.5, 699.5, 100, "No multiple of 100 K lies"},
    {"OneRowAtTheUpperEnd", true, 612.5, 700, 100, ""},
    {"TooManyRows", true, 600, 2600.5, 1, "more than 2000 rows"},
    {"AtMostTheRowsAllowed", true, 600, 2599, 1, ""},
};

class CertificateRefusalTest : public RecordsTest,
                               public ::testing::WithParamInterface<RefusalCase>
{
};

TEST_P(CertificateRefusalTest, SaysWhyNoCertificateIsIssued)
{
    const RefusalCase &c = GetParam();
    if (c.computed)
        importComputedRecord(records, "Lamp", 7);
    else
        ImportRecord(records, samples::noisyRecordFile(7), "Lamp");
    editRecord([&c](RecordRowEditor &record) {
        record.setTMin(c.TMin);
        record.setTMax(c.TMax);
    });
    CertificateChoices choices;
    choices.step = c.step;
    const CertificateRendering rendering{documentBytes, test::testDigest};
    const std::string refusal = CertificateRefusal(records, choices);
    if (std::string(c.says).empty()) {
        EXPECT_EQ(refusal, "");
        EXPECT_NO_THROW(IssueCertificate(records, choices, on(2026, 3, 5), rendering, [] {}));
    } else {
        EXPECT_NE(refusal.find(c.says), std::string::npos) << refusal;
        EXPECT_THROW(IssueCertificate(records, choices, on(2026, 3, 5), rendering, [] {}),
                     Error);
        EXPECT_EQ(RecordRow(records.cdsMain).certNo(), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Records, CertificateRefusalTest, ::testing::ValuesIn(RefusalCases),
                         CaseName);

TEST_F(RecordsTest, ARecordWithoutResultsIsRefusedByName)
{
    ImportRecord(records, samples::noisyRecordFile(5), "Furnace 2");
    EXPECT_EQ(RecordCertificateRefusal(records),
              "The record \"Furnace 2\" has no calibration results: compute its parameters and"
              " save them before a certificate is issued");
}

// ---- what a certificate states ----

struct TableCase
{
    const char *name;
    double TMin, TMax;
    int step;
    double first, last;
};

const TableCase TableCases[] = {
    {"EndsOnTheStep", 600, 2500, 50, 600, 2500},
    {"EndsBetweenSteps", 612.5, 1777, 50, 650, 1750},
    {"StepOfOneKelvin", 999.999, 1003.001, 1, 1000, 1003},
    {"WideStep", 600, 2500, 1000, 1000, 2000},
};

class CalibrationTableTest : public RecordsTest, public ::testing::WithParamInterface<TableCase>
{
};

// Every multiple of the step within the range of validity and nothing outside it, each with
// the signal of the equation worked out here from the stated A, B and C.
TEST_P(CalibrationTableTest, HoldsEveryStepOfTheRangeWithTheSignalOfTheStatedParameters)
{
    const TableCase &c = GetParam();
    importComputedRecord(records, "Lamp", 20);
    editRecord([&c](RecordRowEditor &record) {
        record.setTMin(c.TMin);
        record.setTMax(c.TMax);
    });
    CertificateChoices choices;
    choices.step = c.step;
    const CertificateData data =
        CollectCertificateData(records, PlanCertificateIssue(records, on(2026, 3, 5)),
                               choices);
    const long double A = parseFloat(data.parameters.A);
    const long double B = parseFloat(data.parameters.B);
    const long double C = parseFloat(data.parameters.C);
    ASSERT_FALSE(data.table.empty());
    EXPECT_EQ(static_cast<double>(data.table.front().T), c.first);
    EXPECT_EQ(static_cast<double>(data.table.back().T), c.last);
    EXPECT_EQ(data.table.size(), static_cast<std::size_t>((c.last - c.first) / c.step + 1));
    for (std::size_t i = 0; i < data.table.size(); ++i) {
        const CalibrationRow &row = data.table[i];
        EXPECT_EQ(static_cast<double>(row.T), c.first + static_cast<double>(i) * c.step);
        const long double expected = signalAt(A, B, C, row.T);
        EXPECT_NEAR(static_cast<double>(row.S / expected), 1.0, 1e-15) << row.T << " K";
        EXPECT_FALSE(row.U.has_value());
    }
}

INSTANTIATE_TEST_SUITE_P(Ranges, CalibrationTableTest, ::testing::ValuesIn(TableCases),
                         CaseName);

struct MethodCase
{
    const char *name;
    double rmsLM, rmsPSO;
    std::optional<FitMethod> chosen;
    FitMethod stated;
};

const MethodCase MethodCases[] = {
    {"LowerRMSOfTheSwarm", 2.0, 1.5, std::nullopt, FitMethod::ParticleSwarm},
    {"LowerRMSOfLevenbergMarquardt", 1.5, 2.0, std::nullopt, FitMethod::LevenbergMarquardt},
    {"EqualRMS", 1.5, 1.5, std::nullopt, FitMethod::LevenbergMarquardt},
    {"ChosenAgainstTheRMS", 1.5, 2.0, FitMethod::ParticleSwarm, FitMethod::ParticleSwarm},
};

class StatedMethodTest : public RecordsTest, public ::testing::WithParamInterface<MethodCase>
{
};

TEST_P(StatedMethodTest, StatesTheTripleOfTheFitChosenOrWithTheLowerRMS)
{
    const MethodCase &c = GetParam();
    importComputedRecord(records, "Lamp", 7);
    editRecord([&c](RecordRowEditor &record) {
        record.setMeanRMSLM(c.rmsLM);
        record.setMeanRMSPSO(c.rmsPSO);
        record.setSeed(4294967295u);
    });
    CertificateChoices choices;
    choices.method = c.chosen;
    const CertificateData data = CollectCertificateData(
        records, PlanCertificateIssue(records, on(2026, 3, 5)), choices);
    const bool swarm = c.stated == FitMethod::ParticleSwarm;
    EXPECT_EQ(data.method, c.stated);
    const RecordRow record(records.cdsMain);
    EXPECT_EQ(data.parameters.A, record.text(swarm ? RecordField::APSO : RecordField::ALM));
    EXPECT_EQ(data.parameters.B, record.text(swarm ? RecordField::BPSO : RecordField::BLM));
    EXPECT_EQ(data.parameters.C, record.text(swarm ? RecordField::CPSO : RecordField::CLM));
    EXPECT_EQ(data.meanRMS, swarm ? c.rmsPSO : c.rmsLM);
    EXPECT_EQ(data.swarmSeed, swarm ? std::optional<std::uint32_t>(4294967295u) : std::nullopt)
        << "the seed is stated with the swarm's result only";
    ASSERT_EQ(data.points.size(), 7u);
    for (int i = 1; i <= 7; ++i) {
        records.cdsBB.setRecNo(i);
        const CertificatePoint &point = data.points[static_cast<std::size_t>(i - 1)];
        const ReferencePointRow stored(records.cdsBB);
        EXPECT_EQ(point.fittedT, swarm ? stored.TPSO() : stored.TLM());
        EXPECT_EQ(point.deviation, swarm ? stored.dTPSO() : stored.dTLM());
    }
}

INSTANTIATE_TEST_SUITE_P(Fits, StatedMethodTest, ::testing::ValuesIn(MethodCases), CaseName);

TEST_F(RecordsTest, MeasurementsGetTheInterpolationsTemperaturesAndTheirRangeWarnings)
{
    TParamVector truth;
    truth[1] = 0.65L;
    truth[2] = 0.15L;
    truth[3] = 3e6L;
    // Reference points from 600 K to 1000 K.
    const std::vector<long double> signals{SHSignal(truth, 800), SHSignal(truth, 599),
                                           SHSignal(truth, 1001), 0.0L};
    importComputedRecord(records, "Lamp", 5);
    LoadSignals(records, signals);
    // The interpolation stores a temperature for each row before the signal of 0.
    EXPECT_THROW(InterpolateMeasurements(records,
                                         ParameterTextsOf(records, FitMethod::LevenbergMarquardt,
                                                          TextLocale{}),
                                         '.'),
                 FloatError);
    CertificateChoices choices;
    choices.method = FitMethod::LevenbergMarquardt;
    const CertificateData data = CollectCertificateData(
        records, PlanCertificateIssue(records, on(2026, 3, 5)), choices);
    ASSERT_EQ(data.measurements.size(), 4u);
    struct Expected
    {
        bool outside;
        bool hasT;
    };
    const Expected expected[] = {{false, true}, {true, true}, {true, true}, {true, false}};
    for (std::size_t i = 0; i < data.measurements.size(); ++i) {
        const CertificateMeasurement &m = data.measurements[i];
        records.cdsInterp.setRecNo(static_cast<int>(i) + 1);
        EXPECT_EQ(m.S, MeasurementRow(records.cdsInterp).S()) << i;
        EXPECT_EQ(m.signalOutside, expected[i].outside) << i;
        EXPECT_EQ(m.temperatureOutside, expected[i].outside && expected[i].hasT) << i;
        ASSERT_EQ(m.T.has_value(), expected[i].hasT) << i;
        if (m.T)
            EXPECT_EQ(static_cast<double>(*m.T), MeasurementRow(records.cdsInterp).T()) << i;
        else
            EXPECT_EQ(m.fault, "Floating point division by zero");
    }
}

// The points' uncertainties as given; U of the table rows and measurements, and the Birge
// ratio, propagated at the stated triple when every point has one, and nothing else.
TEST_F(RecordsTest, CertificateStatesTheUncertaintiesOfTheRecord)
{
    TParamVector truth;
    truth[1] = 0.65L;
    truth[2] = 0.15L;
    truth[3] = 3e6L;
    importComputedRecord(records, "Lamp", 5, {SHSignal(truth, 800), SHSignal(truth, 1100)});
    setPointUncertainties(records, {10.0, 10.0, std::nullopt, 10.0, 10.0});
    CertificateChoices choices;
    choices.method = FitMethod::LevenbergMarquardt;
    const CertificateIssue issue = PlanCertificateIssue(records, on(2026, 3, 5));
    CertificateData data = CollectCertificateData(records, issue, choices);
    EXPECT_EQ(data.points[1].u, 10.0);
    EXPECT_FALSE(data.points[2].u.has_value());
    EXPECT_FALSE(data.birgeRatio.has_value()) << "not every point has its u(T)";
    for (const CalibrationRow &row : data.table)
        EXPECT_FALSE(row.U.has_value());

    setPointUncertainties(records, {10.0, 10.0, 10.0, 10.0, 10.0});
    data = CollectCertificateData(records, issue, choices);
    const UncertaintyPropagation propagation(data.P, UncertainPointsOf(records));
    ASSERT_TRUE(data.birgeRatio.has_value());
    // Errors of -20, 0 and +20 mK about the curve against u(T) of 10 mK.
    EXPECT_GT(*data.birgeRatio, 1.0);
    EXPECT_EQ(*data.birgeRatio, static_cast<double>(*propagation.birgeRatio()));
    ASSERT_FALSE(data.table.empty());
    for (const CalibrationRow &row : data.table) {
        ASSERT_TRUE(row.U.has_value()) << row.T;
        EXPECT_NEAR(*row.U, 2000.0 * static_cast<double>(*propagation.at(row.S, 0).uRef),
                    1e-9);
        EXPECT_GT(*row.U, 5.0) << "at least about the points' own 10 mK, reduced by the fit";
    }
    ASSERT_EQ(data.measurements.size(), 2u);
    for (const CertificateMeasurement &m : data.measurements)
        EXPECT_TRUE(m.U.has_value());
}

// ---- the document's texts ----

struct UncertaintyCase
{
    const char *name;
    bool uncertainties;
    std::optional<double> birge;
    std::vector<const char *> said;
    std::vector<const char *> unsaid;
};

const UncertaintyCase UncertaintyCases[] = {
    {"NoneEvaluated", false, std::nullopt,
     {"No measurement uncertainty was evaluated"},
     {"U (k = 2)", "u(T)", "coverage factor", "Birge"}},
    {"EvaluatedWithoutBirgeRatio", true, std::nullopt,
     {"coverage factor k = 2", "approximately 95 %"},
     {"No measurement uncertainty", "Birge"}},
    {"BirgeRatioAtMostTwo", true, 1.5, {"The Birge ratio of the fit is 1.50."}, {"exceeds 2"}},
    {"BirgeRatioAboveTwo", true, 2.25,
     {"The Birge ratio of the fit is 2.25.", "do not explain the scatter"},
     {}},
};

// Every text of the document, one after another.
std::string allTexts(const CertificateDocument &document)
{
    std::string text;
    for (const CertificateSection &section : document.sections) {
        text += section.heading + "\n";
        for (const CertificateBlock &block : section.blocks) {
            if (const auto *p = std::get_if<Paragraph>(&block))
                text += p->text + "\n";
            if (const auto *table = std::get_if<TextTable>(&block)) {
                for (const std::string &cell : table->header)
                    text += cell + "|";
                for (const auto &row : table->rows)
                    for (const std::string &cell : row)
                        text += cell + "|";
                text += "\n";
            }
        }
    }
    return text;
}

class UncertaintyStatementTest : public RecordsTest,
                                 public ::testing::WithParamInterface<UncertaintyCase>
{
};

TEST_P(UncertaintyStatementTest, SaysWhatWasEvaluatedAndNothingElse)
{
    const UncertaintyCase &c = GetParam();
    importComputedRecord(records, "Lamp", 5, {0.2L});
    CertificateData data =
        CollectCertificateData(records, PlanCertificateIssue(records, on(2026, 3, 5)), {});
    EXPECT_FALSE(HasUncertainties(data)) << "the record holds none";
    if (c.uncertainties) {
        data.points.front().u = 12.5;
        data.table.front().U = 31.25;
        data.measurements.front().U = 41.75;
    }
    data.birgeRatio = c.birge;
    const std::string text = allTexts(CertificateDocumentOf(data));
    for (const char *said : c.said)
        EXPECT_NE(text.find(said), std::string::npos) << said;
    for (const char *unsaid : c.unsaid)
        EXPECT_EQ(text.find(unsaid), std::string::npos) << unsaid;
    if (c.uncertainties) {
        for (const char *value : {"|12.50|", "|31.3|", "|41.8|"})
            EXPECT_NE(text.find(value), std::string::npos) << value;
    }
}

INSTANTIATE_TEST_SUITE_P(Statements, UncertaintyStatementTest,
                         ::testing::ValuesIn(UncertaintyCases), CaseName);

} // namespace
} // namespace kelvora::test
