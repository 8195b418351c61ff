#include "records/tableimpl.h"

#include "core/errors.h"

#include <algorithm>

namespace kelvora {

Table::Table(Store &store, const TableSchema &schema, Table *master)
    : d(std::make_unique<Impl>(*this, store, schema, master)), m_store(&store),
      m_schema(&schema)
{
    if (master)
        master->d->details.push_back(this);
}

Table::~Table() = default;

bool Table::active() const { return d->active(); }
TableState Table::state() const { return d->state; }
bool Table::isEditing() const { return d->editing(); }
int Table::recordCount() const { return d->count(); }

int Table::recNo() const
{
    return d->state == TableState::Insert ? 0 : d->cur + 1;
}

void Table::setRecNo(int recNo)
{
    d->requireActive();
    const int before = d->leaveEditing();
    if (recNo < 1 || recNo > d->count()) {
        d->scrolled(before);
        throw RangeError();
    }
    d->go(recNo - 1, false, false, before);
}

void Table::first()
{
    d->requireActive();
    const int before = d->leaveEditing();
    const int n = d->count();
    d->go(n > 0 ? 0 : -1, true, n == 0, before);
}

void Table::prior()
{
    d->requireActive();
    const int before = d->leaveEditing();
    if (d->cur > 0)
        d->go(d->cur - 1, false, false, before);
    else
        d->go(d->cur, true, d->count() == 0, before);
}

void Table::next()
{
    d->requireActive();
    const int before = d->leaveEditing();
    const int n = d->count();
    if (d->cur + 1 < n)
        d->go(d->cur + 1, false, false, before);
    else
        d->go(d->cur, n == 0, true, before);
}

void Table::last()
{
    d->requireActive();
    const int before = d->leaveEditing();
    const int n = d->count();
    d->go(n - 1, n == 0, true, before);
}

bool Table::bof() const { return !d->active() || d->atBof; }
bool Table::eof() const { return !d->active() || d->atEof; }

void Table::append()
{
    d->requireActive();
    const int before = d->leaveEditing();
    if (d->master)
        d->ensureMasterEditing();
    d->beginInsert(d->count(), before);
}

void Table::insert()
{
    d->requireActive();
    const int before = d->leaveEditing();
    if (d->master)
        d->ensureMasterEditing();
    d->beginInsert(std::max(d->cur, 0), before);
}

void Table::edit()
{
    d->requireActive();
    if (isEditing())
        return;
    if (d->count() == 0) {
        append(); // there is no row to edit: a new one is started instead
        return;
    }
    if (d->master)
        d->ensureMasterEditing();
    d->buffer = d->storedRow(d->cur);
    d->modified = false;
    d->state = TableState::Edit;
    d->notify(DataChange::Kind::State, d->cur);
}

void Table::post()
{
    d->requireActive();
    if (!isEditing())
        return;
    for (Table *t : d->details) {
        if (t->isEditing())
            t->d->leaveEditing();
    }
    if (!isEditing())
        return; // a reaction to the nested post has stored this row already
    d->checkRequired();
    d->checkUnique();
    if (d->master) {
        d->ensureMasterEditing();
        d->postNested();
    } else {
        d->postRecord();
    }
    afterPost();
}

void Table::cancel()
{
    if (!isEditing())
        return;
    const int before = d->identity();
    d->cancelPending();
    d->scrolled(before);
}

void Table::remove()
{
    d->requireActive();
    if (d->state == TableState::Insert) {
        cancel();
        return;
    }
    if (d->count() == 0)
        throw StoreError("Cannot perform this operation on an empty dataset");
    beforeDelete();
    if (d->count() == 0)
        return; // the reaction took the rows already
    d->removeCurrent();
    afterDelete();
    afterScroll();
}

int Table::orderIndex() const { return d->orderPosition; }

void Table::setOrder(int position)
{
    if (position < 0 || position >= static_cast<int>(schema().indexes.size()))
        throw RangeError();
    if (!active()) {
        d->orderPosition = position;
        return;
    }
    const int before = d->leaveEditing();
    const int id = d->identity();
    d->orderPosition = position;
    if (!d->master) {
        d->rebuildOrder();
        const auto it = std::find(d->order.begin(), d->order.end(), id);
        d->cur = it == d->order.end() ? (d->order.empty() ? -1 : 0)
                                      : static_cast<int>(it - d->order.begin());
    }
    d->notify(DataChange::Kind::Reset);
    d->scrolled(before);
}

void Table::disableControls() { ++d->suspended; }

void Table::enableControls()
{
    if (d->suspended == 0)
        return;
    if (--d->suspended == 0)
        dataChanged(DataChange{DataChange::Kind::Reset, -1});
}

bool Table::controlsDisabled() const { return d->suspended > 0; }

} // namespace kelvora
