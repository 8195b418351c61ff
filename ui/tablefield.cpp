#include "ui/tablefield.h"

#include "core/errors.h"
#include "tables/table.h"

namespace kelvora {

const FieldDef &TableField::def() const
{
    return schema().fields[static_cast<std::size_t>(m_index)];
}

int TableField::indexIn(const Table &table) const
{
    if (&table.schema() != &schema())
        throw StoreError("Field '" + def().name + "' not found in " + table.name());
    return m_index;
}

} // namespace kelvora
