// The calibration window opened by Compute: runs with their progress, Stop, failures and
// errors, saving the results and the question on closing. Every run uses a fixed seed.

#include "ui_calibration_fixture.h"

#include "../fitline.h"
#include "calibration/run.h"
#include "core/lm.h"
#include "core/numfmt.h"
#include "ui/calibration.h"
#include "ui/residualchart.h"
#include "ui/spinedit.h"

#include <QCategoryAxis>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QLineSeries>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

namespace kelvora::test {
namespace {

TEST_F(CalibrationWindow, RunOnThreePointsShowsBothFitsAndOffersTheirSave)
{
    calibrate(ExactThreePoints, [&](TFCalibration &calibration) {
        EXPECT_EQ(calibration.windowTitle(), QLatin1String(Caption));
        expectIdleButtons(calibration, false);
        setSetting(calibration, "comboNRestarts", QStringLiteral("1"));
        run(calibration);

        EXPECT_EQ(status(calibration), QStringLiteral("Fitting is completed."));
        expectIdleButtons(calibration, true);
        ASSERT_TRUE(calibration.holdsResults());
        const RunResults &held = *calibration.heldResults();
        EXPECT_FALSE(held.ResultsSaved);
        const char separator = window->textLocale().decimalSeparator;

        // The boxes show the held results in their formats.
        EXPECT_EQ(text(calibration, "edALM"),
                  QString::fromStdString(formatGeneral(held.LMResult[1], 15, separator)));
        EXPECT_EQ(text(calibration, "edCLM"),
                  QString::fromStdString(formatGeneral(held.LMResult[3], 15, separator)));
        EXPECT_EQ(text(calibration, "edMeanRMSLM"),
                  QString::fromStdString(formatFixed(held.LMMeanRMS, 9, 4, separator)));
        EXPECT_EQ(text(calibration, "edBPSO"),
                  QString::fromStdString(formatGeneral(held.PSOResult[2], 15, separator)));
        EXPECT_EQ(text(calibration, "edMeanRMSPSO"),
                  QString::fromStdString(formatFixed(held.PSOMeanRMS, 9, 4, separator)));
        EXPECT_FALSE(text(calibration, "edNILM").isEmpty());
        // The exact points reach the swarm's target in its first pass.
        EXPECT_EQ(text(calibration, "edRestartNo"), QStringLiteral("0"));
        EXPECT_LT(held.PSOMeanRMS, 0.005L);

        // One memo line and one residual per point.
        const QStringList lm = memoLines(calibration, "mLM");
        const QStringList pso = memoLines(calibration, "mPSO");
        ASSERT_EQ(lm.size(), 3);
        ASSERT_EQ(pso.size(), 3);
        const ReferenceSet &reference = held.reference;
        for (int i = 1; i <= 3; ++i) {
            const long double t = SHTemperature(held.LMResult, reference.RefS[i]);
            const auto shown = test::readFitLine(lm[i - 1].toStdString(), separator);
            ASSERT_TRUE(shown.has_value()) << lm[i - 1].toStdString();
            EXPECT_EQ(shown->index, i);
            EXPECT_NEAR(shown->T, static_cast<double>(t), 0.0005);
            EXPECT_NEAR(shown->d, static_cast<double>((t - reference.RefT[i]) * 1000.0L),
                        0.005);
            EXPECT_TRUE(pso[i - 1].startsWith(QString::number(i) + QStringLiteral(": T = ")));
        }
        auto *chart = control<ResidualChart>(calibration, "chApprox");
        ASSERT_EQ(points(chart->seLM).size(), 3);
        ASSERT_EQ(points(chart->sePSO).size(), 3);
        EXPECT_EQ(points(chart->seLM)[0].x(), 900.0);
        EXPECT_DOUBLE_EQ(points(chart->seLM)[2].y(),
                         static_cast<double>(
                             (SHTemperature(held.LMResult, reference.RefS[3]) - 1300) * 1000));
        // The dashed zero line spans the bottom axis.
        const QList<QPointF> zero = points(chart->seZero);
        ASSERT_EQ(zero.size(), 2);
        EXPECT_EQ(zero[0], QPointF(chart->axisT()->min(), 0));
        EXPECT_EQ(zero[1], QPointF(chart->axisT()->max(), 0));
        EXPECT_LT(zero[0].x(), 900.0);
        EXPECT_GT(zero[1].x(), 1300.0);

        dialogs.confirmAnswers.push_back(false);
    });
    ASSERT_EQ(dialogs.confirmations.size(), 1u);
    EXPECT_EQ(dialogs.confirmations[0].text, QLatin1String(UnsavedQuestion));
    EXPECT_FALSE(RecordRow(cdsMain()).computed()) << "No keeps the record as it was";
}

TEST_F(CalibrationWindow, StopDuringTheSwarmKeepsItsBestSoFar)
{
    calibrate(NoisyFivePoints, [&](TFCalibration &calibration) {
        setSetting(calibration, "comboNRestarts", QStringLiteral("1000"));
        click(calibration, "btnRun");
        EXPECT_FALSE(control<QPushButton>(calibration, "btnRun")->isEnabled());
        EXPECT_TRUE(control<QPushButton>(calibration, "btnStop")->isEnabled());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !text(calibration, "edRestartNo").isEmpty(); }, 60000));
        EXPECT_EQ(status(calibration),
                  QStringLiteral("Particle Swarm Optimization is in progress..."));
        click(calibration, "btnStop");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !calibration.running(); }, 60000));
        QCoreApplication::processEvents();

        EXPECT_EQ(status(calibration), QStringLiteral("Fitting is interrupted."));
        expectIdleButtons(calibration, true);
        EXPECT_LT(text(calibration, "edRestartNo").toInt(), 1000);
        EXPECT_EQ(memoLines(calibration, "mPSO").size(), 5);
        // The boxes show the particle the run holds.
        ASSERT_TRUE(calibration.holdsResults());
        const char separator = window->textLocale().decimalSeparator;
        EXPECT_EQ(text(calibration, "edAPSO"),
                  QString::fromStdString(
                      formatGeneral(calibration.heldResults()->PSOResult[1], 15, separator)));
        click(calibration, "btnSaveInDB");
    });
    EXPECT_TRUE(dialogs.confirmations.empty()) << "saved results ask nothing on closing";
    EXPECT_TRUE(RecordRow(cdsMain()).computed());
}

