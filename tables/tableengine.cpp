#include "tables/tableengine.h"

#include "core/errors.h"
#include "tables/fieldvalues.h"

#include <algorithm>
#include <numeric>
#include <set>

namespace kelvora {

namespace {

const char *const ClosedText = "Cannot perform this operation on a closed dataset";

int nestedFieldCount(const TableSchema &schema)
{
    return static_cast<int>(std::count_if(schema.fields.begin(), schema.fields.end(),
                                          [](const FieldDef &f) {
                                              return f.kind == FieldKind::Nested;
                                          }));
}

} // namespace

Table::Impl::Impl(Table &self, Store &store, const TableSchema &schema, Table *master)
    : self(self), store(store), schema(schema), master(master)
{
    // A table starts in the order of its primary index.
    const auto primary = std::find_if(schema.indexes.begin(), schema.indexes.end(),
                                      [](const IndexDef &index) { return index.primary; });
    if (primary != schema.indexes.end())
        orderPosition = static_cast<int>(primary - schema.indexes.begin());
}

void Table::Impl::requireActive() const
{
    if (!active())
        throw StoreError(ClosedText);
}

int Table::Impl::fieldIndexOrThrow(std::string_view field) const
{
    const int i = schema.fieldIndex(field);
    if (i < 0)
        schema.field(field); // throws the "not found" error
    return i;
}

void Table::Impl::requireField(int fieldIndex) const
{
    if (fieldIndex < 0 || fieldIndex >= static_cast<int>(schema.fields.size()))
        throw StoreError("Field " + std::to_string(fieldIndex) + " not found in "
                         + schema.name);
}

RowData *Table::Impl::recordShown()
{
    if (editing())
        return &buffer;
    if (cur >= 0)
        return &(*records)[static_cast<std::size_t>(order[static_cast<std::size_t>(cur)])];
    return nullptr;
}

NestedRows *Table::Impl::nestedRows() const
{
    RowData *record = master->d->recordShown();
    return record ? &record->nested[static_cast<std::size_t>(schema.nestedIndex)] : nullptr;
}

int Table::Impl::count() const
{
    if (!active())
        return 0;
    if (!master)
        return static_cast<int>(order.size());
    const NestedRows *rows = nestedRows();
    return rows ? static_cast<int>(rows->rows.size()) : 0;
}

const RowData &Table::Impl::storedRow(int pos) const
{
    const auto p = static_cast<std::size_t>(pos);
    if (!master)
        return (*records)[static_cast<std::size_t>(order[p])];
    return nestedRows()->rows[p];
}

const RowData *Table::Impl::currentRow() const
{
    if (editing())
        return &buffer;
    return cur >= 0 ? &storedRow(cur) : nullptr;
}

int Table::Impl::identity() const
{
    if (state == TableState::Insert)
        return PendingRow;
    if (cur < 0)
        return NoRow;
    return master ? cur : order[static_cast<std::size_t>(cur)];
}

const Value &Table::Impl::calculated(int fieldIndex, int pos) const
{
    const std::string &name = schema.fields[static_cast<std::size_t>(fieldIndex)].name;
    if (name == "RecordCount")
        scratch = static_cast<std::int64_t>(count());
    else if (pos >= 0)
        scratch = static_cast<std::int64_t>(pos + 1);
    else
        scratch = std::monostate{};
    return scratch;
}

bool Table::Impl::orderedBefore(int a, int b) const
{
    const IndexDef &index = schema.indexes[static_cast<std::size_t>(orderPosition)];
    const auto field = static_cast<std::size_t>(schema.fieldIndex(index.field));
    const int c = compareValues((*records)[static_cast<std::size_t>(a)].values[field],
                                (*records)[static_cast<std::size_t>(b)].values[field]);
    if (c != 0)
        return index.descending ? c > 0 : c < 0;
    return a < b; // equal keys keep the storage order
}

void Table::Impl::rebuildOrder()
{
    if (master)
        return; // nested rows are kept in the order of their only index
    order.resize(records->size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [this](int a, int b) { return orderedBefore(a, b); });
}

void Table::Impl::placeInOrder(int id)
{
    const auto at = std::lower_bound(order.begin(), order.end(), id,
                                     [this](int a, int b) { return orderedBefore(a, b); });
    order.insert(at, id);
}

bool Table::Impl::isModified() const
{
    if (modified)
        return true;
    return std::any_of(details.begin(), details.end(),
                       [](const Table *t) { return t->d->editing() && t->d->isModified(); });
}

void Table::Impl::notify(DataChange::Kind kind, int row)
{
    if (suspended == 0)
        self.dataChanged(DataChange{kind, row});
}

void Table::Impl::ensureMasterEditing()
{
    master->d->requireActive();
    if (!master->isEditing())
        master->edit();
}

void Table::Impl::dropPending()
{
    if (state == TableState::Insert)
        cur = std::min(savedCur, count() - 1);
    if (editing())
        state = TableState::Browse;
    buffer = RowData{};
    modified = false;
    pendingPos = -1;
    savedCur = -1;
}

void Table::Impl::cancelPending()
{
    const bool wasInsert = state == TableState::Insert;
    const int pos = wasInsert ? pendingPos : cur;
    for (Table *t : details)
        t->d->dropPending();
    dropPending();
    notify(wasInsert ? DataChange::Kind::Removed : DataChange::Kind::Changed, pos);
    notify(DataChange::Kind::State, cur);
    if (wasInsert)
        return; // the caller lets the nested tables follow the record that is current again
    for (Table *t : details) {
        // The record's stored nested rows are back; keep each cursor where it still fits.
        t->d->cur = std::min(t->d->cur < 0 ? 0 : t->d->cur, t->d->count() - 1);
        t->d->notify(DataChange::Kind::Reset);
    }
}

int Table::Impl::leaveEditing()
{
    if (editing() && isModified()) {
        self.post();
        return identity();
    }
    const int before = identity();
    if (editing())
        cancelPending();
    return before;
}

void Table::Impl::go(int pos, bool bof, bool eof, int before)
{
    const bool moved = pos != cur;
    cur = pos;
    atBof = bof;
    atEof = eof;
    if (moved)
        notify(DataChange::Kind::Moved, cur);
    scrolled(before);
}

void Table::Impl::scrolled(int before)
{
    if (identity() == before)
        return;
    detailsFollow();
    self.afterScroll();
}

void Table::Impl::resetToFirst()
{
    const int n = count();
    cur = n > 0 ? 0 : -1;
    atBof = true;
    atEof = n == 0;
    notify(DataChange::Kind::Reset);
}

void Table::Impl::followMaster()
{
    dropPending();
    resetToFirst();
    self.afterScroll();
}

void Table::Impl::detailsFollow()
{
    for (Table *t : details) {
        if (t->active())
            t->d->followMaster();
    }
}

RowData Table::Impl::blankRow() const
{
    RowData row;
    row.values.resize(schema.fields.size());
    row.nested.resize(static_cast<std::size_t>(nestedFieldCount(schema)));
    return row;
}

DateTime Table::Impl::freeCreatedTime() const
{
    const auto field = static_cast<std::size_t>(schema.fieldIndex("Created"));
    std::set<std::int64_t> taken;
    for (const RowData &record : *records) {
        if (const auto *t = std::get_if<DateTime>(&record.values[field]))
            taken.insert(t->msecs);
    }
    DateTime t = store.clock();
    while (taken.count(t.msecs) != 0)
        ++t.msecs;
    return t;
}

void Table::Impl::beginInsert(int pos, int before)
{
    savedCur = cur;
    pendingPos = pos;
    buffer = blankRow();
    modified = false;
    atBof = false;
    atEof = false;
    state = TableState::Insert;
    if (!master) {
        // A new record: stamped with its creation time, not yet computed.
        buffer.values[static_cast<std::size_t>(schema.fieldIndex("Created"))] =
            freeCreatedTime();
        buffer.values[static_cast<std::size_t>(schema.fieldIndex("Computed"))] = false;
    }
    notify(DataChange::Kind::Inserted, pos);
    notify(DataChange::Kind::State, pos);
    detailsFollow();
    try {
        self.onNewRecord();
    } catch (...) {
        cancelPending();
        scrolled(before);
        throw;
    }
    // Values set for every new row are no change of the user's: an untouched new row is
    // dropped, not posted, when the cursor leaves it.
    modified = false;
    self.afterScroll();
}

void Table::Impl::checkRequired() const
{
    for (std::size_t i = 0; i < schema.fields.size(); ++i) {
        if (schema.fields[i].required
            && std::holds_alternative<std::monostate>(buffer.values[i])) {
            throw StoreError("Field '" + schema.fields[i].name + "' must have a value");
        }
    }
}

void Table::Impl::checkUnique() const
{
    const int n = count();
    for (const IndexDef &index : schema.indexes) {
        if (!index.unique)
            continue;
        const auto field = static_cast<std::size_t>(schema.fieldIndex(index.field));
        for (int pos = 0; pos < n; ++pos) {
            if (state == TableState::Edit && pos == cur)
                continue;
            if (storedRow(pos).values[field] == buffer.values[field])
                throw StoreError("Key violation.");
        }
    }
}

void Table::Impl::postRecord()
{
    const bool inserting = state == TableState::Insert;
    const int oldPos = inserting ? pendingPos : cur;
    int id = 0;
    if (inserting) {
        records->push_back(std::move(buffer));
        log->added();
        id = static_cast<int>(records->size()) - 1;
        placeInOrder(id);
    } else {
        id = order[static_cast<std::size_t>(cur)];
        const IndexDef &index = schema.indexes[static_cast<std::size_t>(orderPosition)];
        const auto key = static_cast<std::size_t>(schema.fieldIndex(index.field));
        RowData &stored = (*records)[static_cast<std::size_t>(id)];
        const bool keyChanged = compareValues(stored.values[key], buffer.values[key]) != 0;
        stored = std::move(buffer);
        log->changed(id);
        if (keyChanged) {
            order.erase(order.begin() + cur);
            placeInOrder(id);
        }
    }
    const auto it = std::find(order.begin(), order.end(), id);
    finishPost(oldPos, static_cast<int>(it - order.begin()));
}

void Table::Impl::postNested()
{
    NestedRows &rows = *nestedRows();
    int newPos = cur;
    const int oldPos = state == TableState::Insert ? pendingPos : cur;
    if (state == TableState::Insert) {
        // The new increment exceeds every one of the record, so the row goes last.
        for (std::size_t i = 0; i < schema.fields.size(); ++i) {
            if (schema.fields[i].kind == FieldKind::AutoInc)
                buffer.values[i] = rows.nextInc++;
        }
        rows.rows.push_back(std::move(buffer));
        newPos = static_cast<int>(rows.rows.size()) - 1;
    } else {
        rows.rows[static_cast<std::size_t>(cur)].values = std::move(buffer.values);
    }
    master->d->modified = true;
    finishPost(oldPos, newPos);
}

void Table::Impl::finishPost(int oldPos, int newPos)
{
    state = TableState::Browse;
    buffer = RowData{};
    modified = false;
    pendingPos = -1;
    savedCur = -1;
    cur = newPos;
    atBof = false;
    atEof = false;
    notify(oldPos == newPos ? DataChange::Kind::Changed : DataChange::Kind::Reset, newPos);
    notify(DataChange::Kind::State, newPos);
}

void Table::Impl::removeCurrent()
{
    const bool wasEditing = editing();
    dropPending();
    const int pos = cur;
    if (!master) {
        for (Table *t : details)
            t->d->dropPending();
        const int id = order[static_cast<std::size_t>(pos)];
        records->erase(records->begin() + id);
        log->removed(id);
        order.erase(order.begin() + pos);
        for (int &later : order)
            later -= later > id ? 1 : 0;
    } else {
        ensureMasterEditing();
        NestedRows &rows = *nestedRows();
        rows.rows.erase(rows.rows.begin() + pos);
        master->d->modified = true;
    }
    const int n = count();
    cur = n == 0 ? -1 : std::min(pos, n - 1);
    atBof = n == 0;
    atEof = n == 0;
    notify(DataChange::Kind::Removed, pos);
    if (wasEditing)
        notify(DataChange::Kind::State, cur);
    if (!master)
        detailsFollow();
}

void Table::Impl::open()
{
    if (active())
        return;
    state = TableState::Browse;
    rebuildOrder();
    resetToFirst();
    for (Table *t : details) {
        t->d->state = TableState::Browse;
        t->d->followMaster();
    }
    self.afterScroll();
}

void Table::Impl::close()
{
    if (!active())
        return;
    for (Table *t : details)
        t->d->close();
    dropPending();
    state = TableState::Inactive;
    order.clear();
    cur = -1;
    atBof = true;
    atEof = true;
    notify(DataChange::Kind::Reset);
}

} // namespace kelvora
