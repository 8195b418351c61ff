#include "database/storecheck.h"

#include "database/databaselayout.h"
#include "database/sqlitedb.h"

namespace kelvora {

StoreTally emptyTally(int layout)
{
    return StoreTally(talliedTables(layout).size());
}

std::vector<std::string> talliedTables(int layout)
{
    std::vector<std::string> names;
    for (const TableSchema *schema : allSchemas())
        names.push_back(schema->name);
    names.push_back(SettingsTable);
    if (layout > LayoutWithoutRegister)
        names.push_back(CertificatesTable);
    return names;
}

std::size_t settingsTally()
{
    return allSchemas().size();
}

std::size_t registerTally()
{
    return settingsTally() + 1;
}

void writeStoreCheck(SqlConnection &db, const StoreTally &tally)
{
    SqlStatement st(db, "INSERT OR REPLACE INTO " + quoted(StoreCheckTable) + " VALUES (?, ?, ?)");
    const std::vector<std::string> tables = talliedTables(LayoutVersion);
    for (std::size_t t = 0; t < tables.size(); ++t) {
        st.bind(1, tables[t]);
        st.bind(2, tally[t].rows);
        st.bind(3, static_cast<std::int64_t>(tally[t].sum));
        st.run();
    }
}

StoreTally readStoreCheck(SqlConnection &db, int layout)
{
    SqlStatement st(db, "SELECT rows, checksums FROM " + quoted(StoreCheckTable)
                            + " WHERE tbl = ?");
    const std::vector<std::string> tables = talliedTables(layout);
    StoreTally tally = emptyTally(layout);
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
