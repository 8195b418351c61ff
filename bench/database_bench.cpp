// Costs of the database file with many records: loading the whole store at start, and the
// save that follows one changed record. Every record holds seven reference points and ten
// measurements, as a calibrated record does.

#include "database/database.h"
#include "tables/rows.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace {

using namespace kelvora;

template <typename Field>
void set(RowData &row, Field field, Value value)
{
    row.values[static_cast<std::size_t>(fieldIndex(field))] = std::move(value);
}

RowData benchRecord(int i)
{
    RowData r;
    r.values.assign(mainSchema().fields.size(), std::monostate{});
    r.nested.resize(2);
    set(r, RecordField::Name, "Pyrometer " + std::to_string(i));
    set(r, RecordField::Created, DateTime{1709647629123 + i});
    set(r, RecordField::Processed, DateTime{1709647629123 + i + 60000});
    set(r, RecordField::Computed, true);
    for (const RecordField field :
         {RecordField::MeanWL, RecordField::Bandwidth, RecordField::TMin, RecordField::TMax,
          RecordField::SMin, RecordField::SMax, RecordField::AS, RecordField::BS, RecordField::CS,
          RecordField::ALM, RecordField::BLM, RecordField::CLM, RecordField::MeanRMSLM,
          RecordField::APSO, RecordField::BPSO, RecordField::CPSO, RecordField::MeanRMSPSO})
        set(r, field, 0.65 + i * 1e-6);
    set(r, RecordField::Rem, std::string("Checked against the copper point"));
    for (std::int64_t p = 1; p <= 7; ++p) {
        RowData point;
        point.values.assign(bbSchema().fields.size(), std::monostate{});
        set(point, ReferencePointField::inc, p);
        for (const ReferencePointField field :
             {ReferencePointField::S, ReferencePointField::T, ReferencePointField::TLM,
              ReferencePointField::TPSO, ReferencePointField::dTLM, ReferencePointField::dTPSO,
              ReferencePointField::Difference})
            set(point, field, 1000.0 + static_cast<double>(p) + i * 1e-3);
        r.nested[0].rows.push_back(std::move(point));
    }
    r.nested[0].nextInc = 8;
    for (std::int64_t m = 1; m <= 10; ++m) {
        RowData measurement;
        measurement.values.assign(interpSchema().fields.size(), std::monostate{});
        set(measurement, MeasurementField::inc, m);
        set(measurement, MeasurementField::S, 1e-3 * static_cast<double>(m));
        set(measurement, MeasurementField::T, 1100.0 + static_cast<double>(m));
        r.nested[1].rows.push_back(std::move(measurement));
    }
    r.nested[1].nextInc = 11;
    return r;
}

// A database file of that many records, written once per count.
const std::string &databaseOf(int records)
{
    static std::map<int, std::string> files;
    auto &path = files[records];
    if (path.empty()) {
        std::string folder = (std::filesystem::temp_directory_path() / "kelvora-bench-XXXXXX");
        if (!::mkdtemp(folder.data()))
            std::abort();
        path = folder + "/kelvora.dbs";
        StoreData data;
        for (int i = 0; i < records; ++i)
            data.records.push_back(benchRecord(i));
        saveDatabase(path, data);
    }
    return path;
}

void BM_LoadStore(benchmark::State &state)
{
    const std::string &path = databaseOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        Store store;
        store.load(loadDatabase(path));
        store.open();
        benchmark::DoNotOptimize(store.cdsMain.recordCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadStore)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// One record's comment is edited and posted, and the store is saved, as the window does after
// every change and the command-line tool after every command.
void BM_SaveOneChangedRecord(benchmark::State &state)
{
    const std::string &path = databaseOf(static_cast<int>(state.range(0)));
    Store store;
    store.load(loadDatabase(path));
    store.open();
    int round = 0;
    for (auto _ : state) {
        store.cdsMain.setRecNo(1 + round % store.cdsMain.recordCount());
        store.cdsMain.edit();
        RecordRowEditor(store.cdsMain).setRem("Edit " + std::to_string(++round));
        store.cdsMain.post();
        saveDatabase(path, store);
    }
}
BENCHMARK(BM_SaveOneChangedRecord)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The whole store written into the file, as every save did before saves were made in place.
void BM_SaveWholeStore(benchmark::State &state)
{
    const std::string &path = databaseOf(static_cast<int>(state.range(0)));
    const StoreData data = loadDatabase(path);
    for (auto _ : state)
        saveDatabase(path, data);
}
BENCHMARK(BM_SaveWholeStore)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
