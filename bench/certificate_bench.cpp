// The cost of a certificate: collected from a 20-point record with 100 measurements and
// written as a PDF/A file, as Certificate... and kelvora-cli certificate do it.

#include "certificate/certificatepdf.h"
#include "certificatecontent/certificate.h"
#include "samples/computedrecord.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace kelvora;

void BM_Certificate20Points100Measurements(benchmark::State &state)
{
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

    const std::string path =
        (std::filesystem::temp_directory_path() / "kelvora-bench-certificate.pdf").string();
    const DateTime now = currentDateTime();
    for (auto _ : state) {
        IssueCertificate(records, {}, false, now, [&path](const CertificateDocument &document) {
            writeCertificatePdf(path, document, ExistingFile::Replace);
        });
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::filesystem::remove(path);
}
BENCHMARK(BM_Certificate20Points100Measurements)->Unit(benchmark::kMillisecond);

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
