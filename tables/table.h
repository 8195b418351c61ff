#pragma once

#include "tables/event.h"
#include "tables/schema.h"

#include <memory>
#include <string>
#include <string_view>

namespace kelvora {

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
    // The same by a field's position in the schema, as the row views of tables/rows.h reach
    // the fields.
    const Value &value(int fieldIndex) const;
    std::string asString(int fieldIndex, const TextLocale &locale = {}) const;
    void setValue(int fieldIndex, Value value);
    void setString(int fieldIndex, std::string value, const TextLocale &locale = {});

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

} // namespace kelvora
