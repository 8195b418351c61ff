#pragma once

#include "core/errors.h"
#include "records/databaselock.h"
#include "records/databasestartup.h"
#include "records/store.h"

#include <string>

namespace kelvora {

// A database file that cannot be read as a store of this program: not SQLite, another
// application's file, another layout version, damaged pages, missing tables, or values of
// the wrong kind.
class DatabaseError : public Error
{
public:
    using Error::Error;
};

// Reads the whole store from the database file without changing it.
StoreData loadDatabase(const std::string &path);

// Writes the whole store in one go: a temporary file beside `path` is written, synced and
// renamed over `path`. On failure the previous file is left as it was, the temporary file is
// removed, and Error says 'Cannot create file "<full path>". <reason>'. Every record needs
// one value per field of the record layout and one row list per nested table.
void saveDatabase(const std::string &path, const StoreData &data);

} // namespace kelvora
