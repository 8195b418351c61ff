#pragma once

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

// In the order of allSchemas(), then the settings.
using StoreTally = std::vector<TableTally>;

StoreTally emptyTally();
// The names of the tables a tally counts, in its order.
std::vector<std::string> talliedTables();

void writeStoreCheck(SqlConnection &db, const StoreTally &tally);
// The check of the whole store as the file holds it; DatabaseError when it is not there whole.
StoreTally readStoreCheck(SqlConnection &db);

} // namespace kelvora
