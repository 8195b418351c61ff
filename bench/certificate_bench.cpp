// The cost of a certificate: collected from a 20-point record with 100 measurements, rendered
// as a PDF/A file, registered in the database file (the save that commits it, synced) and
// written out, as Certificate... and kelvora-cli certificate do it.

#include "certificate/certificatepdf.h"
#include "certificatecontent/certificate.h"
#include "database/database.h"
#include "records/recordssession.h"
#include "records/regularfile.h"
#include "samples/computedrecord.h"
#include "tables/rows.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace kelvora;

// A database file in a folder of its own holding the 20-point record with 100 measurements
// and the laboratory's details.
std::string benchDatabase()
{
    std::string folder = (std::filesystem::temp_directory_path() / "kelvora-bench-XXXXXX");
    if (!::mkdtemp(folder.data()))
        std::abort();
    RecordStore records;
    records.store.open();
    TParamVector truth;
    truth[1] = 0.65L;
    truth[2] = 0.15L;
    truth[3] = 3e6L;
    std::vector<long double> measured;
    for (int i = 0; i < 100; ++i)
        measured.push_back(SHSignal(truth, 600.0L + 19.0L * i));
    samples::importComputedRecord(records, "Bench", 20, measured);
    LaboratorySettings laboratory;
    laboratory.name = "Kelvora Laboratory";
    laboratory.address = "1 Furnace Lane\nThermopolis";
    laboratory.calibratedBy = "A. Metrologist";
    laboratory.approvedBy = "B. Head";
    records.store.setSettings(WithLaboratorySettings({}, laboratory));
    const std::string path = folder + "/kelvora.dbs";
    saveDatabase(path, records.store.data());
    return path;
}

void BM_Certificate20Points100Measurements(benchmark::State &state)
{
    const std::string database = benchDatabase();
    RecordsSession session(database);
    session.lock();
    session.open(RecordsSession::Opening::Check);
    RecordStore &records = session.records();
    const std::string path =
        (std::filesystem::path(database).parent_path() / "certificate.pdf").string();
    int round = 0;
    for (auto _ : state) {
        // A record changed since its last certificate, so that each round issues one.
        records.cdsMain.edit();
        RecordRowEditor(records.cdsMain).setRem("Round " + std::to_string(++round));
        records.cdsMain.post();
        const IssuedCertificate issued =
            IssueCertificate(records, {}, currentDateTime(), pdfRendering(),
                             [&session] { session.save(); });
        writeOutputFile(path, issued.bytes, ExistingFile::Replace);
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    session.closeWithoutSaving();
    std::filesystem::remove_all(std::filesystem::path(database).parent_path());
}
BENCHMARK(BM_Certificate20Points100Measurements)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    // Painting a document needs Qt's GUI library, here without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
