#pragma once

#include "records/schema.h"

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora {

// A list of handlers called in the order they were connected.
template <typename... Args>
class Event
{
public:
    using Handler = std::function<void(Args...)>;

    int connect(Handler handler)
    {
        m_handlers.emplace(++m_lastId, std::move(handler));
        return m_lastId;
    }
    void disconnect(int id) { m_handlers.erase(id); }
    void operator()(Args... args) const
    {
        const auto handlers = m_handlers; // a handler may disconnect itself
        for (const auto &[id, handler] : handlers)
            handler(args...);
    }

private:
    std::map<int, Handler> m_handlers;
    int m_lastId = 0;
};

enum class TableState { Inactive, Browse, Edit, Insert };

// What a data-change notification tells the bound displays. Positions are 0-based in the
// current order, after the change.
struct DataChange
{
    enum class Kind {
        Reset,    // anything: open/close, new order, master moved, displays resumed
        Inserted, // a row appeared at `row` (a pending insert, or a posted new row)
        Removed,  // the row at `row` (before the change) is gone
        Changed,  // field values of the row at `row` changed
        Moved,    // the current row moved to `row`
        State,    // the table's state changed
    };
    Kind kind = Kind::Reset;
    int row = -1;
};

class Store;

// One table of the record store with its cursor. The nested tables show the rows of the
// current record of the master table.
class Table
{
public:
    const TableSchema &schema() const { return *m_schema; }
    const std::string &name() const { return m_schema->name; }
    Store &store() const { return *m_store; }

    bool active() const;
    TableState state() const;
    bool isEditing() const; // edit or insert

    // Number of rows; for a nested table, the rows of the current record. A pending insert
    // is not counted before it is posted.
    int recordCount() const;
    bool isEmpty() const { return recordCount() == 0; }
    // 1-based position of the current row in the current order; 0 when there is none.
    int recNo() const;
    // Makes the row at that position current; outside 1..recordCount: RangeError.
    void setRecNo(int recNo);
    void first();
    void prior();
    void next(); // on the last row the cursor stays there
    void last();
    bool bof() const; // prior was refused on the first row, or the table was just opened
    bool eof() const; // next was refused on the last row

    // append adds a pending row at the end, insert before the current row; both put the
    // table in insert state. cdsMain runs its on-new-record event and sets defaults.
    // A nested table first puts the master's current record into edit state.
    void append();
    void insert();
    void edit();
    // Stores the pending row: required fields and unique keys are checked first
    // ("Field 'Name' must have a value", "Key violation."), and a refused post keeps the
    // state and the entered values. Then after-post runs.
    void post();
    void cancel();
    // Deletes the current row (before-delete, removal, after-delete); the following row
    // becomes current, or the new last row. On an empty table: "Cannot perform this
    // operation on an empty dataset".
    void remove();

    // Field access on the current row (the pending values while editing). Reading an empty
    // field gives 0, false, empty text. Writing needs edit or insert state.
    const Value &value(std::string_view field) const;
    bool isNull(std::string_view field) const;
    double asFloat(std::string_view field) const;
    bool asBoolean(std::string_view field) const;
    DateTime asDateTime(std::string_view field) const;
    std::int64_t asInteger(std::string_view field) const;
    // A float as its 15-digit general format with that separator; a date as the formatter
    // gives it; RecNo and RecordCount computed.
    std::string asString(std::string_view field, const TextLocale &locale = {}) const;
    void setValue(std::string_view field, Value value);
    void setFloat(std::string_view field, double value) { setValue(field, value); }
    // A number is read with the locale's separator, a date as "yyyy-mm-dd hh:mm:ss"; an empty
    // text clears the field.
    void setString(std::string_view field, std::string value, const TextLocale &locale = {});
    void setBoolean(std::string_view field, bool value) { setValue(field, value); }
    void setDateTime(std::string_view field, DateTime value) { setValue(field, value); }
    void clear(std::string_view field) { setValue(field, std::monostate{}); }

    // Row access without moving the cursor, for bound displays. `row` is 0-based in the
    // current order and counts a pending insert at its position (see displayRowCount).
    int displayRowCount() const;
    int displayCurrentRow() const; // -1 when there is none
    const Value &valueAt(int row, int fieldIndex) const;
    // The text of a field for a bound display: its display format, or general format.
    std::string displayText(int row, int fieldIndex, const TextLocale &locale = {}) const;

    // Orders. cdsMain has "cdsMainIndex1" (Name) and "cdsMainIndex2" (Created, descending).
    int orderIndex() const;
    void setOrder(int position); // position in schema().indexes
    // In the current order, makes current the first row whose key is >= key.
    void findNearest(const std::string &key);

    // Nestable: while suspended, data-change notifications are held back; the last resume
    // sends one Reset. Other events still run.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const;

    Event<> onNewRecord;
    Event<> beforeDelete;
    Event<> afterPost;
    Event<> afterDelete;
    Event<> afterScroll;
    Event<const DataChange &> dataChanged;

private:
    friend class Store;
    Table(Store &store, const TableSchema &schema, Table *master);
    ~Table();
    Table(const Table &) = delete;
    Table &operator=(const Table &) = delete;

    struct Impl;
    std::unique_ptr<Impl> d;
    Store *m_store;
    const TableSchema *m_schema;
};

// Everything a database file holds: the records in storage order with their nested rows.
struct StoreData
{
    std::vector<RowData> records;
    // Where the records stand in the file they were read from: their storage keys, rising,
    // one per record (empty: 1, 2, 3 ...), and the mark of that file's last save (0: none).
    std::vector<std::int64_t> keys;
    std::int64_t saveId = 0;
};

// The store's change log: what a save has to write so that the database file last read or
// written holds the store. A save then writes only the records in it.
struct StoreChanges
{
    std::int64_t saveId = 0;       // the mark of that file's last save; 0: every record is new
    std::set<std::int64_t> changed; // keys of records added or changed since
    std::set<std::int64_t> removed; // keys of records deleted since
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
