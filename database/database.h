#pragma once

#include "database/databaseerror.h"
#include "database/databasetexts.h"
#include "tables/store.h"

#include <string>

namespace kelvora {

// The database file is an SQLite database. Every record is a row of cdsMain under its storage
// key, its nested rows are rows of cdsBB and cdsInterp under the record's key, and every row
// carries a 64-bit checksum of its values (a record's also covers how many nested rows it
// has), so that damage SQLite cannot see is found when the file is read. A row checksum cannot
// see a row that is missing, so the file also holds a check of the whole store: per table the
// number of rows and the sum of their checksums, kept by every save in its transaction. The
// file's layout version says which of these it holds, and what it holds must agree with it.
// Files of layout 1 (without checksums), 2 (without the check of the whole store) and 3 (its
// whole-number fields held as Float columns, their checksums taken over those values) are read
// as well, a whole number of a Float column as an integer; their first save rewrites them in
// layout 4.
//
// Fields are only ever appended at the end of a table's field list. A file whose list of a
// table is the first part of the program's (a file written before fields were appended) is
// read with the missing fields empty, its checksums taken over the fields it holds, and its
// first save rewrites it whole with every field; a file holding a field the program does not
// know is another layout and is refused.
//
// A database path may be a symbolic link: the file it leads to is read and written, and a
// first save through a dangling link creates that file, keeping the link.
//
// Saving. A missing file is written whole under a temporary name beside it, synced and
// moved into place, so it appears complete or not at all. An existing file is changed in
// place, in one SQLite transaction with a rollback journal and synchronous=FULL: a crash
// leaves the old or the new content (the next open rolls an unfinished transaction back),
// and the file keeps its mode, owner and links. Each save marks the file with a new random
// save id, which the store's change log keeps. A save that finds another mark than the one
// its log expects, or a file where the store started without one, refuses with
// DatabaseChangedError: another program has changed the file since the store read it, and
// what it wrote is never overwritten. Otherwise only the records in the log are written (a
// changed record is replaced with its nested rows), or the whole store when the file is of an
// older layout or has fewer fields, in place and in one transaction.

// Reads the whole store, with the storage keys and the save id of the file. Nothing is written
// except that SQLite rolls back a save that a killed process left unfinished. Throws
// DatabaseError for a file that is not a sound store of this program, DatabaseBusyError when
// another program keeps it locked.
StoreData loadDatabase(const std::string &path);

// Writes the whole store over whatever the file holds. On failure the previous file is left as
// it was (a temporary file is removed) and Error says 'Cannot create file "<full path>".
// <reason>' (DatabaseBusyError: databaseBusyText()). Every record needs one value per field of
// the record layout and one row list per nested table.
void saveDatabase(const std::string &path, const StoreData &data);

// Writes what the store's change log holds, or the whole store when the file is of an older
// layout, and then clears the log. Fails like the save above, and with DatabaseChangedError
// when another program changed the file since the store read it; the log stays for the next
// save.
void saveDatabase(const std::string &path, Store &store);

} // namespace kelvora
