#include "tables/schema.h"

#include "core/errors.h"

#include <algorithm>

namespace kelvora {

namespace {

FieldDef stringField(std::string name, int size, bool required)
{
    return FieldDef{std::move(name), FieldKind::String, size, required, {}, 15};
}

FieldDef plainField(std::string name, FieldKind kind)
{
    return FieldDef{std::move(name), kind, 0, false, {}, 15};
}

FieldDef floatField(std::string name, std::string displayFormat = {}, bool required = false,
                    int displayDigits = 15)
{
    return FieldDef{std::move(name), FieldKind::Float, 0, required, std::move(displayFormat),
                    displayDigits};
}

// The signal columns show fewer digits than the other general-format numbers.
constexpr int SignalDigits = 12;

TableSchema makeMainSchema()
{
    TableSchema s;
    s.name = "cdsMain";
    s.fields = {
        stringField("Name", 100, true),
        plainField("Created", FieldKind::DateTime),
        plainField("Processed", FieldKind::DateTime),
        floatField("MeanWL", "0.0####"),
        floatField("Bandwidth", "0.0####"),
        floatField("TMin", "0.0000"),
        floatField("TMax", "0.0000"),
        floatField("SMin"),
        floatField("SMax"),
        floatField("AS"),
        floatField("BS"),
        floatField("CS"),
        floatField("ALM"),
        floatField("BLM"),
        floatField("CLM"),
        floatField("MeanRMSLM", "0.0000"),
        floatField("APSO"),
        floatField("BPSO"),
        floatField("CPSO"),
        floatField("MeanRMSPSO", "0.0000"),
        plainField("Rem", FieldKind::Memo),
        plainField("Report", FieldKind::Memo),
        plainField("BB", FieldKind::Nested),
        plainField("RecNo", FieldKind::Calculated),
        plainField("RecordCount", FieldKind::Calculated),
        plainField("Computed", FieldKind::Boolean),
        plainField("Interp", FieldKind::Nested),
        // The calibrated item and its certificate. Fields are only ever appended, so that
        // files written before them read with them empty.
        stringField("Customer", 200, false),
        stringField("Make", 100, false),
        stringField("Model", 100, false),
        stringField("Serial", 100, false),
        stringField("CertNo", 100, false),
        plainField("CertIssued", FieldKind::DateTime),
        // The seed of the particle swarm fit whose result the record holds (a whole number
        // of 0 to 4294967295); empty before the first calibration and in records saved
        // before it was kept.
        plainField("Seed", FieldKind::Integer),
        // The uncertainty settings: the relative standard uncertainty w of a measured signal
        // (empty: 0), and the Monte Carlo check's number of trials and seed (empty: the
        // defaults).
        floatField("wS"),
        plainField("MCTrials", FieldKind::Integer),
        plainField("MCSeed", FieldKind::Integer),
    };
    s.indexes = {
        IndexDef{"cdsMainIndex1", "Name", false, false, false},
        IndexDef{"cdsMainIndex2", "Created", true, true, true},
    };
    return s;
}

TableSchema makeBBSchema()
{
    TableSchema s;
    s.name = "cdsBB";
    s.fields = {
        plainField("inc", FieldKind::AutoInc),
        floatField("S", {}, true, SignalDigits),
        floatField("T", "0.0###", true),
        floatField("TLM", "0.0###"),
        floatField("TPSO", "0.0###"),
        floatField("dTLM", "0.00"),
        floatField("dTPSO", "0.00"),
        floatField("Difference", "0.00"),
        plainField("RecNo", FieldKind::Calculated),
        plainField("RecordCount", FieldKind::Calculated),
        // The standard uncertainty of T in mK; empty: not given.
        floatField("uT", "0.0##"),
    };
    s.indexes = {IndexDef{"cdsBBIndex1", "inc", false, true, true}};
    s.nestedIndex = 0;
    return s;
}

TableSchema makeInterpSchema()
{
    TableSchema s;
    s.name = "cdsInterp";
    s.fields = {
        plainField("inc", FieldKind::AutoInc),
        floatField("S", {}, false, SignalDigits),
        floatField("T", "0.0000"),
        plainField("RecNo", FieldKind::Calculated),
        plainField("RecordCount", FieldKind::Calculated),
        // The expanded uncertainty (k = 2) of T in mK, computed with it; empty where the
        // reference points have no uncertainties.
        floatField("U", "0.000"),
    };
    s.indexes = {IndexDef{"cdsInterpIndex1", "inc", false, true, true}};
    s.nestedIndex = 1;
    return s;
}

// The positions of RecordField, ReferencePointField and MeasurementField are those of the
// fields here; a schema that another edit put out of step with them stops the program at its
// first use rather than read one field for another.
template <typename Position>
const TableSchema &checked(const TableSchema &schema, Position last, const char *lastName)
{
    if (schema.fields.size() != static_cast<std::size_t>(fieldIndex(last)) + 1
        || schema.fields.back().name != lastName)
        throw StoreError("The fields of table " + schema.name + " are out of step with their"
                         " positions");
    return schema;
}

} // namespace

int TableSchema::fieldIndex(std::string_view field) const
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name == field)
            return static_cast<int>(i);
    }
    return -1;
}

const FieldDef &TableSchema::field(std::string_view field) const
{
    const int i = fieldIndex(field);
    if (i < 0)
        throw StoreError("Field '" + std::string(field) + "' not found");
    return fields[static_cast<std::size_t>(i)];
}

const TableSchema &mainSchema()
{
    static const TableSchema schema = checked(makeMainSchema(), RecordField::MCSeed, "MCSeed");
    return schema;
}

const TableSchema &bbSchema()
{
    static const TableSchema schema = checked(makeBBSchema(), ReferencePointField::uT, "uT");
    return schema;
}

const TableSchema &interpSchema()
{
    static const TableSchema schema = checked(makeInterpSchema(), MeasurementField::U, "U");
    return schema;
}

const std::string &fieldName(RecordField field)
{
    return mainSchema().fields[static_cast<std::size_t>(fieldIndex(field))].name;
}

const std::string &fieldName(ReferencePointField field)
{
    return bbSchema().fields[static_cast<std::size_t>(fieldIndex(field))].name;
}

const std::string &fieldName(MeasurementField field)
{
    return interpSchema().fields[static_cast<std::size_t>(fieldIndex(field))].name;
}

int textLimit(RecordField field)
{
    return mainSchema().fields[static_cast<std::size_t>(fieldIndex(field))].size;
}

std::size_t characterCount(std::string_view text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string lengthRefusal(const std::string &what, std::string_view text, int limit)
{
    const std::size_t length = characterCount(text);
    if (length <= static_cast<std::size_t>(limit))
        return {};
    return what + " is " + std::to_string(length) + " characters long, more than the "
           + std::to_string(limit) + " it may hold";
}

} // namespace kelvora
