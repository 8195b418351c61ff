#pragma once

// The engine behind one Table: its rows, cursor, order and edit buffer. The store and the
// table use it; nothing outside the records does.

#include "tables/recordlog.h"
#include "tables/store.h"

#include <string>
#include <vector>

namespace kelvora {

// Identity of the current row, stable while rows move between positions: the storage index of
// a record, the position of a nested row, or one of these.
inline constexpr int NoRow = -1;
inline constexpr int PendingRow = -2;

inline const Value NullValue{};

struct Table::Impl
{
    Impl(Table &self, Store &store, const TableSchema &schema, Table *master);

    Table &self;
    Store &store;
    const TableSchema &schema;
    Table *master;                          // the table whose current record holds our rows
    std::vector<Table *> details;           // the nested tables of this one
    std::vector<RowData> *records = nullptr; // cdsMain: the store's records in storage order
    RecordLog *log = nullptr;                 // cdsMain: their keys and changes

    TableState state = TableState::Inactive;
    int orderPosition = 0;  // position in schema.indexes
    std::vector<int> order; // cdsMain: storage indices in the current order
    int cur = -1;           // position of the current row among the stored rows
    bool atBof = true;
    bool atEof = true;

    RowData buffer;         // the row being edited or added
    bool modified = false;  // a field was written (for a record: also its nested rows)
    int pendingPos = -1;    // insert state: where the pending row shows
    int savedCur = -1;      // insert state: the current row before the insert

    int suspended = 0;
    mutable Value scratch;  // the value of a calculated field last read

    bool active() const { return state != TableState::Inactive; }
    bool editing() const { return state == TableState::Edit || state == TableState::Insert; }
    void requireActive() const;
    int fieldIndexOrThrow(std::string_view field) const;
    void requireField(int fieldIndex) const; // a position of the schema, or StoreError

    // Rows.
    RowData *recordShown();             // cdsMain: the record its nested tables show
    NestedRows *nestedRows() const;     // a nested table: the rows of the master's record
    int count() const;
    const RowData &storedRow(int pos) const;
    const RowData *currentRow() const;  // the pending values while editing
    int identity() const;
    const Value &calculated(int fieldIndex, int pos) const;
    bool orderedBefore(int a, int b) const; // cdsMain: storage indices in the current order
    void rebuildOrder();
    void placeInOrder(int id);
    bool isModified() const;

    // Changes.
    void notify(DataChange::Kind kind, int row = -1);
    void ensureMasterEditing();
    void dropPending();
    void cancelPending();
    // Posts a changed pending row or drops an unchanged one; gives the identity against which
    // a following move decides whether the cursor went to another row.
    int leaveEditing();
    void go(int pos, bool bof, bool eof, int before);
    void scrolled(int before);
    // The first row current (none in an empty table) and the displays reset.
    void resetToFirst();
    void followMaster();
    void detailsFollow();
    void beginInsert(int pos, int before);
    RowData blankRow() const;
    DateTime freeCreatedTime() const;
    void checkRequired() const;
    void checkUnique() const;
    void postRecord();
    void postNested();
    void finishPost(int oldPos, int newPos);
    void removeCurrent();
    void open();
    void close();
};

} // namespace kelvora
