#pragma once

#include "core/datetime.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kelvora {

enum class FieldKind {
    String,     // text of at most `size` characters
    Memo,       // text of any length
    Float,      // IEEE double
    Integer,    // a whole number (64 bits)
    Boolean,
    DateTime,
    AutoInc,    // assigned by the store when the row is added
    Nested,     // a nested table; its rows live in RowData::nested
    Calculated, // an integer computed on reading (RecNo, RecordCount), never stored
};

struct FieldDef
{
    std::string name;
    FieldKind kind = FieldKind::Float;
    int size = 0;              // String: most characters kept
    bool required = false;
    std::string displayFormat; // pattern for bound displays; empty: general format
    int displayDigits = 15;    // significant digits of the general format
};

struct IndexDef
{
    std::string name;
    std::string field;
    bool descending = false;
    bool unique = false;
    bool primary = false;
};

struct TableSchema
{
    std::string name;
    std::vector<FieldDef> fields;
    std::vector<IndexDef> indexes;
    int nestedIndex = -1; // for a nested table: which nested field of the master holds its rows

    // Position of a field, or -1.
    int fieldIndex(std::string_view field) const;
    const FieldDef &field(std::string_view field) const; // StoreError when unknown
};

// The fields of each table by position, in the order of the record layout; the schemas below
// give each its name, kind and size. Typed access goes through the row views of
// tables/rows.h, which read and write by these positions.
enum class RecordField : int {
    Name, Created, Processed, MeanWL, Bandwidth, TMin, TMax, SMin, SMax,
    AS, BS, CS, ALM, BLM, CLM, MeanRMSLM, APSO, BPSO, CPSO, MeanRMSPSO,
    Rem, Report, BB, RecNo, RecordCount, Computed, Interp,
    Customer, Make, Model, Serial, CertNo, CertIssued, Seed, wS, MCTrials, MCSeed,
};
enum class ReferencePointField : int {
    inc, S, T, TLM, TPSO, dTLM, dTPSO, Difference, RecNo, RecordCount, uT,
};
enum class MeasurementField : int { inc, S, T, RecNo, RecordCount, U };

// The position of a field in its table's schema.
constexpr int fieldIndex(RecordField field) { return static_cast<int>(field); }
constexpr int fieldIndex(ReferencePointField field) { return static_cast<int>(field); }
constexpr int fieldIndex(MeasurementField field) { return static_cast<int>(field); }

// cdsMain with its two nested tables, fields and orders in the order of the record layout.
const TableSchema &mainSchema();
const TableSchema &bbSchema();
const TableSchema &interpSchema();
// The name of a field, as bound displays and the database file know it.
const std::string &fieldName(RecordField field);
const std::string &fieldName(ReferencePointField field);
const std::string &fieldName(MeasurementField field);
// The most characters a text field of a record holds.
int textLimit(RecordField field);

// The number of characters of a UTF-8 text, as the size of a text field counts them.
std::size_t characterCount(std::string_view text);
// Why a text is longer than `limit` characters: "<what> is <n> characters long, more than the
// <limit> it may hold"; empty when it fits.
std::string lengthRefusal(const std::string &what, std::string_view text, int limit);

// An empty value is std::monostate (a null field).
using Value = std::variant<std::monostate, std::int64_t, double, bool, std::string, DateTime>;

struct RowData;

struct NestedRows
{
    std::vector<RowData> rows; // in the order of the table's only index, `inc`
    std::int64_t nextInc = 1;  // the next auto-increment value of this record's table
};

struct RowData
{
    std::vector<Value> values;       // one per field of the schema; Nested/Calculated unused
    std::vector<NestedRows> nested;  // cdsMain: [0] reference points, [1] measurements
};

} // namespace kelvora
