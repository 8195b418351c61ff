// The settings of the calibration window as a user types them: what is typed is what runs,
// and a setting the run cannot use is refused with a message.

#include "ui_calibration_fixture.h"

#include "calibration/run.h"
#include "core/numfmt.h"

#include <QComboBox>
#include <QLineEdit>

namespace kelvora::test {
namespace {

struct TypedSettingCase
{
    const char *name;
    const char *box;
    const char *typed;
    // The same setting for a run without a window.
    void (*apply)(RunSettings &);
};

void PrintTo(const TypedSettingCase &c, std::ostream *out)
{
    *out << c.name;
}

class CalibrationWindowTypedSetting : public CalibrationWindow,
                                      public ::testing::WithParamInterface<TypedSettingCase>
{
};

// Each typed text begins a preset ("1" of "100", "1e-1" of "1e-12", "2" of "20"), which the
// box must not put in its place.
TEST_P(CalibrationWindowTypedSetting, RunsWithWhatWasTyped)
{
    const TypedSettingCase &c = GetParam();
    calibrate(NoisyFivePoints, [&](TFCalibration &calibration) {
        setSetting(calibration, "comboNRestarts", QStringLiteral("0"));
        auto *combo = control<QComboBox>(calibration, c.box);
        const int presets = combo->count();
        typeInto(calibration, c.box, QLatin1String(c.typed));
        EXPECT_EQ(combo->currentText(), QLatin1String(c.typed));
        EXPECT_EQ(combo->count(), presets) << "the list still offers its presets";
        run(calibration);
        const QString shownIterations = text(calibration, "edNILM");
        const QString shownA = text(calibration, "edAPSO");
        const QString shownPass = text(calibration, "edRestartNo");
        const QStringList messages = dialogs.messages;
        const bool holdsResults = calibration.holdsResults();

        RunSettings settings;
        settings.Seed = 7;
        settings.NRestarts = 0;
        settings.SearchRange = 2.0L;
        settings.Threads = 1;
        c.apply(settings);
        RunHost host;
        const RunOutcome direct = RunCalibration(RunInputOf(records()), settings, host);
        if (!direct.LM.Message.empty()) {
            EXPECT_EQ(messages, QStringList{QString::fromStdString(direct.LM.Message)});
            EXPECT_FALSE(holdsResults);
            return;
        }
        ASSERT_TRUE(messages.isEmpty()) << messagesShown();
        ASSERT_TRUE(direct.PSO.has_value());
        EXPECT_EQ(shownIterations, QString::number(direct.LM.Iter));
        EXPECT_EQ(shownPass, QString::number(direct.PSO->PassesRun - 1));
        EXPECT_EQ(shownA, QString::fromStdString(formatGeneral(
                              direct.PSO->Result[1], 15, window->textLocale().decimalSeparator)));
        dialogs.confirmAnswers.push_back(false);
    });
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, CalibrationWindowTypedSetting,
    ::testing::Values(
        // One iteration is too few for these points: the fit ends without converging.
        TypedSettingCase{"OneIteration", "comboMaxNIter", "1",
                         [](RunSettings &s) { s.MaxIter = 1; }},
        TypedSettingCase{"CoarseTolerance", "comboTolerance", "1e-1",
                         [](RunSettings &s) { s.Tol = 1e-1L; }},
        TypedSettingCase{"TwoRestarts", "comboNRestarts", "2",
                         [](RunSettings &s) { s.NRestarts = 2; }}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace kelvora::test