// The five noisy points, each with u(T) = 10 mK as the third number of its line.
const char *const NoisyFivePointsWithUncertainties = "0.65\n0.01\n5\n"
                                                    "5.605744279596E-08  700.0  10\n"
                                                    "6.293084622009E-05  900.0  10\n"
                                                    "5.490410377996E-03  1100.0 10\n"
                                                    "1.212645735649E-01  1300.0 10\n"
                                                    "1.173418307831E+00  1500.0 10\n";

// The numbers of a line of the uncertainty memo: T, u_fit, u_ref, u_mc; "-" reads as -1.
std::vector<double> uncertaintyLine(const QString &line, char separator)
{
    std::vector<double> values;
    for (QString word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        word.replace(QLatin1Char(separator), QLatin1Char('.'));
        values.push_back(word == QStringLiteral("-") ? -1.0 : word.toDouble());
    }
    return values;
}

// After a run: u_fit and u_ref at every point and the Birge ratio; the Monte Carlo check runs
// with the progress bar and gives u_mc within 5 % of u_ref (10 mK is small enough for the fit
// to be linear in the points' temperatures).
TEST_F(CalibrationWindow, RunShowsTheUncertaintiesAndMonteCarloChecksThem)
{
    calibrate(NoisyFivePointsWithUncertainties, [&](TFCalibration &calibration) {
        auto *monteCarlo = control<QPushButton>(calibration, "btnMonteCarlo");
        EXPECT_FALSE(monteCarlo->isEnabled()) << "nothing to check before a run";
        setSetting(calibration, "comboNRestarts", QStringLiteral("1"));
        run(calibration);
        const char separator = window->textLocale().decimalSeparator;
        QStringList lines = memoLines(calibration, "mUnc");
        ASSERT_EQ(lines.size(), 6) << "a header and a line per point";
        EXPECT_EQ(lines[0], QStringLiteral("T (K)  u_fit  u_ref  u_mc (mK)"));
        for (int i = 1; i <= 5; ++i) {
            const std::vector<double> values = uncertaintyLine(lines[i], separator);
            ASSERT_EQ(values.size(), 4u) << lines[i].toStdString();
            EXPECT_GT(values[1], 0.0);
            EXPECT_GT(values[2], 0.0);
            EXPECT_LT(values[2], 10.0) << "the fit averages the points";
            EXPECT_EQ(values[3], -1.0) << "no check yet";
        }
        EXPECT_TRUE(control<QLabel>(calibration, "lbBirge")
                        ->text()
                        .startsWith(QStringLiteral("R_B = ")));
        ASSERT_TRUE(monteCarlo->isEnabled());

        monteCarlo->click();
        EXPECT_EQ(status(calibration), QStringLiteral("Monte Carlo check is in progress..."));
        EXPECT_TRUE(control<QPushButton>(calibration, "btnStop")->isEnabled());
        EXPECT_FALSE(control<QPushButton>(calibration, "btnRun")->isEnabled());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !calibration.checking(); }, 60000));
        QCoreApplication::processEvents();
        EXPECT_EQ(status(calibration),
                  QStringLiteral("Monte Carlo check is completed: 0 of 10000 trials failed to "
                                 "fit."));
        EXPECT_EQ(control<QProgressBar>(calibration, "pbRun")->value(), 10000);
        expectIdleButtons(calibration, true);
        lines = memoLines(calibration, "mUnc");
        ASSERT_EQ(lines.size(), 6);
        for (int i = 1; i <= 5; ++i) {
            const std::vector<double> values = uncertaintyLine(lines[i], separator);
            ASSERT_EQ(values.size(), 4u);
            EXPECT_NEAR(values[3] / values[2], 1.0, 0.05) << lines[i].toStdString();
        }
        dialogs.confirmAnswers.push_back(false);
    });
}

