#pragma once

#include "tables/store.h"

#include <cstdint>
#include <vector>

namespace kelvora {

class SqlConnection;

// The records to write: all of them under their keys, or only those in a change log; the
// settings with all of them, or when the log says they changed.
struct WriteRequest
{
    const std::vector<RowData> &records;
    const Settings &settings;
    const std::vector<std::int64_t> &keys; // empty: 1, 2, 3 ...
    const StoreChanges *changes;           // nullptr: write everything
};

// Creates the tables of the current layout and writes the whole request into them.
void writeAll(SqlConnection &db, const WriteRequest &request);
// Only the records in the change log; the check of the whole store moves by what they change,
// so that damage done to the file's other rows stays visible.
void writeChanges(SqlConnection &db, const WriteRequest &request);
// Drops every table of every layout, so that writeAll() can write the file anew.
void dropTables(SqlConnection &db);
// Marks the file with the save id, as ours and of the current layout.
void markSaved(SqlConnection &db, std::int64_t saveId);
// A random save id, never 0.
std::int64_t newSaveId();

} // namespace kelvora
