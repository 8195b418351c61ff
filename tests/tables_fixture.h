#pragma once

#include "tables/store.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kelvora::storetest {

struct RecordPlan
{
    RecordPlan(std::string name, std::int64_t created,
               std::vector<std::pair<double, double>> points = {},
               std::vector<double> measurements = {})
        : name(std::move(name)), created(created), points(std::move(points)),
          measurements(std::move(measurements))
    {
    }

    std::string name;
    std::int64_t created = 0; // milliseconds
    std::vector<std::pair<double, double>> points; // reference points (S, T)
    std::vector<double> measurements;
};

inline Value &fieldOf(RowData &row, const TableSchema &schema, std::string_view field)
{
    return row.values[static_cast<std::size_t>(schema.fieldIndex(field))];
}

inline RowData makeRecord(const RecordPlan &plan)
{
    RowData record;
    record.values.resize(mainSchema().fields.size());
    record.nested.resize(2);
    fieldOf(record, mainSchema(), "Name") = plan.name;
    fieldOf(record, mainSchema(), "Created") = DateTime{plan.created};
    fieldOf(record, mainSchema(), "Computed") = false;
    for (const auto &[s, t] : plan.points) {
        RowData row;
        row.values.resize(bbSchema().fields.size());
        fieldOf(row, bbSchema(), "inc") = record.nested[0].nextInc++;
        fieldOf(row, bbSchema(), "S") = s;
        fieldOf(row, bbSchema(), "T") = t;
        record.nested[0].rows.push_back(row);
    }
    for (const double s : plan.measurements) {
        RowData row;
        row.values.resize(interpSchema().fields.size());
        fieldOf(row, interpSchema(), "inc") = record.nested[1].nextInc++;
        fieldOf(row, interpSchema(), "S") = s;
        record.nested[1].rows.push_back(row);
    }
    return record;
}

inline StoreData makeData(const std::vector<RecordPlan> &plans)
{
    StoreData data;
    for (const RecordPlan &plan : plans)
        data.records.push_back(makeRecord(plan));
    return data;
}

// Alpha, Beta and Gamma, created so that the newest-first order differs from the name order:
// by creation time Beta, Gamma, Alpha.
inline std::vector<RecordPlan> greekRecords()
{
    return {
        {"Alpha", 1000, {{0.5, 1000.0}, {2.0, 1500.0}}, {1.0}},
        {"Beta", 3000, {{0.1, 800.0}}, {}},
        {"Gamma", 2000, {{1.0, 1200.0}, {3.0, 1700.0}, {0.2, 900.0}}, {0.3, 0.4}},
    };
}

// Every change notification of a table, in order.
struct ChangeLog
{
    explicit ChangeLog(Table &table)
    {
        table.dataChanged.connect([this](const DataChange &c) { changes.push_back(c); });
    }
    int count(DataChange::Kind kind) const
    {
        int n = 0;
        for (const DataChange &c : changes)
            n += c.kind == kind ? 1 : 0;
        return n;
    }
    std::vector<DataChange> changes;
};

class StoreEngineTest : public ::testing::Test
{
protected:
    void openWith(const std::vector<RecordPlan> &plans)
    {
        store.load(makeData(plans));
        store.open();
    }

    // The values of one field, row by row, as a grid shows them.
    static std::vector<std::string> column(const Table &table, std::string_view field)
    {
        std::vector<std::string> texts;
        const int index = table.schema().fieldIndex(field);
        for (int row = 0; row < table.displayRowCount(); ++row)
            texts.push_back(table.displayText(row, index));
        return texts;
    }

    Store store;
    Table &main = store.cdsMain;
    Table &bb = store.cdsBB;
    Table &interp = store.cdsInterp;
};

} // namespace kelvora::storetest
