#pragma once

#include "database/storecheck.h"
#include "tables/store.h"

#include <string>
#include <vector>

namespace kelvora {

class SqlConnection;

// The register of issued certificates in the database file: the table of its entries, whose
// rows carry checksums and are counted in the check of the whole store, and the table of
// their documents.

// The SQL that creates both tables. The table of documents is created only where it is not
// there yet: a whole rewrite of a file keeps it, as the store does not hold the documents.
std::string registerTablesSql();

// Writes every entry into the empty table of entries; returns its tally. The documents that
// the entries carry are written, those that the file holds for the same entry and SHA-256 stay,
// any other is removed. DatabaseError when an entry's document is neither in the store nor in
// the file.
TableTally writeRegister(SqlConnection &db, const std::vector<CertificateEntry> &entries);
// Writes the entries added since the last save with their documents, and the withdrawals of
// saved ones; the tally moves by what they change.
void writeRegisterChanges(SqlConnection &db, const std::vector<CertificateEntry> &entries,
                          const StoreChanges &changes, TableTally &tally);

// Every entry in the order of issue, without documents, each checked against its checksum and
// counted into the tally.
std::vector<CertificateEntry> readRegister(SqlConnection &db, TableTally &tally);

// The document of the entry at that position as the file holds it, with the SHA-256 stored
// beside it; DatabaseError when the file holds none.
struct StoredDocument
{
    std::string sha256;
    std::string bytes;
};
StoredDocument readDocument(SqlConnection &db, const CertificateEntry &entry);

} // namespace kelvora
