#pragma once

#include "tables/certificateentry.h"
#include "tables/schema.h"
#include "tables/table.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace kelvora {

// Settings kept with the records, so that they travel with the database file: named values,
// each a string of bytes.
using Settings = std::map<std::string, std::string>;

// Everything a database file holds: the records in storage order with their nested rows, the
// settings and the register of issued certificates.
struct StoreData
{
    std::vector<RowData> records;
    Settings settings;
    std::vector<CertificateEntry> certificates; // in the order of issue, without documents
                                                // but for entries not saved yet
    // Where the records stand in the file they were read from: their storage keys, rising,
    // one per record (empty: 1, 2, 3 ...), and the mark of that file's last save (0: none).
    std::vector<std::int64_t> keys;
    std::int64_t saveId = 0;
    bool fromFile = false; // read from a database file; false for a store that starts empty
};

// The store's change log: what a save has to write so that the database file last read or
// written holds the store. A save then writes only the records in it.
struct StoreChanges
{
    std::int64_t saveId = 0;       // the mark of that file's last save; 0: every record is new
    // The store was read from that file or saved into it. A save into a file that is there
    // while the store never saw one, or that carries another mark, finds the file changed
    // by someone else.
    bool fromFile = false;
    std::set<std::int64_t> changed; // keys of records added or changed since
    std::set<std::int64_t> removed; // keys of records deleted since
    bool settingsChanged = false;
    // Positions of the register's entries added since (with their documents), and of saved
    // entries withdrawn since.
    std::set<std::int64_t> certificatesAdded;
    std::set<std::int64_t> certificatesWithdrawn;
};

// The three tables: cdsMain with the nested cdsBB (reference points) and cdsInterp
// (measurements).
class Store
{
public:
    Store();
    ~Store();
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;

    Table &cdsMain;
    Table &cdsBB;
    Table &cdsInterp;

    // Replaces every record (the tables must be closed) and starts a new change log. StoreError
    // for data that does not fit the schema.
    void load(StoreData data);
    // Every record as stored, pending edits not included; the save id only when the change
    // log is empty.
    StoreData data() const;
    void clearAll(); // an empty store, whose next save writes everything

    // The records as stored, in storage order, with their storage keys. Every record keeps
    // its key for its life; a new record gets a key above every other, so keys rise with the
    // storage order.
    const std::vector<RowData> &records() const;
    const std::vector<std::int64_t> &keys() const;
    // Every post and delete of a record (a nested row is stored with its record) enters the
    // log; a save that wrote it all under the mark `saveId` clears it.
    const StoreChanges &changes() const;
    void changesSaved(std::int64_t saveId);

    // The settings as loaded or last set; setting them enters the change log, so that the
    // next save writes them with the records.
    const Settings &settings() const;
    void setSettings(Settings settings);

    // The register of issued certificates, in the order of issue. Adding an entry gives it
    // the next position, which it returns; the entry carries its document, which the save
    // that writes it drops from memory. An entry not saved yet can be taken out again (an
    // issue whose save failed); a saved one only withdrawn. StoreError for an entry without
    // number or document, or a position that is not in the register.
    const std::vector<CertificateEntry> &certificates() const;
    std::int64_t addCertificate(CertificateEntry entry);
    void removeUnsavedCertificate(std::int64_t pos);
    void withdrawCertificate(std::int64_t pos, std::string reason, DateTime when);

    // The storage key of the current record of cdsMain; none without a stored record there
    // (an empty or closed table, or a record being inserted).
    std::optional<std::int64_t> currentRecordKey() const;

    // Opening cdsMain opens the nested tables; the cursor goes to the first row of the
    // current order (Created, newest first).
    void open();
    void close();

    // The clock that stamps `Created` of a new record; tests replace it. A record created in
    // the same millisecond as an existing one gets the next free millisecond, so that two
    // quick imports never meet "Key violation.".
    std::function<DateTime()> clock = currentDateTime;
    // Shows or removes the application-wide busy cursor around bulk deletions; the window
    // sets it, a headless run leaves it empty.
    std::function<void(bool busy)> setBusy;

private:
    friend class Table;
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Posts the pending row if the table is in edit or insert state.
void PostIfEditing(Table &table);
// Deletes every row with the displays suspended.
void DeleteAllRows(Table &table);

} // namespace kelvora
