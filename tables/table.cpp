#include "tables/table.h"

#include "core/errors.h"
#include "core/fpe.h"
#include "core/numfmt.h"
#include "tables/fieldvalues.h"
#include "tables/tableengine.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace kelvora {

namespace {

// Cuts a UTF-8 text after `size` characters.
std::string cutToCharacters(std::string text, int size)
{
    int characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) != 0x80 && characters++ == size) {
            text.resize(i);
            break;
        }
    }
    return text;
}

std::string valueText(const FieldDef &field, const Value &value, const TextLocale &locale,
                      bool forDisplay)
{
    struct Visitor
    {
        const FieldDef &field;
        const TextLocale &locale;
        bool forDisplay;

        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(std::int64_t v) const { return std::to_string(v); }
        std::string operator()(bool v) const { return v ? "True" : "False"; }
        std::string operator()(const std::string &v) const { return v; }
        std::string operator()(DateTime v) const
        {
            return locale.formatDateTime ? locale.formatDateTime(v) : formatIsoDateTime(v);
        }
        std::string operator()(double v) const
        {
            if (!forDisplay)
                return formatGeneral(v, 15, locale.decimalSeparator);
            if (!field.displayFormat.empty())
                return formatPattern(v, field.displayFormat, locale.decimalSeparator);
            return formatGeneral(v, field.displayDigits, locale.decimalSeparator);
        }
    };
    return std::visit(Visitor{field, locale, forDisplay}, value);
}

StoreError accessError(const FieldDef &field, const char *type)
{
    return StoreError("Cannot access field '" + field.name + "' as type " + type);
}

bool equalsIgnoringCase(const std::string &a, const char *b)
{
    const std::string other(b);
    return a.size() == other.size()
           && std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
                  return std::tolower(static_cast<unsigned char>(x))
                         == std::tolower(static_cast<unsigned char>(y));
              });
}

// A key typed as text, in the kind of the key field.
Value keyValue(const FieldDef &field, const std::string &key)
{
    switch (field.kind) {
    case FieldKind::AutoInc:
    case FieldKind::Integer:
        return static_cast<std::int64_t>(parseInt(key));
    case FieldKind::Float:
        return static_cast<double>(parseFloat(key));
    case FieldKind::DateTime: {
        DateTime t;
        if (!parseIsoDateTime(key, t))
            throw ConvertError("'" + key + "' is not a valid date and time");
        return t;
    }
    default:
        return key;
    }
}

} // namespace

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

// ---- reading --------------------------------------------------------------------------------

const Value &Table::value(std::string_view field) const
{
    return value(d->fieldIndexOrThrow(field));
}

const Value &Table::value(int i) const
{
    d->requireField(i);
    if (schema().fields[static_cast<std::size_t>(i)].kind == FieldKind::Calculated)
        return d->calculated(i, d->state == TableState::Insert ? -1 : d->cur);
    const RowData *row = d->currentRow();
    return row ? row->values[static_cast<std::size_t>(i)] : NullValue;
}

bool Table::isNull(std::string_view field) const
{
    return std::holds_alternative<std::monostate>(value(field));
}

double Table::asFloat(std::string_view field) const
{
    const FieldDef &f = schema().field(field);
    const Value &v = value(field);
    if (const auto *x = std::get_if<double>(&v))
        return *x;
    if (const auto *x = std::get_if<std::int64_t>(&v))
        return static_cast<double>(*x);
    if (f.kind != FieldKind::Float && f.kind != FieldKind::AutoInc
        && f.kind != FieldKind::Integer && f.kind != FieldKind::Calculated)
        throw accessError(f, "Float");
    return 0.0;
}

bool Table::asBoolean(std::string_view field) const
{
    const FieldDef &f = schema().field(field);
    if (f.kind != FieldKind::Boolean)
        throw accessError(f, "Boolean");
    const auto *x = std::get_if<bool>(&value(field));
    return x && *x;
}

DateTime Table::asDateTime(std::string_view field) const
{
    const FieldDef &f = schema().field(field);
    if (f.kind != FieldKind::DateTime)
        throw accessError(f, "DateTime");
    const auto *x = std::get_if<DateTime>(&value(field));
    return x ? *x : DateTime{};
}

std::int64_t Table::asInteger(std::string_view field) const
{
    const FieldDef &f = schema().field(field);
    if (f.kind != FieldKind::AutoInc && f.kind != FieldKind::Integer
        && f.kind != FieldKind::Calculated)
        throw accessError(f, "Integer");
    const auto *x = std::get_if<std::int64_t>(&value(field));
    return x ? *x : 0;
}

std::string Table::asString(std::string_view field, const TextLocale &locale) const
{
    return asString(d->fieldIndexOrThrow(field), locale);
}

std::string Table::asString(int fieldIndex, const TextLocale &locale) const
{
    const Value &v = value(fieldIndex);
    return valueText(schema().fields[static_cast<std::size_t>(fieldIndex)], v, locale, false);
}

// ---- writing --------------------------------------------------------------------------------

void Table::setValue(std::string_view field, Value value)
{
    setValue(d->fieldIndexOrThrow(field), std::move(value));
}

