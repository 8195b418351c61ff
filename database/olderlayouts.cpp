#include "database/olderlayouts.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace kelvora {

namespace {

// 2^63, the first whole number beyond the 64-bit integers; every double below it is exact in
// them.
constexpr double BeyondIntegers = -static_cast<double>(std::numeric_limits<std::int64_t>::min());

std::vector<TableSchema> schemasWithoutIntegers()
{
    std::vector<TableSchema> schemas;
    for (const TableSchema *schema : allSchemas()) {
        TableSchema &former = schemas.emplace_back(*schema);
        for (FieldDef &field : former.fields) {
            if (field.kind == FieldKind::Integer)
                field.kind = FieldKind::Float;
        }
    }
    return schemas;
}

// The positions of the fields of a table that the file holds as another kind.
std::vector<std::size_t> fieldsOfOtherKind(const TableSchema &schema, const StoredFields &held)
{
    std::vector<std::size_t> positions;
    for (const auto &[index, field] : held) {
        const auto position = static_cast<std::size_t>(index);
        if (field->kind != schema.fields[position].kind)
            positions.push_back(position);
    }
    return positions;
}

void upgradeRow(const TableSchema &schema, const std::vector<std::size_t> &positions,
                RowData &row)
{
    for (const std::size_t position : positions) {
        Value &value = row.values[position];
        const auto *number = std::get_if<double>(&value);
        if (!number)
            continue;
        if (!(*number >= -BeyondIntegers && *number < BeyondIntegers)
            || *number != std::trunc(*number))
            wrongKind(schema, schema.fields[position]);
        value = static_cast<std::int64_t>(*number);
    }
}

} // namespace

const std::vector<const TableSchema *> &layoutSchemas(int layout)
{
    static const std::vector<const TableSchema *> current = allSchemas();
    static const std::vector<TableSchema> withoutIntegers = schemasWithoutIntegers();
    static const std::vector<const TableSchema *> former = [] {
        std::vector<const TableSchema *> schemas;
        for (const TableSchema &schema : withoutIntegers)
            schemas.push_back(&schema);
        return schemas;
    }();
    return layout > LayoutWithoutIntegers ? current : former;
}

void upgradeValues(StoreData &data, const FileFields &held)
{
    const std::vector<const TableSchema *> schemas = allSchemas();
    std::vector<std::vector<std::size_t>> positions;
    bool any = false;
    for (std::size_t t = 0; t < schemas.size(); ++t) {
        positions.push_back(fieldsOfOtherKind(*schemas[t], held[t]));
        any = any || !positions.back().empty();
    }
    if (!any)
        return;
    for (RowData &record : data.records) {
        upgradeRow(*schemas[0], positions[0], record);
        for (std::size_t slot = 0; slot < record.nested.size(); ++slot) {
            for (RowData &row : record.nested[slot].rows)
                upgradeRow(*schemas[slot + 1], positions[slot + 1], row);
        }
    }
}

} // namespace kelvora
