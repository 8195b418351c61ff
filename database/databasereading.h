#pragma once

#include "database/databaselayout.h"
#include "tables/store.h"

#include <cstdint>

namespace kelvora {

class SqlConnection;

// The layout of a file of ours, or DatabaseError.
int checkHeader(SqlConnection &db);
void checkIntegrity(SqlConnection &db);
// The tables of every layout must be there, and the program's own tables and columns must be
// those of the file's layout version: a version set back by hand would otherwise turn the
// checks off, and one set forward would take a file without checks for a checked one.
void checkTables(SqlConnection &db, int version);
// The field list of each table in the file must be that of its layout: names and kinds in
// layout order. A table's fields are only ever appended at its end, so a file written before
// that holds the first ones of them; it holds every nested table all the same. A field the
// program does not know is another layout.
FileFields checkDefinitions(SqlConnection &db, int version);
// True when the file holds every field of every table.
bool holdsEveryField(const FileFields &held);
std::int64_t readSaveId(SqlConnection &db);
// Every record with its nested rows, the settings and the save id, each row checked against
// its checksum and every table against the check of the whole store, as the layout of the
// file has them; the values in the kinds of the program's fields.
StoreData readRecords(SqlConnection &db, int version, const FileFields &held);

} // namespace kelvora