void Table::setValue(int i, Value value)
{
    d->requireField(i);
    d->requireActive();
    if (!isEditing())
        throw StoreError("Dataset not in edit or insert mode");
    const FieldDef &f = schema().fields[static_cast<std::size_t>(i)];
    const auto invalid = [&f] { return StoreError("Invalid value for field '" + f.name + "'"); };
    const bool empty = std::holds_alternative<std::monostate>(value);
    switch (f.kind) {
    case FieldKind::AutoInc:
    case FieldKind::Calculated:
    case FieldKind::Nested:
        throw StoreError("Field '" + f.name + "' cannot be modified");
    case FieldKind::String:
    case FieldKind::Memo:
        if (auto *text = std::get_if<std::string>(&value)) {
            // An empty text is no value: a required name must not be blank.
            if (text->empty())
                value = std::monostate{};
            else if (f.kind == FieldKind::String)
                *text = cutToCharacters(std::move(*text), f.size);
        } else if (!empty) {
            throw invalid();
        }
        break;
    case FieldKind::Float:
        if (const auto *n = std::get_if<std::int64_t>(&value))
            value = static_cast<double>(*n);
        else if (!empty && !std::holds_alternative<double>(value))
            throw invalid();
        // No infinity or NaN is ever stored: it would reach the database file and the
        // reports, and fail every computation that reads it.
        if (const auto *v = std::get_if<double>(&value); v != nullptr && !std::isfinite(*v))
            throw FloatError(std::isnan(*v) ? FloatError::Kind::Invalid
                                            : FloatError::Kind::Overflow);
        break;
    case FieldKind::Integer:
        if (!empty && !std::holds_alternative<std::int64_t>(value))
            throw invalid();
        break;
    case FieldKind::Boolean:
        if (!empty && !std::holds_alternative<bool>(value))
            throw invalid();
        break;
    case FieldKind::DateTime:
        if (!empty && !std::holds_alternative<DateTime>(value))
            throw invalid();
        break;
    }
    d->buffer.values[static_cast<std::size_t>(i)] = std::move(value);
    d->modified = true;
    d->notify(DataChange::Kind::Changed, displayCurrentRow());
}

void Table::setString(std::string_view field, std::string value, const TextLocale &locale)
{
    setString(d->fieldIndexOrThrow(field), std::move(value), locale);
}

void Table::setString(int field, std::string value, const TextLocale &locale)
{
    d->requireField(field);
    const FieldDef &f = schema().fields[static_cast<std::size_t>(field)];
    if (value.empty()) {
        setValue(field, std::monostate{});
        return;
    }
    switch (f.kind) {
    case FieldKind::Float:
        setValue(field, StoredDouble(parseFloat(value, locale.decimalSeparator)));
        return;
    case FieldKind::Integer:
        setValue(field, static_cast<std::int64_t>(parseInt64(value)));
        return;
    case FieldKind::Boolean:
        if (equalsIgnoringCase(value, "True"))
            setValue(field, true);
        else if (equalsIgnoringCase(value, "False"))
            setValue(field, false);
        else
            throw ConvertError("'" + value + "' is not a valid boolean value");
        return;
    case FieldKind::DateTime: {
        DateTime t;
        if (!parseIsoDateTime(value, t))
            throw ConvertError("'" + value + "' is not a valid date and time");
        setValue(field, t);
        return;
    }
    default:
        setValue(field, std::move(value)); // texts, and the refusal of unwritable fields
    }
}

// ---- bound displays -------------------------------------------------------------------------

int Table::displayRowCount() const
{
    return d->count() + (d->state == TableState::Insert ? 1 : 0);
}

int Table::displayCurrentRow() const
{
    return d->state == TableState::Insert ? d->pendingPos : d->cur;
}

const Value &Table::valueAt(int row, int fieldIndex) const
{
    if (row < 0 || row >= displayRowCount() || fieldIndex < 0
        || fieldIndex >= static_cast<int>(schema().fields.size()))
        throw RangeError();
    int pos = row;
    if (d->state == TableState::Insert && row >= d->pendingPos)
        pos = row == d->pendingPos ? -1 : row - 1;
    if (schema().fields[static_cast<std::size_t>(fieldIndex)].kind == FieldKind::Calculated)
        return d->calculated(fieldIndex, pos);
    const bool pending = pos < 0 || (d->state == TableState::Edit && pos == d->cur);
    const RowData &data = pending ? d->buffer : d->storedRow(pos);
    return data.values[static_cast<std::size_t>(fieldIndex)];
}

std::string Table::displayText(int row, int fieldIndex, const TextLocale &locale) const
{
    const Value &v = valueAt(row, fieldIndex);
    return valueText(schema().fields[static_cast<std::size_t>(fieldIndex)], v, locale, true);
}

// ---- search ---------------------------------------------------------------------------------

void Table::findNearest(const std::string &key)
{
    d->requireActive();
    const IndexDef &index = schema().indexes[static_cast<std::size_t>(d->orderPosition)];
    const int field = schema().fieldIndex(index.field);
    const Value wanted = key.empty()
                             ? Value{}
                             : keyValue(schema().fields[static_cast<std::size_t>(field)], key);
    const int before = d->leaveEditing();
    const int n = d->count();
    if (n == 0) {
        d->scrolled(before);
        return;
    }
    int pos = 0;
    if (!key.empty()) {
        pos = n - 1;
        for (int p = 0; p < n; ++p) {
            const int c = compareValues(
                d->storedRow(p).values[static_cast<std::size_t>(field)], wanted);
            if (index.descending ? c <= 0 : c >= 0) {
                pos = p;
                break;
            }
        }
    }
    d->go(pos, false, false, before);
}

} // namespace kelvora
