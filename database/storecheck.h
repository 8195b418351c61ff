#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvora {

class SqlConnection;

// The check of the whole store: per table its number of rows and the sum of their checksums,
// modulo 2^64. A row checksum cannot see a row that is not there; the tally of the rows that
// are there then differs from the one the last save left.
struct TableTally
{
    std::int64_t rows = 0;
    std::uint64_t sum = 0;

    void add(std::int64_t checksum)
    {
        ++rows;
        sum += static_cast<std::uint64_t>(checksum);
    }
    bool operator==(const TableTally &) const = default;
};

// In the order of allSchemas(), then the settings, then (from the layout that holds it) the
// register of issued certificates.
using StoreTally = std::vector<TableTally>;

// The tally of a file of that layout, from the layout that introduced the check of the whole
// store on.
StoreTally emptyTally(int layout);
// The names of the tables a tally of that layout counts, in its order.
std::vector<std::string> talliedTables(int layout);
// Where a tally counts the settings and the register.
std::size_t settingsTally();
std::size_t registerTally();

// Writes the check of the whole store of the current layout.
void writeStoreCheck(SqlConnection &db, const StoreTally &tally);
// The check of the whole store as the file of that layout holds it; DatabaseError when it is
// not there whole.
StoreTally readStoreCheck(SqlConnection &db, int layout);

} // namespace kelvora
