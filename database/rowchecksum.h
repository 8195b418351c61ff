#pragma once

#include "tables/schema.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kelvora {

// Fields of a table that the database file holds, in layout order, each with its position in
// RowData::values.
using StoredFields = std::vector<std::pair<int, const FieldDef *>>;

// Every field of the table that has a column in the file: all but the nested tables and the
// calculated fields.
StoredFields storedFields(const TableSchema &schema);

// The 64-bit checksums that the rows of the database file carry. Each covers the row's place
// (a record's storage key; a nested row's record key and position) and its values of
// `fields`: the stored fields that the file holds of the row's table, all of them, or for a
// file written before fields were appended to the table, the first ones. The values are taken
// in the kinds the file holds them: a file of a layout before whole-number fields holds them
// as Float, and its checksums cover those doubles. A record's checksum also covers the next
// auto-increment value and the row count of each of its nested tables.
std::int64_t recordChecksum(std::int64_t key, const RowData &record, const StoredFields &fields);
std::int64_t nestedChecksum(std::int64_t key, std::int64_t pos, const RowData &row,
                            const StoredFields &fields);
// The checksum of a setting: its name and its bytes.
std::int64_t settingChecksum(const std::string &name, const std::string &value);

} // namespace kelvora
