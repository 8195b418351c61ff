#pragma once

#include "database/databaselayout.h"
#include "tables/store.h"

#include <vector>

namespace kelvora {

// What files of the older layouts hold otherwise than the current one, and how it comes into
// the program's kinds when such a file is read. Their first save rewrites them whole.

// The tables as a file of `layout` declares them, in the order of allSchemas(): the program's
// own, but in the layouts without whole-number fields every Integer field was a Float field.
const std::vector<const TableSchema *> &layoutSchemas(int layout);

// Turns the values that a file holds as another kind than the program's, once they have been
// checked as the file holds them, into the program's kinds: a Float of an Integer field into
// its whole number. `held`: the fields of the file, from checkDefinitions(). DatabaseError for
// a value that is no whole number of 64 bits.
void upgradeValues(StoreData &data, const FileFields &held);

} // namespace kelvora
