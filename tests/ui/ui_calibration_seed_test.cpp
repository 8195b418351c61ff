// The seed of the window's particle swarm fit: typed or drawn from the clock, it is shown with
// the result, saved in the record, and repeats the fit on the command line to the last bit.

#include "ui_calibration_fixture.h"

#include "../casename.h"
#include "../cli_process.h"
#include "core/numfmt.h"
#include "database/database.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>

namespace kelvora::test {
namespace {

using testcase::CaseName;
using testcase::PrintTo;

struct SeedCase
{
    const char *name;
    const char *typed; // empty: from the clock
};

class CalibrationWindowSeed : public CalibrationWindow,
                              public ::testing::WithParamInterface<SeedCase>
{
protected:
    ProcessResult cli(const std::vector<std::string> &args)
    {
        return runProgram(KELVORA_CLI, args, dir.path().toStdString());
    }
};

// An extended value of the command line's JSON as the record stores it.
double stored(const QJsonValue &value)
{
    long double number = 0;
    const std::string text = value.toString().toStdString();
    EXPECT_TRUE(parseDecimal(text, number)) << text;
    return static_cast<double>(number);
}

TEST_P(CalibrationWindowSeed, SavedResultIsTheCommandLinesFitWithThatSeed)
{
    const SeedCase &c = GetParam();
    QString shownSeed;
    calibrate(NoisyFivePoints, [&](TFCalibration &calibration) {
        setSetting(calibration, "comboNRestarts", QStringLiteral("1"));
        typeInto(calibration, "edSeed", QLatin1String(c.typed));
        run(calibration);
        ASSERT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
        shownSeed = text(calibration, "edSeedUsed");
        click(calibration, "btnSaveInDB");
    });
    if (*c.typed != 0) {
        EXPECT_EQ(shownSeed, QLatin1String(c.typed));
    }
    bool whole = false;
    const qulonglong seed = shownSeed.toULongLong(&whole);
    ASSERT_TRUE(whole) << shownSeed.toStdString();
    ASSERT_LE(seed, 4294967295ULL);
    EXPECT_EQ(QString::fromStdString(RecordRow(cdsMain()).text(RecordField::Seed)), shownSeed);
    ASSERT_TRUE(window->flushSave());

    // The record file the window imported, fitted by the command line with the seed shown.
    const std::string record = dir.filePath(QStringLiteral("Data/Input/Lamp.txt")).toStdString();
    const ProcessResult fit = cli({"fit", record, "--restarts", "1", "--seed",
                                   shownSeed.toStdString(), "--json"});
    ASSERT_EQ(fit.status, 0) << fit.err;
    const QJsonObject report =
        QJsonDocument::fromJson(QByteArray::fromStdString(fit.out)).object();
    const QJsonObject lm = report[QStringLiteral("lm")].toObject();
    const QJsonObject pso = report[QStringLiteral("pso")].toObject();
    EXPECT_EQ(pso[QStringLiteral("seed")].toDouble(), static_cast<double>(seed));
    const RecordRow saved(cdsMain());
    const struct
    {
        const char *name;
        double LM;
        double PSO;
    } parameters[] = {{"A", saved.ALM(), saved.APSO()},
                      {"B", saved.BLM(), saved.BPSO()},
                      {"C", saved.CLM(), saved.CPSO()}};
    for (const auto &parameter : parameters) {
        EXPECT_EQ(stored(lm[QLatin1String(parameter.name)]), parameter.LM) << parameter.name;
        EXPECT_EQ(stored(pso[QLatin1String(parameter.name)]), parameter.PSO) << parameter.name;
    }
    EXPECT_EQ(stored(pso[QStringLiteral("mean_rms_mK")]), saved.meanRMSPSO());

    // Calibrating a copy of the window's database with that seed stores the same record.
    const std::string copy = dir.filePath(QStringLiteral("copy.dbs")).toStdString();
    std::filesystem::copy_file(dbFile(), copy);
    const ProcessResult calibrated = cli({"calibrate", "Lamp", "--db", copy, "--restarts", "1",
                                          "--seed", shownSeed.toStdString()});
    ASSERT_EQ(calibrated.status, 0) << calibrated.err;
    const StoreData again = loadDatabase(copy);
    ASSERT_EQ(again.records.size(), 1u);
    const RowData &calibratedRecord = again.records.front();
    using Field = RecordField;
    for (const Field field : {Field::ALM, Field::BLM, Field::CLM, Field::MeanRMSLM, Field::APSO,
                              Field::BPSO, Field::CPSO, Field::MeanRMSPSO, Field::Seed}) {
        const auto position = static_cast<std::size_t>(fieldIndex(field));
        const Value &value = calibratedRecord.values.at(position);
        ASSERT_FALSE(std::holds_alternative<std::monostate>(value)) << fieldName(field);
        EXPECT_EQ(value, cdsMain().value(fieldIndex(field))) << fieldName(field);
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, CalibrationWindowSeed,
                         ::testing::Values(SeedCase{"Typed", "3141592653"},
                                           SeedCase{"FromTheClock", ""}),
                         CaseName);

struct RefusedSeedCase
{
    const char *name;
    const char *typed;
    const char *message;
};

class CalibrationWindowRefusedSeed : public CalibrationWindow,
                                     public ::testing::WithParamInterface<RefusedSeedCase>
{
};

TEST_P(CalibrationWindowRefusedSeed, IsNamedInAMessage)
{
    const RefusedSeedCase &c = GetParam();
    calibrate(NoisyFivePoints, [&](TFCalibration &calibration) {
        setSetting(calibration, "comboNRestarts", QStringLiteral("0"));
        typeInto(calibration, "edSeed", QLatin1String(c.typed));
        run(calibration);
        EXPECT_EQ(dialogs.messages, QStringList{QLatin1String(c.message)});
        EXPECT_EQ(memoLines(calibration, "mLM").size(), 5) << "read with the swarm's settings";
        EXPECT_FALSE(calibration.holdsResults());
        EXPECT_TRUE(text(calibration, "edSeedUsed").isEmpty());
    });
    EXPECT_TRUE(dialogs.confirmations.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Seeds, CalibrationWindowRefusedSeed,
    ::testing::Values(
        RefusedSeedCase{"NotANumber", "abc", "'abc' is not a valid integer value"},
        RefusedSeedCase{"Fraction", "1.5", "'1.5' is not a valid integer value"},
        RefusedSeedCase{"Negative", "-1",
                        "'-1' is not a valid Seed: it must be from 0 to 4294967295"},
        RefusedSeedCase{"TooLarge", "4294967296",
                        "'4294967296' is not a valid Seed: it must be from 0 to 4294967295"}),
    CaseName);

} // namespace
} // namespace kelvora::test
