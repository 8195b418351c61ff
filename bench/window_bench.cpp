// The calibration window against the run without a window: the same record, settings and
// seed, so that both make the same numbers, and the window's cost is what it adds to the
// fit by running it on a worker thread and showing its progress.

#include "calibration/run.h"
#include "records/operations.h"
#include "samples/noisyrecord.h"
#include "tables/recordstore.h"
#include "ui/calibration.h"
#include "ui/dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>

#include <benchmark/benchmark.h>

namespace {

using namespace kelvora;

constexpr std::uint32_t Seed = 2024u;

// A store holding that record as its current one.
struct BenchStore
{
    explicit BenchStore(int points)
    {
        records.store.open();
        ImportRecord(records, samples::noisyRecordFile(points), "Bench");
    }
    RecordStore records;
};

// Dialogs that never show anything: the benchmark's window asks no questions.
class SilentDialogs : public Dialogs
{
public:
    void message(const QString &) override {}
    bool confirm(const QString &, Buttons) override { return false; }
    QString openFile(const QString &, const QString &) override { return {}; }
    QString saveFile(const QString &, const QString &, const QString &) override { return {}; }
    QString savePicture(const QString &, const QString &, const QString &) override
    {
        return {};
    }
    QString openPicture(const QString &, const QString &) override { return {}; }
    QString saveDocument(const QString &, const QString &, const QString &) override
    {
        return {};
    }
    bool showDocument(const QString &) override { return false; }
    std::optional<QString> query(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
    int exec(QDialog &) override { return 0; }
    void setBusy(bool) override {}
    void processEvents() override {}
};

RunSettings defaultSettings(int points)
{
    RunSettings settings;
    settings.Seed = Seed;
    settings.SearchRange = DefaultSearchRange(points);
    return settings;
}

void BM_FitWithoutWindow(benchmark::State &state)
{
    const int points = static_cast<int>(state.range(0));
    BenchStore store(points);
    const RunInput input = RunInputOf(store.records);
    for (auto _ : state) {
        RunHost host;
        benchmark::DoNotOptimize(RunCalibration(input, defaultSettings(points), host));
    }
}

void BM_FitInWindow(benchmark::State &state)
{
    const int points = static_cast<int>(state.range(0));
    BenchStore store(points);
    RunHost host;
    const RunOutcome expected =
        RunCalibration(RunInputOf(store.records), defaultSettings(points), host);

    SilentDialogs dialogs;
    TFCalibration window(store.records, dialogs, TextLocale{}, {}, {});
    window.setSeedForTesting(Seed);
    window.show();
    for (auto _ : state) {
        window.btnRunClick();
        while (window.running())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const std::optional<RunResults> &held = window.heldResults();
    if (!held || held->LMResult != expected.LM.Result
        || !expected.PSO || held->PSOResult != expected.PSO->Result)
        state.SkipWithError("the window's fit differs from the fit without a window");
}

BENCHMARK(BM_FitWithoutWindow)->Arg(5)->Arg(7)->Arg(20)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(3);
BENCHMARK(BM_FitInWindow)->Arg(5)->Arg(7)->Arg(20)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