// Without u(T) of every point there is no u_ref and nothing to check; a check asked to stop
// gives no values.
TEST_F(CalibrationWindow, MonteCarloNeedsEveryPointsUncertaintyAndStops)
{
    calibrate(NoisyFivePoints, [&](TFCalibration &calibration) {
        setSetting(calibration, "comboNRestarts", QStringLiteral("1"));
        run(calibration);
        const QStringList lines = memoLines(calibration, "mUnc");
        ASSERT_EQ(lines.size(), 6);
        EXPECT_TRUE(lines[1].endsWith(QStringLiteral("  -  -"))) << lines[1].toStdString();
        EXPECT_EQ(control<QLabel>(calibration, "lbBirge")->text(),
                  QStringLiteral("No u_ref: u(T) of a reference point is missing"));
        EXPECT_FALSE(control<QPushButton>(calibration, "btnMonteCarlo")->isEnabled());
        dialogs.confirmAnswers.push_back(false);
    });

    importRecord(QStringLiteral("Many"), NoisyFivePointsWithUncertainties);
    cdsMain().edit();
    RecordRowEditor(cdsMain()).setMCTrials(200000);
    cdsMain().post();
    openCalibration([&](TFCalibration &calibration) {
        setSetting(calibration, "comboNRestarts", QStringLiteral("1"));
        run(calibration);
        click(calibration, "btnMonteCarlo");
        auto *bar = control<QProgressBar>(calibration, "pbRun");
        EXPECT_EQ(bar->maximum(), 200000);
        ASSERT_TRUE(QTest::qWaitFor([&] { return bar->value() > 0; }, 60000));
        click(calibration, "btnStop");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !calibration.checking(); }, 60000));
        QCoreApplication::processEvents();
        EXPECT_EQ(status(calibration), QStringLiteral("Monte Carlo check is interrupted."));
        EXPECT_LT(bar->value(), 200000);
        expectIdleButtons(calibration, true);
        for (const QString &line : memoLines(calibration, "mUnc").mid(1))
            EXPECT_TRUE(line.endsWith(QStringLiteral("  -"))) << line.toStdString();
        dialogs.confirmAnswers.push_back(false);
    });
}

TEST_F(CalibrationWindow, SecondRunReplacesTheFirstAndClearsTheSavedFlag)
{
    TParamVector second;
    calibrate(NoisyFivePoints, [&](TFCalibration &calibration) {
        setSetting(calibration, "comboNRestarts", QStringLiteral("0"));
        run(calibration);
        click(calibration, "btnSaveInDB");
        ASSERT_TRUE(calibration.holdsResults());
        EXPECT_TRUE(calibration.heldResults()->ResultsSaved);
        const TParamVector first = calibration.heldResults()->PSOResult;

        calibration.setSeedForTesting(8);
        run(calibration);
        ASSERT_TRUE(calibration.holdsResults());
        EXPECT_FALSE(calibration.heldResults()->ResultsSaved);
        second = calibration.heldResults()->PSOResult;
        EXPECT_NE(second, first);
        EXPECT_EQ(memoLines(calibration, "mLM").size(), 5);
        EXPECT_EQ(memoLines(calibration, "mPSO").size(), 5);
        auto *chart = control<ResidualChart>(calibration, "chApprox");
        EXPECT_EQ(points(chart->sePSO).size(), 5);
        dialogs.confirmAnswers.push_back(true);
    });
    ASSERT_EQ(dialogs.confirmations.size(), 1u);
    // Yes saved the second run's results.
    EXPECT_EQ(RecordRow(cdsMain()).APSO(), static_cast<double>(second[1]));
}

