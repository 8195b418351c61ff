#include "core/errors.h"
#include "tables/rows.h"
#include "tests/tables_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace kelvora::storetest {

namespace {

// What one accessor of a view writes and reads, against the field the schema names.
template <typename Editor, typename Row>
struct AccessorCase
{
    const char *field;
    std::function<void(Editor &)> write;
    Value stored;                                // what the table then holds under `field`
    std::function<Value(const Row &)> read;      // the getter, as a stored value
};

using RecordCase = AccessorCase<RecordRowEditor, RecordRow>;
using PointCase = AccessorCase<ReferencePointRowEditor, ReferencePointRow>;
using MeasurementCase = AccessorCase<MeasurementRowEditor, MeasurementRow>;

DateTime at(std::int64_t milliseconds) { return DateTime{milliseconds}; }

// Every value differs from every other, so that an accessor that reaches a neighbour's field
// shows in the table.
const std::vector<RecordCase> &recordCases()
{
    static const std::vector<RecordCase> cases = {
        {"Name", [](auto &r) { r.setName("Probe"); }, std::string("Probe"),
         [](const auto &r) { return Value(r.name()); }},
        {"Processed", [](auto &r) { r.setProcessed(at(7000)); }, at(7000),
         [](const auto &r) { return Value(*r.processed()); }},
        {"MeanWL", [](auto &r) { r.setMeanWL(0.65); }, 0.65,
         [](const auto &r) { return Value(r.meanWL()); }},
        {"Bandwidth", [](auto &r) { r.setBandwidth(0.01); }, 0.01,
         [](const auto &r) { return Value(r.bandwidth()); }},
        {"TMin", [](auto &r) { r.setTMin(400.5); }, 400.5,
         [](const auto &r) { return Value(r.TMin()); }},
        {"TMax", [](auto &r) { r.setTMax(1300.5); }, 1300.5,
         [](const auto &r) { return Value(r.TMax()); }},
        {"SMin", [](auto &r) { r.setSMin(1e-6); }, 1e-6,
         [](const auto &r) { return Value(r.SMin()); }},
        {"SMax", [](auto &r) { r.setSMax(9.5); }, 9.5,
         [](const auto &r) { return Value(r.SMax()); }},
        {"AS", [](auto &r) { r.setAS(1.1); }, 1.1, [](const auto &r) { return Value(r.AS()); }},
        {"BS", [](auto &r) { r.setBS(2.1); }, 2.1, [](const auto &r) { return Value(r.BS()); }},
        {"CS", [](auto &r) { r.setCS(3.1); }, 3.1, [](const auto &r) { return Value(r.CS()); }},
        {"ALM", [](auto &r) { r.setALM(1.2); }, 1.2,
         [](const auto &r) { return Value(r.ALM()); }},
        {"BLM", [](auto &r) { r.setBLM(2.2); }, 2.2,
         [](const auto &r) { return Value(r.BLM()); }},
        {"CLM", [](auto &r) { r.setCLM(3.2); }, 3.2,
         [](const auto &r) { return Value(r.CLM()); }},
        {"MeanRMSLM", [](auto &r) { r.setMeanRMSLM(4.2); }, 4.2,
         [](const auto &r) { return Value(r.meanRMSLM()); }},
        {"APSO", [](auto &r) { r.setAPSO(1.3); }, 1.3,
         [](const auto &r) { return Value(r.APSO()); }},
        {"BPSO", [](auto &r) { r.setBPSO(2.3); }, 2.3,
         [](const auto &r) { return Value(r.BPSO()); }},
        {"CPSO", [](auto &r) { r.setCPSO(3.3); }, 3.3,
         [](const auto &r) { return Value(r.CPSO()); }},
        {"MeanRMSPSO", [](auto &r) { r.setMeanRMSPSO(4.3); }, 4.3,
         [](const auto &r) { return Value(r.meanRMSPSO()); }},
        {"Rem", [](auto &r) { r.setRem("remark"); }, std::string("remark"),
         [](const auto &r) { return Value(r.rem()); }},
        {"Report", [](auto &r) { r.setReport("report"); }, std::string("report"),
         [](const auto &r) { return Value(r.report()); }},
        {"Computed", [](auto &r) { r.setComputed(true); }, true,
         [](const auto &r) { return Value(r.computed()); }},
        {"Customer", [](auto &r) { r.setCustomer("customer"); }, std::string("customer"),
         [](const auto &r) { return Value(r.customer()); }},
        {"Make", [](auto &r) { r.setMake("make"); }, std::string("make"),
         [](const auto &r) { return Value(r.make()); }},
        {"Model", [](auto &r) { r.setModel("model"); }, std::string("model"),
         [](const auto &r) { return Value(r.model()); }},
        {"Serial", [](auto &r) { r.setSerial("serial"); }, std::string("serial"),
         [](const auto &r) { return Value(r.serial()); }},
        {"CertNo", [](auto &r) { r.setCertNo("KV-1"); }, std::string("KV-1"),
         [](const auto &r) { return Value(r.certNo()); }},
        {"CertIssued", [](auto &r) { r.setCertIssued(at(8000)); }, at(8000),
         [](const auto &r) { return Value(*r.certIssued()); }},
        {"Seed", [](auto &r) { r.setSeed(4294967295u); }, std::int64_t{4294967295},
         [](const auto &r) { return Value(std::int64_t{*r.seed()}); }},
        {"wS", [](auto &r) { r.setWS(1e-4); }, 1e-4,
         [](const auto &r) { return Value(*r.wS()); }},
        {"MCTrials", [](auto &r) { r.setMCTrials(5000); }, std::int64_t{5000},
         [](const auto &r) { return Value(std::int64_t{*r.MCTrials()}); }},
        {"MCSeed", [](auto &r) { r.setMCSeed(17u); }, std::int64_t{17},
         [](const auto &r) { return Value(std::int64_t{*r.MCSeed()}); }},
    };
    return cases;
}

const std::vector<PointCase> &pointCases()
{
    static const std::vector<PointCase> cases = {
        {"S", [](auto &r) { r.setS(0.25); }, 0.25, [](const auto &r) { return Value(r.S()); }},
        {"T", [](auto &r) { r.setT(933.473); }, 933.473,
         [](const auto &r) { return Value(r.T()); }},
        {"TLM", [](auto &r) { r.setTLM(933.5); }, 933.5,
         [](const auto &r) { return Value(r.TLM()); }},
        {"TPSO", [](auto &r) { r.setTPSO(933.6); }, 933.6,
         [](const auto &r) { return Value(r.TPSO()); }},
        {"dTLM", [](auto &r) { r.setDTLM(-1.5); }, -1.5,
         [](const auto &r) { return Value(r.dTLM()); }},
        {"dTPSO", [](auto &r) { r.setDTPSO(-2.5); }, -2.5,
         [](const auto &r) { return Value(r.dTPSO()); }},
        {"Difference", [](auto &r) { r.setDifference(0.75); }, 0.75,
         [](const auto &r) { return Value(r.difference()); }},
        {"uT", [](auto &r) { r.setUT(12.5); }, 12.5,
         [](const auto &r) { return Value(*r.uT()); }},
    };
    return cases;
}

const std::vector<MeasurementCase> &measurementCases()
{
    static const std::vector<MeasurementCase> cases = {
        {"S", [](auto &r) { r.setS(0.5); }, 0.5, [](const auto &r) { return Value(r.S()); }},
        {"T", [](auto &r) { r.setT(1000.25); }, 1000.25,
         [](const auto &r) { return Value(r.T()); }},
        {"U", [](auto &r) { r.setU(8.75); }, 8.75, [](const auto &r) { return Value(*r.U()); }},
    };
    return cases;
}

// Writes every case through the view, posts, then reads each field back by its name and by
// the view.
template <typename Editor, typename Row, typename Case>
void checkAccessors(Table &table, const std::vector<Case> &cases)
{
    Editor editor(table);
    for (const Case &c : cases)
        c.write(editor);
    table.post();
    const Row row(table);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(table.value(c.field), c.stored);
        EXPECT_EQ(c.read(row), c.stored);
    }
}

} // namespace

