#pragma once

#include "tables/schema.h"

namespace kelvora {

class Table;

// A field of one of the record tables by its typed position, as a bound display or a grid
// column names what it shows; each table's field enumeration converts to it.
class TableField
{
public:
    constexpr TableField(RecordField field) : m_schema(&mainSchema), m_index(fieldIndex(field)) {}
    constexpr TableField(ReferencePointField field)
        : m_schema(&bbSchema), m_index(fieldIndex(field))
    {}
    constexpr TableField(MeasurementField field)
        : m_schema(&interpSchema), m_index(fieldIndex(field))
    {}

    const TableSchema &schema() const { return m_schema(); }
    const FieldDef &def() const;
    // Its position in `table`; StoreError when it is not a field of that table.
    int indexIn(const Table &table) const;

    constexpr bool operator==(const TableField &other) const = default;

private:
    const TableSchema &(*m_schema)();
    int m_index;
};

} // namespace kelvora
