#pragma once

#include "database/rowchecksum.h"
#include "tables/schema.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvora {

class SqlStatement;

// The tables and columns of the database file, as its reading and its writing know them.

// PRAGMA application_id of our files ("Klvr"); any other value is a foreign file.
inline constexpr int ApplicationId = 0x4B6C7672;
// PRAGMA user_version: the layout of the program's own tables and columns and the kinds of
// the fields; fields appended to a table do not change it. Layout 1 had no checksums and no
// save id, layout 2 no check of the whole store, layout 3 no whole-number fields (it held
// them as Float); all are still read, and their first save rewrites them.
inline constexpr int LayoutVersion = 4;
inline constexpr int LayoutWithoutIntegers = 3;
inline constexpr int LayoutWithoutStoreCheck = 2;
inline constexpr int LayoutWithoutChecksums = 1;

// Own columns besides the fields: a record's storage key, a nested row's record and position,
// the next auto-increment value of each nested table of a record, and every row's checksum.
inline constexpr const char *PosColumn = "_pos";
inline constexpr const char *RecordColumn = "_record";
inline constexpr const char *NextIncSuffix = "_nextInc";
inline constexpr const char *CheckColumn = "_check";
inline constexpr const char *FieldsTable = "_fields";
inline constexpr const char *IndexesTable = "_indexes";
inline constexpr const char *SavedTable = "_saved"; // one row: the save id of the last save
// One row per table (the settings included): how many rows it holds and the sum of their
// checksums.
inline constexpr const char *StoreCheckTable = "_store";
// The store's settings: one row per setting, its name, its bytes and their checksum. Files of
// the layouts before the check of the whole store hold no settings.
inline constexpr const char *SettingsTable = "_settings";

// The stored fields that a file holds of each table, in the order of allSchemas(), each
// declared as the file's layout declares it.
using FileFields = std::vector<StoredFields>;

std::string quoted(const std::string &name);
// A field kind as the file's list of fields names it.
const char *kindName(FieldKind kind);
const char *columnType(FieldKind kind);

// The nested table whose rows are RowData::nested[slot] of a record.
const TableSchema &nestedSchema(std::size_t slot);
// The record fields that hold the nested tables, in the order of RowData::nested.
const std::vector<std::string> &nestedFieldNames();
std::vector<std::string> nextIncColumns();
// cdsMain, then the nested tables in the order of RowData::nested.
std::vector<const TableSchema *> allSchemas();

// Column list of a table: own leading columns, then the fields, then the trailing ones.
std::string columnList(const std::vector<std::string> &leading, const StoredFields &fields,
                       const std::vector<std::string> &trailing = {});
// "?, ?, ..." with n placeholders.
std::string placeholders(std::size_t n);

// An integer column of an own table; DatabaseError naming `what` when it holds anything else.
std::int64_t readInteger(const SqlStatement &st, int column, const char *what);
[[noreturn]] void wrongKind(const TableSchema &schema, const FieldDef &field);

} // namespace kelvora
