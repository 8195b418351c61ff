#include "database/storecheck.h"

#include "database/databaselayout.h"
#include "database/sqlitedb.h"

namespace kelvora {

StoreTally emptyTally()
{
    return StoreTally(allSchemas().size() + 1);
}

std::vector<std::string> talliedTables()
{
    std::vector<std::string> names;
    for (const TableSchema *schema : allSchemas())
        names.push_back(schema->name);
    names.push_back(SettingsTable);
    return names;
}

void writeStoreCheck(SqlConnection &db, const StoreTally &tally)
{
    SqlStatement st(db, "INSERT OR REPLACE INTO " + quoted(StoreCheckTable) + " VALUES (?, ?, ?)");
    const std::vector<std::string> tables = talliedTables();
    for (std::size_t t = 0; t < tables.size(); ++t) {
        st.bind(1, tables[t]);
        st.bind(2, tally[t].rows);
        st.bind(3, static_cast<std::int64_t>(tally[t].sum));
        st.run();
    }
}

StoreTally readStoreCheck(SqlConnection &db)
{
    SqlStatement st(db, "SELECT rows, checksums FROM " + quoted(StoreCheckTable)
                            + " WHERE tbl = ?");
    const std::vector<std::string> tables = talliedTables();
    StoreTally tally = emptyTally();
    for (std::size_t t = 0; t < tables.size(); ++t) {
        st.bind(1, tables[t]);
        if (!st.step())
            throw DatabaseError("The database has lost the check of its whole store");
        tally[t].rows = readInteger(st, 0, "row count");
        tally[t].sum = static_cast<std::uint64_t>(readInteger(st, 1, "checksum"));
        st.reset();
    }
    return tally;
}

} // namespace kelvora