class RowViewTest : public StoreEngineTest
{
};

TEST_F(RowViewTest, EveryAccessorReachesTheFieldOfItsName)
{
    openWith(greekRecords());
    main.edit();
    checkAccessors<RecordRowEditor, RecordRow>(main, recordCases());
    bb.edit();
    checkAccessors<ReferencePointRowEditor, ReferencePointRow>(bb, pointCases());
    interp.append();
    checkAccessors<MeasurementRowEditor, MeasurementRow>(interp, measurementCases());
}

TEST_F(RowViewTest, EmptyFieldsReadAsNothingWhereItMatters)
{
    openWith({{"Fresh", 1000, {{0.5, 1000.0}}, {1.0}}});
    const RecordRow record(main);
    EXPECT_FALSE(record.processed());
    EXPECT_FALSE(record.certIssued());
    EXPECT_FALSE(record.seed());
    EXPECT_FALSE(record.wS());
    EXPECT_FALSE(record.MCTrials());
    EXPECT_FALSE(record.MCSeed());
    EXPECT_EQ(record.meanWL(), 0.0);
    EXPECT_EQ(record.customer(), "");
    EXPECT_FALSE(ReferencePointRow(bb).uT());
    EXPECT_FALSE(MeasurementRow(interp).U());

    interp.edit();
    MeasurementRowEditor measurement(interp);
    measurement.setU(3.5);
    measurement.clear(MeasurementField::U);
    interp.post();
    EXPECT_FALSE(MeasurementRow(interp).U());
    EXPECT_TRUE(MeasurementRow(interp).isNull(MeasurementField::U));
}

TEST_F(RowViewTest, WholeNumbersKeepTheirRange)
{
    openWith(greekRecords());
    main.edit();
    RecordRowEditor record(main);
    record.setText(RecordField::Seed, "4294967295");
    EXPECT_EQ(record.seed(), 4294967295u);
    EXPECT_EQ(record.text(RecordField::Seed), "4294967295");
    // A float is no whole number: the table refuses it rather than round it.
    EXPECT_THROW(main.setValue("Seed", 1.5), StoreError);
    EXPECT_THROW(record.setText(RecordField::Seed, "1.5"), ConvertError);
    // A value beyond the seed's range is never read as another seed.
    main.setValue("Seed", std::int64_t{4294967296});
    EXPECT_THROW((void)record.seed(), StoreError);
    main.setValue("MCTrials", std::int64_t{std::numeric_limits<int>::max()} + 1);
    EXPECT_THROW((void)record.MCTrials(), StoreError);
    main.cancel();
}

} // namespace kelvora::storetest
