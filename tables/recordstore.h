#pragma once

#include "tables/store.h"

namespace kelvora {

// Suspends a table's bound displays for its lifetime, resuming them however the scope ends.
class SuspendedDisplays
{
public:
    explicit SuspendedDisplays(Table &table) : m_table(table) { m_table.disableControls(); }
    ~SuspendedDisplays() { m_table.enableControls(); }
    SuspendedDisplays(const SuspendedDisplays &) = delete;
    SuspendedDisplays &operator=(const SuspendedDisplays &) = delete;

private:
    Table &m_table;
};

// Calls `visit` with every row of the table current in turn, in table order, its displays
// suspended; the row current before is current again afterwards.
template <typename Visit>
void ForEachRow(Table &table, Visit visit)
{
    if (table.isEmpty())
        return;
    const int current = table.recNo();
    const SuspendedDisplays suspended(table);
    const int n = table.recordCount();
    for (int i = 1; i <= n; ++i) {
        table.setRecNo(i);
        visit();
    }
    table.setRecNo(current);
}

// The two orders of the record list: by Name, and by Created, newest first.
enum class RecordOrder { ByName, ByCreation };

// The record store with the reactions that every holder of it needs, the window and the
// command-line tool alike: deleting a record first deletes its reference points and
// measurements, and every post or delete of a reference point refreshes the record's
// reference range unless RangesBusy is set.
class RecordStore
{
public:
    RecordStore();
    RecordStore(const RecordStore &) = delete;
    RecordStore &operator=(const RecordStore &) = delete;

    Store store;
    Table &cdsMain;
    Table &cdsBB;
    Table &cdsInterp;

    // Set while the range refresh edits the record, and while an import adds its points.
    bool RangesBusy = false;

    void setRecordOrder(RecordOrder order);

    // Recomputes SMin, SMax, TMin, TMax of the current record from its reference points and
    // posts it; the reference cursor stays where it was. Nothing happens for a record without
    // points, which keeps its last range.
    void UpdateReferenceRanges();
};

// Sets RangesBusy for its lifetime and clears it however the scope ends.
class RangesBusyScope
{
public:
    explicit RangesBusyScope(RecordStore &records) : m_records(records)
    {
        m_records.RangesBusy = true;
    }
    ~RangesBusyScope() { m_records.RangesBusy = false; }
    RangesBusyScope(const RangesBusyScope &) = delete;
    RangesBusyScope &operator=(const RangesBusyScope &) = delete;

private:
    RecordStore &m_records;
};

} // namespace kelvora
