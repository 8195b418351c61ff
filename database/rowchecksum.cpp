#include "database/rowchecksum.h"

#include <bit>

namespace kelvora {

namespace {

// FNV-1a over the bytes, with a final mix so that every input bit reaches every output bit.
class RowChecksum
{
public:
    void bytes(const void *data, std::size_t size)
    {
        const auto *p = static_cast<const unsigned char *>(data);
        for (std::size_t i = 0; i < size; ++i)
            m_hash = (m_hash ^ p[i]) * 0x100000001b3ULL;
    }
    void integer(std::int64_t v) { bytes(&v, sizeof v); }
    // A value as the file gives it back: an empty text, NaN and -0 do not survive a round
    // trip through SQLite as they are, so they count as what comes back.
    void value(const Value &v)
    {
        const auto tag = [this](unsigned char t) { bytes(&t, 1); };
        if (const auto *s = std::get_if<std::string>(&v)) {
            tag(4);
            integer(static_cast<std::int64_t>(s->size()));
            bytes(s->data(), s->size());
        } else if (const auto *d = std::get_if<double>(&v)) {
            if (*d != *d)
                return tag(0);
            tag(2);
            integer(std::bit_cast<std::int64_t>(*d == 0.0 ? 0.0 : *d));
        } else if (const auto *i = std::get_if<std::int64_t>(&v)) {
            tag(1);
            integer(*i);
        } else if (const auto *b = std::get_if<bool>(&v)) {
            tag(3);
            integer(*b ? 1 : 0);
        } else if (const auto *t = std::get_if<DateTime>(&v)) {
            tag(5);
            integer(t->msecs);
        } else {
            tag(0);
        }
    }
    void fields(const RowData &row, const StoredFields &fields)
    {
        for (const auto &[index, field] : fields)
            value(row.values[static_cast<std::size_t>(index)]);
    }
    std::int64_t result() const
    {
        std::uint64_t z = m_hash;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return static_cast<std::int64_t>(z ^ (z >> 31));
    }

private:
    std::uint64_t m_hash = 0xcbf29ce484222325ULL;
};

} // namespace

StoredFields storedFields(const TableSchema &schema)
{
    StoredFields result;
    for (std::size_t i = 0; i < schema.fields.size(); ++i) {
        const FieldKind kind = schema.fields[i].kind;
        if (kind != FieldKind::Nested && kind != FieldKind::Calculated)
            result.emplace_back(static_cast<int>(i), &schema.fields[i]);
    }
    return result;
}

std::int64_t recordChecksum(std::int64_t key, const RowData &record, const StoredFields &fields)
{
    RowChecksum sum;
    sum.integer(key);
    sum.fields(record, fields);
    for (const NestedRows &rows : record.nested) {
        sum.integer(rows.nextInc);
        sum.integer(static_cast<std::int64_t>(rows.rows.size()));
    }
    return sum.result();
}

std::int64_t nestedChecksum(std::int64_t key, std::int64_t pos, const RowData &row,
                            const StoredFields &fields)
{
    RowChecksum sum;
    sum.integer(key);
    sum.integer(pos);
    sum.fields(row, fields);
    return sum.result();
}

std::int64_t settingChecksum(const std::string &name, const std::string &value)
{
    RowChecksum sum;
    sum.value(name);
    sum.value(value);
    return sum.result();
}

std::int64_t certificateChecksum(const CertificateEntry &entry)
{
    RowChecksum sum;
    sum.integer(entry.pos);
    for (const std::string *text :
         {&entry.number, &entry.recordName, &entry.fit, &entry.customer, &entry.sha256,
          &entry.fingerprint, &entry.replaces, &entry.withdrawalReason})
        sum.value(*text);
    sum.integer(entry.recordKey);
    sum.value(entry.issued);
    sum.integer(entry.fitChosen ? 1 : 0);
    sum.integer(entry.step);
    sum.integer(entry.state == CertificateState::Withdrawn ? 1 : 0);
    sum.value(entry.withdrawn ? Value{*entry.withdrawn} : Value{});
    return sum.result();
}

} // namespace kelvora