struct LMFailureCase
{
    const char *name;
    const char *maxIter;
    int status;
};

void PrintTo(const LMFailureCase &c, std::ostream *out)
{
    *out << c.name;
}

class CalibrationWindowLMFailure : public CalibrationWindow,
                                   public ::testing::WithParamInterface<LMFailureCase>
{
protected:
    // Makes the Levenberg-Marquardt fit of the current record give up without a descent:
    // with A = 1e-296 the absolute difference step dwarfs it, and every trial overshoots.
    void makeDescentImpossible()
    {
        static const double points[][2] = {{1.8064078356321747e-13, 4.8750000000000004e+298},
                                           {0.00073365228424381588, 9.7500000000000009e+298},
                                           {1.1723002785658114, 1.4625e+299},
                                           {46.875174825585113, 1.9500000000000002e+299}};
        cdsMain().edit();
        RecordRowEditor record(cdsMain());
        record.setAS(1e-296);
        record.setBS(0.1);
        record.setCS(3e6);
        cdsMain().post();
        Table &bb = cdsBB();
        for (int i = 1; i <= 4; ++i) {
            bb.setRecNo(i);
            bb.edit();
            ReferencePointRowEditor point(bb);
            point.setS(points[i - 1][0]);
            point.setT(points[i - 1][1]);
            bb.post();
        }
        PostIfEditing(cdsMain());
    }
};

TEST_P(CalibrationWindowLMFailure, ShowsItsMessageAndKeepsTheEarlierDisplay)
{
    const LMFailureCase &c = GetParam();
    calibrate(NoisyFourPoints, [&](TFCalibration &calibration) {
        // A successful run first, for the boxes and the chart to keep.
        setSetting(calibration, "comboNRestarts", QStringLiteral("0"));
        run(calibration);
        const QString boxA = text(calibration, "edALM");
        const QString boxPSO = text(calibration, "edAPSO");
        auto *chart = control<ResidualChart>(calibration, "chApprox");
        const QList<QPointF> lmPoints = points(chart->seLM);
        ASSERT_EQ(lmPoints.size(), 4);
        dialogs.clearRecords();

        if (c.status == lmNoDescent)
            makeDescentImpossible();
        setSetting(calibration, "comboMaxNIter", QLatin1String(c.maxIter));
        run(calibration);
        EXPECT_EQ(dialogs.messages,
                  QStringList{QString::fromStdString(LMFailureMessage(c.status))});
        EXPECT_TRUE(memoLines(calibration, "mLM").isEmpty());
        EXPECT_TRUE(memoLines(calibration, "mPSO").isEmpty());
        EXPECT_EQ(text(calibration, "edALM"), boxA);
        EXPECT_EQ(text(calibration, "edAPSO"), boxPSO);
        EXPECT_EQ(points(chart->seLM), lmPoints);
        // Nothing of a failed run can be saved, and closing asks nothing.
        expectIdleButtons(calibration, false);
        EXPECT_FALSE(calibration.holdsResults());
    });
    EXPECT_TRUE(dialogs.confirmations.empty());
    EXPECT_FALSE(RecordRow(cdsMain()).computed());
}

INSTANTIATE_TEST_SUITE_P(Statuses, CalibrationWindowLMFailure,
                         ::testing::Values(LMFailureCase{"IterationLimit", "1", lmIterationLimit},
                                           LMFailureCase{"NoDescent", "50", lmNoDescent}),
                         [](const auto &info) { return std::string(info.param.name); });

struct CloseAnswerCase
{
    const char *name;
    bool yes;
};

void PrintTo(const CloseAnswerCase &c, std::ostream *out)
{
    *out << c.name;
}

class CalibrationWindowClose : public CalibrationWindow,
                               public ::testing::WithParamInterface<CloseAnswerCase>
{
};

