#include "database/databaselayout.h"

#include "database/databaseerror.h"
#include "database/sqlitedb.h"

#include <sqlite3.h>

namespace kelvora {

std::string quoted(const std::string &name)
{
    return '"' + name + '"';
}

const char *kindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::String: return "String";
    case FieldKind::Memo: return "Memo";
    case FieldKind::Float: return "Float";
    case FieldKind::Integer: return "Integer";
    case FieldKind::Boolean: return "Boolean";
    case FieldKind::DateTime: return "DateTime";
    case FieldKind::AutoInc: return "AutoInc";
    case FieldKind::Nested: return "Nested";
    case FieldKind::Calculated: return "Calculated";
    }
    return "";
}

const char *columnType(FieldKind kind)
{
    switch (kind) {
    case FieldKind::String:
    case FieldKind::Memo:
        return "TEXT";
    case FieldKind::Float:
        return "REAL";
    default:
        return "INTEGER";
    }
}

const TableSchema &nestedSchema(std::size_t slot)
{
    return slot == 0 ? bbSchema() : interpSchema();
}

const std::vector<std::string> &nestedFieldNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> result;
        for (const FieldDef &f : mainSchema().fields)
            if (f.kind == FieldKind::Nested)
                result.push_back(f.name);
        return result;
    }();
    return names;
}

std::vector<std::string> nextIncColumns()
{
    std::vector<std::string> columns;
    for (const std::string &name : nestedFieldNames())
        columns.push_back(name + NextIncSuffix);
    return columns;
}

std::vector<const TableSchema *> allSchemas()
{
    std::vector<const TableSchema *> schemas{&mainSchema()};
    for (std::size_t slot = 0; slot < nestedFieldNames().size(); ++slot)
        schemas.push_back(&nestedSchema(slot));
    return schemas;
}

std::string columnList(const std::vector<std::string> &leading, const StoredFields &fields,
                       const std::vector<std::string> &trailing)
{
    std::string list;
    auto add = [&list](const std::string &column) {
        if (!list.empty())
            list += ", ";
        list += quoted(column);
    };
    for (const std::string &c : leading)
        add(c);
    for (const auto &[index, field] : fields)
        add(field->name);
    for (const std::string &c : trailing)
        add(c);
    return list;
}

std::string placeholders(std::size_t n)
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s += i ? ", ?" : "?";
    return s;
}

std::int64_t readInteger(const SqlStatement &st, int column, const char *what)
{
    if (st.type(column) != SQLITE_INTEGER)
        throw DatabaseError(std::string("The database holds a bad ") + what);
    return st.integer(column);
}

void wrongKind(const TableSchema &schema, const FieldDef &field)
{
    throw DatabaseError("Field '" + field.name + "' of table " + schema.name
                        + " holds a value of the wrong kind");
}

} // namespace kelvora
