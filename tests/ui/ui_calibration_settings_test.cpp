// The settings of the calibration window as a user types them: what is typed is what runs,
// and a setting the run cannot use is refused with a message.

#include "ui_calibration_fixture.h"

#include "../casename.h"
#include "calibration/run.h"
#include "core/numfmt.h"

#include <QComboBox>
#include <QLineEdit>

namespace kelvora::test {
namespace {

using testcase::CaseName;
using testcase::PrintTo;

// The text with "#" written as the system's decimal separator and "~" as the other one.
QString withSeparators(const char *text, char separator)
{
    const QChar other = QLatin1Char(separator == ',' ? '.' : ',');
    return QString::fromLatin1(text)
        .replace(QLatin1Char('#'), QLatin1Char(separator))
        .replace(QLatin1Char('~'), other);
}

// What the box shows: a drop-down list's text or a spin edit's.
QString boxText(TFCalibration &calibration, const char *box)
{
    QWidget *shown = calibration.findChild<QWidget *>(QLatin1String(box));
    auto *edit = qobject_cast<QLineEdit *>(shown);
    if (edit == nullptr)
        edit = shown->findChild<QLineEdit *>();
    return edit != nullptr ? edit->text() : QString();
}

struct TypedSettingCase
{
    const char *name;
    const char *box;
    const char *typed;
    // The same setting for a run without a window.
    void (*apply)(RunSettings &);
};

class CalibrationWindowTypedSetting : public CalibrationWindow,
                                      public ::testing::WithParamInterface<TypedSettingCase>
{
};

// Each typed text of a drop-down list begins a preset ("1" of "100", "1e-1" of "1e-12", "2" of
// "20"), which the box must not put in its place; the search range takes the system's
// decimal separator and its limits.
TEST_P(CalibrationWindowTypedSetting, RunsWithWhatWasTyped)
{
    const TypedSettingCase &c = GetParam();
    calibrate(NoisyFivePoints, [&](TFCalibration &calibration) {
        const char separator = window->textLocale().decimalSeparator;
        setSetting(calibration, "comboNRestarts", QStringLiteral("0"));
        auto *combo = qobject_cast<QComboBox *>(control<QWidget>(calibration, c.box));
        const int presets = combo != nullptr ? combo->count() : 0;
        const QString typed = withSeparators(c.typed, separator);
        typeInto(calibration, c.box, typed);
        EXPECT_EQ(boxText(calibration, c.box), typed);
        if (combo != nullptr) {
            EXPECT_EQ(combo->count(), presets) << "the list still offers its presets";
        }
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
        settings.DecimalSeparator = separator;
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
        EXPECT_EQ(shownA,
                  QString::fromStdString(formatGeneral(direct.PSO->Result[1], 15, separator)));
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
                         [](RunSettings &s) { s.NRestarts = 2; }},
        TypedSettingCase{"SearchRangeWithDecimals", "edExt", "2#55",
                         [](RunSettings &s) { s.SearchRange = 2.55L; }},
        TypedSettingCase{"SearchRangeLowerLimit", "edExt", "1",
                         [](RunSettings &s) { s.SearchRange = 1.0L; }},
        TypedSettingCase{"SearchRangeUpperLimit", "edExt", "1000#0",
                         [](RunSettings &s) { s.SearchRange = 1000.0L; }}),
    CaseName);

struct RefusedSettingCase
{
    const char *name;
    const char *box;
    const char *typed;
    const char *message;
    // The swarm's settings are read once the Levenberg-Marquardt results are shown.
    bool levenbergMarquardtShown;
};

class CalibrationWindowRefusedSetting : public CalibrationWindow,
                                        public ::testing::WithParamInterface<RefusedSettingCase>
{
};

TEST_P(CalibrationWindowRefusedSetting, IsNamedInAMessageAndKeptAsTyped)
{
    const RefusedSettingCase &c = GetParam();
    calibrate(NoisyFivePoints, [&](TFCalibration &calibration) {
        const char separator = window->textLocale().decimalSeparator;
        setSetting(calibration, "comboNRestarts", QStringLiteral("0"));
        const QString typed = withSeparators(c.typed, separator);
        typeInto(calibration, c.box, typed);
        EXPECT_EQ(boxText(calibration, c.box), typed) << "nothing replaces what was typed";
        run(calibration);
        EXPECT_EQ(dialogs.messages, QStringList{withSeparators(c.message, separator)});
        EXPECT_EQ(memoLines(calibration, "mLM").size(), c.levenbergMarquardtShown ? 5 : 0);
        EXPECT_TRUE(memoLines(calibration, "mPSO").isEmpty());
        EXPECT_FALSE(calibration.holdsResults());
        expectIdleButtons(calibration, false);
        EXPECT_EQ(boxText(calibration, c.box), typed);
    });
    EXPECT_TRUE(dialogs.confirmations.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, CalibrationWindowRefusedSetting,
    ::testing::Values(
        RefusedSettingCase{"NoIterations", "comboMaxNIter", "0",
                           "'0' is not a valid Max. Number of Iterations: it must be at least 1",
                           false},
        RefusedSettingCase{"ZeroTolerance", "comboTolerance", "0",
                           "'0' is not a valid Tolerance: it must be greater than 0", false},
        RefusedSettingCase{"NegativeRestarts", "comboNRestarts", "-1",
                           "'-1' is not a valid Number of Restarts: it must be at least 0", true},
        RefusedSettingCase{"SearchRangeWithTheOtherSeparator", "edExt", "2~5",
                           "'2~5' is not a valid floating point value", true},
        RefusedSettingCase{"SearchRangeNotANumber", "edExt", "abc",
                           "'abc' is not a valid floating point value", true},
        RefusedSettingCase{"SearchRangeAboveItsLimit", "edExt", "5000",
                           "'5000' is not a valid Search Range: it must be from 1#0 to 1000#0",
                           true},
        RefusedSettingCase{"SearchRangeBelowItsLimit", "edExt", "0#5",
                           "'0#5' is not a valid Search Range: it must be from 1#0 to 1000#0",
                           true}),
    CaseName);

struct EnterCase
{
    const char *name;
    const char *control; // has the keyboard focus
    Qt::Key key;
    bool runs;
};

class CalibrationWindowEnter : public CalibrationWindow,
                               public ::testing::WithParamInterface<EnterCase>
{
};

TEST_P(CalibrationWindowEnter, StartsARunOnlyFromRun)
{
    const EnterCase &c = GetParam();
    calibrate(NoisyFivePoints, [&](TFCalibration &calibration) {
        setSetting(calibration, "comboNRestarts", QStringLiteral("1000"));
        activate(calibration);
        auto *focused = control<QWidget>(calibration, c.control);
        QWidget *target = focused->focusProxy() != nullptr ? focused->focusProxy() : focused;
        if (auto *combo = qobject_cast<QComboBox *>(focused))
            target = combo->lineEdit();
        target->setFocus();
        ASSERT_TRUE(target->hasFocus());
        QTest::keyClick(target, c.key);
        QCoreApplication::processEvents();
        EXPECT_EQ(calibration.running(), c.runs);
        if (!calibration.running())
            return;
        click(calibration, "btnStop");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !calibration.running(); }, 60000));
        QCoreApplication::processEvents();
        click(calibration, "btnSaveInDB");
    });
}

INSTANTIATE_TEST_SUITE_P(
    Keys, CalibrationWindowEnter,
    ::testing::Values(EnterCase{"EnterInIterations", "comboMaxNIter", Qt::Key_Enter, false},
                      EnterCase{"ReturnInTolerance", "comboTolerance", Qt::Key_Return, false},
                      EnterCase{"ReturnInRestarts", "comboNRestarts", Qt::Key_Return, false},
                      EnterCase{"ReturnInSearchRange", "edExt", Qt::Key_Return, false},
                      EnterCase{"ReturnOnRun", "btnRun", Qt::Key_Return, true},
                      EnterCase{"EnterOnRun", "btnRun", Qt::Key_Enter, true}),
    CaseName);

} // namespace
} // namespace kelvora::test
