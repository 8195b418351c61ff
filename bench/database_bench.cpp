// Costs of the database file with many records: loading the whole store at start, and the
// save that follows one changed record. Every record holds seven reference points and ten
// measurements, as a calibrated record does. Loading is also measured with a register of as
// many issued certificates, each with a document of the size of a certificate's PDF file.

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

// The bytes of a certificate's PDF file (about 35 kB), different for each.
constexpr std::size_t DocumentBytes = 35000;

CertificateEntry benchCertificate(int i)
{
    CertificateEntry entry;
    entry.number = "KV-2026-" + std::to_string(10000 + i);
    entry.recordKey = i + 1;
    entry.recordName = "Pyrometer " + std::to_string(i);
    entry.issued = DateTime{1709647629123 + i + 120000};
    entry.fit = "LM";
    entry.step = 50;
    entry.customer = "ACME Pyrometry";
    entry.sha256 = std::string(64, 'a');
    entry.fingerprint = std::string(64, 'b');
    std::string document(DocumentBytes, '\0');
    for (std::size_t b = 0; b < document.size(); ++b)
        document[b] = static_cast<char>((b * 2654435761u + static_cast<std::size_t>(i)) >> 7);
    entry.document = std::move(document);
    return entry;
}

// The database files written, each in a folder of its own, removed when the benchmarks end.
struct BenchFiles
{
    std::map<std::pair<int, bool>, std::string> paths;

    ~BenchFiles()
    {
        for (const auto &[kind, path] : paths)
            std::filesystem::remove_all(std::filesystem::path(path).parent_path());
    }
};

// A database file of that many records, and as many certificates in its register when asked
// for, written once per count.
const std::string &databaseOf(int records, bool withRegister = false)
{
    static BenchFiles files;
    auto &path = files.paths[{records, withRegister}];
    if (path.empty()) {
        std::string folder = (std::filesystem::temp_directory_path() / "kelvora-bench-XXXXXX");
        if (!::mkdtemp(folder.data()))
            std::abort();
        path = folder + "/kelvora.dbs";
        StoreData data;
        for (int i = 0; i < records; ++i) {
            data.records.push_back(benchRecord(i));
            if (withRegister) {
                data.certificates.push_back(benchCertificate(i));
                data.certificates.back().pos = i + 1;
            }
        }
        saveDatabase(path, data);
    }
    return path;
}

void loadStore(benchmark::State &state, bool withRegister)
{
    const std::string &path = databaseOf(static_cast<int>(state.range(0)), withRegister);
    for (auto _ : state) {
        Store store;
        store.load(loadDatabase(path));
        store.open();
        benchmark::DoNotOptimize(store.cdsMain.recordCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_LoadStore(benchmark::State &state)
{
    loadStore(state, false);
}
BENCHMARK(BM_LoadStore)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The same records with a certificate of each in the register.
void BM_LoadStoreWithRegister(benchmark::State &state)
{
    loadStore(state, true);
}
BENCHMARK(BM_LoadStoreWithRegister)->Arg(10000)->Unit(benchmark::kMillisecond);

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
