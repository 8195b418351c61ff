#pragma once

#include "records/databaseerror.h"
#include "records/store.h"

#include <string>

namespace kelvora {

// The database file is an SQLite database. Every record is a row of cdsMain under its storage
// key, its nested rows are rows of cdsBB and cdsInterp under the record's key, and every row
// carries a 64-bit checksum of its values (a record's also covers how many nested rows it
// has), so that damage SQLite cannot see is found when the file is read. Files of layout 1,
// written before rows had checksums, are read as well; their first save rewrites them.
//
// Fields are only ever appended at the end of a table's field list. A file whose list of a
// table is the first part of the program's (a file written before fields were appended) is
// read with the missing fields empty, its checksums taken over the fields it holds, and its
// first save rewrites it whole with every field; a file holding a field the program does not
// know is another layout and is refused.
//
// Saving. A missing file is written whole under a temporary name beside it, synced and
// renamed into place, so it appears complete or not at all. An existing file is changed in
// place, in one SQLite transaction with a rollback journal and synchronous=FULL: a crash
// leaves the old or the new content (the next open rolls an unfinished transaction back),
// and the file keeps its mode, owner and links. Each save marks the file with a new random
// save id, which the store's change log keeps: when the file still carries the mark the log
// expects, only the records in the log are written (a changed record is replaced with its
// nested rows); otherwise (an older layout, fewer fields, a file changed behind the store's
// back, a store not read from this file) the whole store is written, in place and in one
// transaction.

// 'Cannot create file "<full path>". <reason>', the text of a failed save.
std::string cannotCreateText(const std::string &path, const std::string &reason);
// The path made absolute, or as it is when that fails.
std::string fullPath(const std::string &path);

// Reads the whole store, with the storage keys and the save id of the file. Nothing is written
// except that SQLite rolls back a save that a killed process left unfinished.
StoreData loadDatabase(const std::string &path);

// Writes the whole store. On failure the previous file is left as it was (a temporary file
// is removed) and Error says 'Cannot create file "<full path>". <reason>'. Every record needs
// one value per field of the record layout and one row list per nested table.
void saveDatabase(const std::string &path, const StoreData &data);

// Writes what the store's change log holds, or the whole store when the file is not the one
// the log was kept against, and then clears the log. Fails like the save above, keeping the
// log for the next save.
void saveDatabase(const std::string &path, Store &store);

} // namespace kelvora