TEST_P(CalibrationWindowClose, AsksAboutUnsavedResults)
{
    const CloseAnswerCase &c = GetParam();
    QStringList memo;
    RunResults held;
    calibrate(ExactThreePoints, [&](TFCalibration &calibration) {
        run(calibration);
        memo = memoLines(calibration, "mLM");
        ASSERT_TRUE(calibration.holdsResults());
        held = *calibration.heldResults();
        dialogs.confirmAnswers.push_back(c.yes);
        click(calibration, "btnClose");
        EXPECT_FALSE(calibration.isVisible());
        EXPECT_FALSE(calibration.heldResults()->ResultsSaved)
            << "Yes saves without marking the results saved";
    });
    ASSERT_EQ(dialogs.confirmations.size(), 1u);
    EXPECT_EQ(dialogs.confirmations[0].text, QLatin1String(UnsavedQuestion));
    EXPECT_EQ(dialogs.confirmations[0].buttons, Dialogs::Buttons::YesNo);
    EXPECT_EQ(RecordRow(cdsMain()).computed(), c.yes);
    EXPECT_EQ(pc()->isTabVisible(pc()->indexOf(tsMeasurements())), c.yes);
    if (!c.yes)
        return;
    // The stored deviations are the memo's: fitted minus reference temperature.
    Table &bb = cdsBB();
    for (int i = 1; i <= 3; ++i) {
        bb.setRecNo(i);
        EXPECT_TRUE(memo[i - 1].endsWith(
            QStringLiteral("d = ")
            + QString::fromStdString(bb.displayText(bb.displayCurrentRow(),
                                                    fieldIndex(ReferencePointField::dTLM),
                                                    window->textLocale()))
            + QStringLiteral(" mK")))
            << memo[i - 1].toStdString();
        const long double s = held.reference.RefS[i];
        EXPECT_EQ(ReferencePointRow(bb).difference(),
                  static_cast<double>(
                      (SHTemperature(held.LMResult, s) - SHTemperature(held.PSOResult, s))
                      * 1000.0L));
    }
    // The main window shows the saved triple and the file holds it at once.
    EXPECT_EQ(edA()->text().toStdString(),
              RecordRow(cdsMain()).text(RecordField::ALM, window->textLocale()));
    returnToEventLoop();
    const StoreData saved = savedData();
    ASSERT_EQ(saved.records.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Answers, CalibrationWindowClose,
                         ::testing::Values(CloseAnswerCase{"Yes", true},
                                           CloseAnswerCase{"No", false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(CalibrationWindow, SaveThenCloseAsksNothing)
{
    long double meanRMS = 0.0L;
    calibrate(ExactThreePoints, [&](TFCalibration &calibration) {
        run(calibration);
        click(calibration, "btnSaveInDB");
        ASSERT_TRUE(calibration.holdsResults());
        EXPECT_TRUE(calibration.heldResults()->ResultsSaved);
        meanRMS = calibration.heldResults()->PSOMeanRMS;
        EXPECT_EQ(status(calibration), QStringLiteral("Results saved in the database"));
        click(calibration, "btnClose");
    });
    EXPECT_TRUE(dialogs.confirmations.empty());
    EXPECT_TRUE(RecordRow(cdsMain()).computed());
    EXPECT_FALSE(RecordRow(cdsMain()).isNull(RecordField::Processed));
    EXPECT_EQ(RecordRow(cdsMain()).meanRMSPSO(), static_cast<double>(meanRMS));
}

TEST_F(CalibrationWindow, NothingCanBeSavedBeforeARun)
{
    // A run of another record leaves held results behind: this window must not save them.
    startEmpty();
    importRecord(QStringLiteral("Other"), NoisyFivePoints);
    openCalibration([&](TFCalibration &calibration) {
        setSetting(calibration, "comboNRestarts", QStringLiteral("0"));
        run(calibration);
        dialogs.confirmAnswers.push_back(false);
    });
    dialogs.clearRecords();
    dialogs.confirmAnswers.clear();
    importRecord(QStringLiteral("Lamp"), ExactThreePoints);
    openCalibration([&](TFCalibration &calibration) {
        expectIdleButtons(calibration, false);
        click(calibration, "btnSaveInDB");
        click(calibration, "btnClose");
    });
    EXPECT_TRUE(dialogs.confirmations.empty());
    EXPECT_FALSE(RecordRow(cdsMain()).computed());
}

struct SettingErrorCase
{
    const char *name;
    const char *combo;
    const char *value;
    const char *message;
    bool levenbergMarquardtShown;
};

void PrintTo(const SettingErrorCase &c, std::ostream *out)
{
    *out << c.name;
}

class CalibrationWindowSettingError : public CalibrationWindow,
                                      public ::testing::WithParamInterface<SettingErrorCase>
{
};

TEST_P(CalibrationWindowSettingError, IsShownAndTheWindowReturnsToIdle)
{
    const SettingErrorCase &c = GetParam();
    calibrate(NoisyFivePoints, [&](TFCalibration &calibration) {
        setSetting(calibration, c.combo, QLatin1String(c.value));
        run(calibration);
        EXPECT_EQ(dialogs.messages, QStringList{QLatin1String(c.message)});
        expectIdleButtons(calibration, false);
        EXPECT_TRUE(status(calibration).isEmpty());
        EXPECT_EQ(memoLines(calibration, "mLM").size(), c.levenbergMarquardtShown ? 5 : 0);
        EXPECT_TRUE(memoLines(calibration, "mPSO").isEmpty());
        click(calibration, "btnClose");
    });
    EXPECT_TRUE(dialogs.confirmations.empty());
    EXPECT_FALSE(RecordRow(cdsMain()).computed());
}

INSTANTIATE_TEST_SUITE_P(
    Settings, CalibrationWindowSettingError,
    ::testing::Values(
        SettingErrorCase{"MaxIter", "comboMaxNIter", "abc", "'abc' is not a valid integer value",
                         false},
        SettingErrorCase{"Tolerance", "comboTolerance", "x",
                         "'x' is not a valid floating point value", false},
        // The swarm's setting is read once the Levenberg-Marquardt results are shown.
        SettingErrorCase{"Restarts", "comboNRestarts", "ten",
                         "'ten' is not a valid integer value", true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CalibrationWindow, FloatingPointFaultOfARunIsShownAndNothingCanBeSaved)
{
    startEmpty();
    importRecord(QStringLiteral("Lamp"), NoisyFivePoints);
    // With A = 0 every fitted temperature is NoValue, and its square overflows.
    cdsMain().edit();
    RecordRowEditor(cdsMain()).setAS(0.0);
    cdsMain().post();
    openCalibration([&](TFCalibration &calibration) {
        run(calibration);
        EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("Floating point overflow")});
        expectIdleButtons(calibration, false);
        EXPECT_TRUE(status(calibration).isEmpty());
    });
    EXPECT_TRUE(dialogs.confirmations.empty());
}

TEST_F(CalibrationWindow, EmptySearchBoxIsRefusedAfterTheLevenbergMarquardtFit)
{
    startEmpty();
    importRecord(QStringLiteral("Lamp"), NoisyFivePoints);
    // Signals below zero, as no record file holds them: the fitted C is negative, and C / w
    // lies above C * w.
    cdsMain().edit();
    RecordRowEditor record(cdsMain());
    record.setCS(-record.CS());
    cdsMain().post();
    Table &bb = cdsBB();
    for (int i = 1; i <= bb.recordCount(); ++i) {
        bb.setRecNo(i);
        bb.edit();
        ReferencePointRowEditor point(bb);
        point.setS(-point.S());
        bb.post();
    }
    PostIfEditing(cdsMain());
    openCalibration([&](TFCalibration &calibration) {
        run(calibration);
        EXPECT_EQ(dialogs.messages, QStringList{QLatin1String(EmptySearchBoxText)});
        EXPECT_TRUE(text(calibration, "edCLM").startsWith(QLatin1Char('-')))
            << "the fitted C is negative";
        EXPECT_EQ(memoLines(calibration, "mLM").size(), 5);
        expectIdleButtons(calibration, false);
    });
    EXPECT_TRUE(dialogs.confirmations.empty());
}

TEST_F(CalibrationWindow, FitsOnEveryCoreAsOnOne)
{
    calibrate(NoisyFivePoints, [&](TFCalibration &calibration) {
        setSetting(calibration, "comboNRestarts", QStringLiteral("2"));
        run(calibration);
        ASSERT_TRUE(calibration.holdsResults());
        const TParamVector lm = calibration.heldResults()->LMResult;
        const TParamVector pso = calibration.heldResults()->PSOResult;
        const QStringList memo = memoLines(calibration, "mPSO");

        // The same fit without a window, on one thread, with the window's seed.
        RunSettings settings;
        settings.Seed = 7;
        settings.NRestarts = 2;
        settings.Threads = 1;
        settings.DecimalSeparator = window->textLocale().decimalSeparator;
        RunHost host;
        const RunOutcome outcome = RunCalibration(RunInputOf(records()), settings, host);
        ASSERT_TRUE(outcome.PSO.has_value());
        EXPECT_EQ(outcome.LM.Result, lm);
        EXPECT_EQ(outcome.PSO->Result, pso);
        ASSERT_EQ(memo.size(), static_cast<qsizetype>(outcome.PSO->Lines.size()));
        for (std::size_t i = 0; i < outcome.PSO->Lines.size(); ++i)
            EXPECT_EQ(memo[static_cast<qsizetype>(i)].toStdString(), outcome.PSO->Lines[i].Text);
        click(calibration, "btnSaveInDB");
    });
}

TEST_F(CalibrationWindow, SearchRangeOfTheWindowBuildsTheBox)
{
    calibrate(NoisyFivePoints, [&](TFCalibration &calibration) {
        auto *range = control<SpinEdit>(calibration, "edExt");
        const QChar separator = QLatin1Char(window->textLocale().decimalSeparator);
        EXPECT_EQ(range->typedText(), QStringLiteral("2") + separator + QStringLiteral("0"))
            << "four points or more";
        range->setValue(3.5);
        setSetting(calibration, "comboNRestarts", QStringLiteral("0"));
        run(calibration);
        ASSERT_TRUE(calibration.holdsResults());
        const TParamVector windowResult = calibration.heldResults()->PSOResult;
        // The swarm's result without a window, with the window's seed, in a box of that range.
        const auto swarmResultWith = [this](long double range) {
            RunSettings settings;
            settings.Seed = 7;
            settings.NRestarts = 0;
            settings.Threads = 1;
            settings.SearchRange = range;
            RunHost host;
            return RunCalibration(RunInputOf(records()), settings, host).PSO->Result;
        };
        EXPECT_EQ(swarmResultWith(3.5L), windowResult);
        EXPECT_NE(swarmResultWith(2.0L), windowResult);
        click(calibration, "btnSaveInDB");
    });
}

TEST_F(CalibrationWindow, ThreePointsStartWithTheNarrowerSearchRange)
{
    calibrate(ExactThreePoints, [&](TFCalibration &calibration) {
        const QChar separator = QLatin1Char(window->textLocale().decimalSeparator);
        EXPECT_EQ(control<SpinEdit>(calibration, "edExt")->typedText(),
                  QStringLiteral("1") + separator + QStringLiteral("5"));
    });
}

struct CloseRequestCase
{
    const char *name;
    void (*request)(TFCalibration &);
    bool stop; // the answer to the question
};

void PrintTo(const CloseRequestCase &c, std::ostream *out)
{
    *out << c.name;
}

class CalibrationWindowCloseDuringRun : public CalibrationWindow,
                                        public ::testing::WithParamInterface<CloseRequestCase>
{
};

TEST_P(CalibrationWindowCloseDuringRun, AsksAtOnceWhetherToStopTheRunAndClose)
{
    const CloseRequestCase &c = GetParam();
    calibrate(NoisyFivePoints, [&](TFCalibration &calibration) {
        setSetting(calibration, "comboNRestarts", QStringLiteral("1000"));
        click(calibration, "btnRun");
        dialogs.confirmAnswers.push_back(c.stop);
        c.request(calibration);
        ASSERT_EQ(dialogs.confirmations.size(), 1u);
        EXPECT_EQ(dialogs.confirmations[0].text,
                  QStringLiteral("Fitting is in progress.\rDo you wish to stop it and close "
                                 "the window?"));
        EXPECT_EQ(dialogs.confirmations[0].buttons, Dialogs::Buttons::YesNo);
        if (c.stop) {
            EXPECT_EQ(status(calibration),
                      QStringLiteral("The window will close when the run has ended"));
            // The interrupted run's results are offered as after any run.
            dialogs.confirmAnswers.push_back(false);
            ASSERT_TRUE(QTest::qWaitFor([&] { return !calibration.isVisible(); }, 60000));
            ASSERT_EQ(dialogs.confirmations.size(), 2u);
            EXPECT_EQ(dialogs.confirmations[1].text, QLatin1String(UnsavedQuestion));
            EXPECT_LT(text(calibration, "edRestartNo").toInt(), 1000) << "the run was stopped";
            return;
        }
        QCoreApplication::processEvents();
        EXPECT_TRUE(calibration.isVisible());
        EXPECT_TRUE(calibration.running()) << "the run goes on";
        click(calibration, "btnStop");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !calibration.running(); }, 60000));
        QCoreApplication::processEvents();
        EXPECT_TRUE(calibration.isVisible()) << "no close is left waiting for the run";
        EXPECT_EQ(status(calibration), QStringLiteral("Fitting is interrupted."));
        EXPECT_EQ(dialogs.confirmations.size(), 1u);
        click(calibration, "btnSaveInDB");
    });
}

INSTANTIATE_TEST_SUITE_P(
    Requests, CalibrationWindowCloseDuringRun,
    ::testing::Values(
        CloseRequestCase{"TitleBarStop", [](TFCalibration &w) { w.close(); }, true},
        CloseRequestCase{"TitleBarGoOn", [](TFCalibration &w) { w.close(); }, false},
        CloseRequestCase{"EscapeStop",
                         [](TFCalibration &w) { QTest::keyClick(&w, Qt::Key_Escape); }, true},
        CloseRequestCase{"EscapeGoOn",
                         [](TFCalibration &w) { QTest::keyClick(&w, Qt::Key_Escape); }, false}),
    [](const auto &info) { return std::string(info.param.name); });

// The fit runs beside the window: while it runs, an event waits no longer than a redraw of
// the progress. A window that ran the fit itself would hold an event for the whole run, which
// takes minutes with 1000 restarts; the bound leaves room for slow builds and busy machines.
TEST_F(CalibrationWindow, EventsAreHandledPromptlyDuringARun)
{
    calibrate(NoisyFivePoints, [&](TFCalibration &calibration) {
        setSetting(calibration, "comboNRestarts", QStringLiteral("1000"));
        click(calibration, "btnRun");
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !text(calibration, "edRestartNo").isEmpty(); }, 60000));
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer clock;
            bool handled = false;
            clock.start();
            QTimer::singleShot(0, &calibration, [&] { handled = true; });
            ASSERT_TRUE(QTest::qWaitFor([&] { return handled; }, 60000));
            EXPECT_LT(clock.elapsed(), 2000) << "event " << i;
            QTest::qWait(30);
        }
        EXPECT_TRUE(calibration.running());
        click(calibration, "btnStop");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !calibration.running(); }, 60000));
        click(calibration, "btnSaveInDB");
    });
}

struct PassCountCase
{
    const char *name;
    const char *restarts;
    int passes;
};

void PrintTo(const PassCountCase &c, std::ostream *out)
{
    *out << c.name;
}

class CalibrationWindowPassCount : public CalibrationWindow,
                                   public ::testing::WithParamInterface<PassCountCase>
{
};

// The progress bar counts the run's sweeps over all its passes, and names the pass with the
// number of passes the restarts give.
TEST_P(CalibrationWindowPassCount, ProgressBarCountsThePassesOfTheRun)
{
    const PassCountCase &c = GetParam();
    calibrate(NoisyFivePoints, [&](TFCalibration &calibration) {
        setSetting(calibration, "comboNRestarts", QLatin1String(c.restarts));
        auto *bar = control<QProgressBar>(calibration, "pbRun");
        click(calibration, "btnRun");
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return bar->text().startsWith(QStringLiteral("Pass ")); }, 60000));
        click(calibration, "btnStop");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !calibration.running(); }, 60000));
        QCoreApplication::processEvents();

        const QRegularExpression form(
            QStringLiteral("^Pass (\\d+) of (\\d+), sweep (\\d+) of 30000$"));
        const QRegularExpressionMatch shown = form.match(bar->text());
        ASSERT_TRUE(shown.hasMatch()) << bar->text().toStdString();
        const int pass = shown.captured(1).toInt();
        const int sweep = shown.captured(3).toInt();
        EXPECT_EQ(shown.captured(2).toInt(), c.passes);
        EXPECT_GE(pass, 1);
        EXPECT_LE(pass, c.passes);
        EXPECT_GE(sweep, 1);
        EXPECT_EQ(bar->minimum(), 0);
        EXPECT_EQ(bar->maximum(), c.passes * 30000);
        EXPECT_EQ(bar->value(), (pass - 1) * 30000 + sweep);
        EXPECT_EQ(text(calibration, "edRestartNo"), QString::number(pass - 1));
        dialogs.confirmAnswers.push_back(false);
    });
}

INSTANTIATE_TEST_SUITE_P(Restarts, CalibrationWindowPassCount,
                         ::testing::Values(PassCountCase{"None", "0", 1},
                                           PassCountCase{"One", "1", 2},
                                           PassCountCase{"Default", "10", 11},
                                           PassCountCase{"Thousand", "1000", 1001}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace kelvora::test
