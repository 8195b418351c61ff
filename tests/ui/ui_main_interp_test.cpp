#include "ui_main_fixture.h"

#include "shotchecks.h"

#include "../casename.h"
#include "core/numfmt.h"
#include "frontend/systemlocale.h"
#include "ui/chart.h"
#include "ui/grid.h"
#include "ui/navigator.h"
#include "ui/radiogroup.h"
#include "ui/tablemodel.h"
#include "ui/uncertaintychart.h"
#include "ui/uncertaintysettings.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace kelvora {
namespace {

using test::MainWindowTest;
using testcase::CaseName;
using testcase::PrintTo;

// The warnings as their labels show them.
const QString SignalWarning = QStringList{
    "Signal for one or several records is out of",
    "the signal range for the reference blackbodies.",
    "",
    "Uncertainties of temperatures calculated for such",
    "signals can be higher than the uncertainties for",
    "temperatures that correspond to the signals lying",
    "within this range."}.join(QLatin1Char('\n'));

const QString TemperatureWarning = QStringList{
    "Temperature for one or several records is out of",
    "the temperature range for the reference blackbodies.",
    "",
    "Uncertainties of temperatures calculated for such",
    "records can be higher than the uncertainties for",
    "temperatures lying within this range."}.join(QLatin1Char('\n'));

// A computed record (reference points 1235..1500 K) whose measurements come from a list.
class Interpolation : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        startEmpty();
        importRecord(QStringLiteral("Lamp"));
        makeComputed();
        pc()->setCurrentWidget(tsMeasurements());
    }

    // What the warning dialogs showed: their label texts, in order.
    QStringList warnings;

    void expectWarnings(int count)
    {
        for (int i = 0; i < count; ++i) {
            dialogs.dialogScripts.push_back([this](QDialog &dialog) {
                auto *label = dialog.findChild<QLabel *>(QStringLiteral("lblAlert"));
                auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("btnOK"));
                ASSERT_NE(label, nullptr);
                ASSERT_NE(ok, nullptr);
                EXPECT_EQ(dialog.windowTitle(), QStringLiteral("WARNING"));
                warnings << label->text();
                ok->click();
            });
        }
    }

    TParamVector shownTriple()
    {
        TParamVector P;
        const char sep = window->textLocale().decimalSeparator;
        P[1] = parseFloat(edA()->text().toStdString(), sep);
        P[2] = parseFloat(edB()->text().toStdString(), sep);
        P[3] = parseFloat(edC()->text().toStdString(), sep);
        return P;
    }

    std::vector<std::pair<double, double>> measurements()
    {
        return CollectMeasurements(records());
    }
};

struct SignalList
{
    const char *what;
    QByteArray content;
    int rows;
    bool warning;
};

// Names the case in test output.
void PrintTo(const SignalList &c, std::ostream *out)
{
    *out << c.what;
}

class SignalListLoad : public Interpolation, public ::testing::WithParamInterface<SignalList>
{
};

TEST_P(SignalListLoad, ReplacesTheMeasurementsAndWarnsOutsideTheRange)
{
    loadSignals("2\n5E-3\n6E-3\n");
    const SignalList &c = GetParam();
    dialogs.clearRecords();
    if (c.warning)
        expectWarnings(1);
    loadSignals(c.content);

    ASSERT_EQ(dialogs.openRequests.size(), 1u);
    EXPECT_EQ(dialogs.openRequests[0].title, QStringLiteral("Load Signals from Text File"));
    EXPECT_EQ(dialogs.openRequests[0].folder, dir.filePath(QStringLiteral("Data/Input/Signals")));
    EXPECT_EQ(cdsInterp().recordCount(), c.rows);
    EXPECT_EQ(dbgInterp()->model()->rowCount(), c.rows);
    EXPECT_EQ(warnings, c.warning ? QStringList{SignalWarning} : QStringList{});
    EXPECT_TRUE(dialogs.allAnswersUsed());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    for (const auto &[s, t] : measurements())
        EXPECT_EQ(t, 0.0) << "no temperature before Compute";
    EXPECT_FALSE(cdsMain().isEditing());
}

INSTANTIATE_TEST_SUITE_P(
    Lists, SignalListLoad,
    ::testing::Values(SignalList{"inside", "3\n2.4E-3\n1.0E-2\n1.85E-2\n", 3, false},
                      SignalList{"above", "2\n1.0E-2\n1.86E-2\n", 2, true},
                      SignalList{"below", "1\n2.3E-3\n", 1, true},
                      SignalList{"short", "5  // five promised\n1.0E-2\n1.1E-2\n1.2E-2\n", 5,
                                 true}),
    [](const auto &info) { return std::string(info.param.what); });

struct RefusedList
{
    const char *what;
    QByteArray content;
    bool countMessage;
    // Why a signal is refused ("." stands for the decimal separator); empty: the read error.
    QString refusal = {};
};

// Names the case in test output.
void PrintTo(const RefusedList &c, std::ostream *out)
{
    *out << c.what;
}

class SignalListRefused : public Interpolation, public ::testing::WithParamInterface<RefusedList>
{
};

TEST_P(SignalListRefused, KeepsTheMeasurements)
{
    loadSignals("2\n5E-3\n6E-3\n");
    dialogs.clearRecords();
    loadSignals(GetParam().content);
    const QString path = dir.filePath(QStringLiteral("Data/Input/Signals/list.txt"));
    QString refusal = GetParam().refusal;
    refusal.replace(QLatin1Char('.'), QLatin1Char(window->textLocale().decimalSeparator));
    const QString expected = GetParam().countMessage
        ? QStringLiteral("Number of signals must be from 1 to 1000") + QChar(13)
              + QStringLiteral("Check the first line in the file ") + path
        : !refusal.isEmpty() ? refusal : QStringLiteral("Error in reading file ") + path;
    EXPECT_EQ(dialogs.messages, QStringList{expected});
    EXPECT_EQ(cdsInterp().recordCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(Lists, SignalListRefused,
                         ::testing::Values(RefusedList{"zero", "0\n", true},
                                           RefusedList{"many", "1001\n1E-3\n", true},
                                           RefusedList{"realcount", "2.0\n1E-3\n2E-3\n", false},
                                           RefusedList{"badsignal", "2\n1E-3\n2,0E-3\n", false},
                                           RefusedList{"unstorable", "2\n1E-3\n1e-4000\n",
                                                       false,
                                                       QStringLiteral(
                                                           "Signal 2 is too small to be stored: "
                                                           "1E-4000 (the smallest is "
                                                           "2.2250738585072E-308)")}),
                         [](const auto &info) { return std::string(info.param.what); });

TEST_F(Interpolation, ComputeFillsEveryTemperatureAndDrawsTheChart)
{
    loadSignals("3\n3.1E-3\n7.9E-3\n1.2E-2\n");
    EXPECT_TRUE(btnComputeInterp()->isEnabled());
    btnComputeInterp()->click();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
    EXPECT_TRUE(dialogs.dialogTitles.isEmpty()) << "all inside the range: no warning";

    // The chart first: collecting the rows below moves the cursor, which empties it.
    const MainChart &chart = *chAll();
    ASSERT_EQ(chart.seSH->count(), 201);
    EXPECT_EQ(chart.seRef->count(), 3);
    EXPECT_EQ(chart.seMeas->count(), 3);
    const double firstX = chart.seSH->at(0).x();
    const double lastX = chart.seSH->at(200).x();
    EXPECT_EQ(cdsInterp().recNo(), 3) << "the last row stays current";
    EXPECT_FALSE(cdsMain().isEditing());

    const TParamVector P = shownTriple();
    const auto rows = measurements();
    ASSERT_EQ(rows.size(), 3u);
    double low = 1235.0;
    double high = 1500.0;
    for (const auto &[s, t] : rows) {
        EXPECT_EQ(t, static_cast<double>(SHTemperature(P, s)));
        low = std::min(low, t);
        high = std::max(high, t);
    }
    EXPECT_DOUBLE_EQ(firstX, low);
    EXPECT_DOUBLE_EQ(lastX, high);

    btnComputeInterp()->click();
    ASSERT_EQ(chart.seSH->count(), 201);
    // Moving in the measurement grid empties the chart; Compute draws it again.
    cdsInterp().first();
    EXPECT_EQ(chart.seSH->count(), 0);
    EXPECT_EQ(chart.seMeas->count(), 0);
    btnComputeInterp()->click();
    EXPECT_EQ(chart.seSH->count(), 201);
}

TEST_F(Interpolation, ATemperatureOutsideTheRangeWarnsOnce)
{
    loadSignals("2\n1.0E-3\n1.0E-2\n"); // the low signal's warning is closed at once
    // 1.0E-3 lies below 1235 K with the made-up triple.
    warnings.clear();
    expectWarnings(1);
    btnComputeInterp()->click();
    const TParamVector P = shownTriple();
    const auto rows = measurements();
    const bool outside = std::any_of(rows.begin(), rows.end(), [&](const auto &row) {
        const double t = static_cast<double>(SHTemperature(P, row.first));
        return t < 1235.0 || t > 1500.0;
    });
    ASSERT_TRUE(outside) << "the case needs a temperature outside the range";
    EXPECT_EQ(warnings, QStringList{TemperatureWarning});
    EXPECT_TRUE(dialogs.allAnswersUsed());
}

// Each measurement whose temperature lies outside the reference range is marked where the
// user reads it: its temperature in the warning's red, the warning as its tool tip.
TEST_F(Interpolation, RowsOutsideTheRangeAreMarked)
{
    window->show();
    // 1.0E-3 lies below the reference range, 7.9E-3 inside, 1.0E-1 above.
    expectWarnings(2);
    loadSignals("3\n1.0E-3\n7.9E-3\n1.0E-1\n");
    btnComputeInterp()->click();
    returnToEventLoop();
    ASSERT_EQ(warnings.size(), 2);
    const double low = RecordRow(cdsMain()).TMin();
    const double high = RecordRow(cdsMain()).TMax();
    const auto rows = measurements();
    ASSERT_EQ(rows.size(), 3u);
    ASSERT_LT(rows[0].second, low);
    ASSERT_GT(rows[2].second, high);

    Grid *grid = dbgInterp();
    const QImage shown = grid->viewport()->grab().toImage();
    for (int row = 0; row < 3; ++row) {
        const bool outside = row != 1;
        const QModelIndex temperature = grid->model()->index(row, 1);
        const QModelIndex signal = grid->model()->index(row, 0);
        EXPECT_EQ(temperature.data(Qt::ToolTipRole).toString(),
                  outside ? TemperatureWarning : QString())
            << "row " << row;
        EXPECT_FALSE(signal.data(Qt::ToolTipRole).isValid()) << "row " << row;
        EXPECT_EQ(test::showsColour(shown, grid->visualRect(temperature), Qt::red, 60), outside)
            << "row " << row;
        EXPECT_FALSE(test::showsColour(shown, grid->visualRect(signal), Qt::red, 60))
            << "row " << row;
    }
}

TEST_F(Interpolation, TheParameterGroupChoosesTheTriple)
{
    loadSignals("2\n3.1E-3\n7.9E-3\n");
    EXPECT_EQ(rgABC()->title(), QStringLiteral("Apply Parameters Obtained Using"));
    EXPECT_TRUE(itemCaptioned(rgABC(), "Levenberg-Marquardt Method")->isChecked());
    const QString lmA = edA()->text();
    EXPECT_EQ(lmA.toStdString(),
              RecordRow(cdsMain()).text(RecordField::ALM, window->textLocale()));
    itemCaptioned(rgABC(), "Particle Swarm Optimization")->click();
    EXPECT_EQ(edA()->text().toStdString(),
              RecordRow(cdsMain()).text(RecordField::APSO, window->textLocale()));
    EXPECT_NE(edA()->text(), lmA);
    expectWarnings(1);
    dialogs.dialogScripts.clear(); // whether a warning comes does not matter here
    btnComputeInterp()->click();
    const TParamVector P = shownTriple();
    for (const auto &[s, t] : measurements())
        EXPECT_EQ(t, static_cast<double>(SHTemperature(P, s)));
    itemCaptioned(rgABC(), "Levenberg-Marquardt Method")->click();
    EXPECT_EQ(edA()->text(), lmA);
}

TEST_F(Interpolation, AParameterTextThatIsNoNumberChangesNothing)
{
    loadSignals("2\n3.1E-3\n7.9E-3\n");
    edB()->setText(QStringLiteral("x1"));
    btnComputeInterp()->click();
    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("'x1' is not a valid floating point value")});
    for (const auto &[s, t] : measurements())
        EXPECT_EQ(t, 0.0);
    EXPECT_EQ(chAll()->seSH->count(), 0);
}

TEST_F(Interpolation, MovingToAComputedRecordWithMeasurementsDrawsItsChart)
{
    loadSignals("2\n3.1E-3\n7.9E-3\n");
    dialogs.dialogScripts.clear();
    btnComputeInterp()->click();
    importRecord(QStringLiteral("Other")); // not computed: no chart, no Interpolation tab
    EXPECT_EQ(chAll()->seSH->count(), 0);
    EXPECT_FALSE(pc()->isTabVisible(pc()->indexOf(tsMeasurements())));
    EXPECT_TRUE(edA()->text().isEmpty());
    cdsMain().next();
    EXPECT_EQ(RecordRow(cdsMain()).name(), "Lamp");
    EXPECT_EQ(chAll()->seSH->count(), 201);
    EXPECT_EQ(chAll()->seMeas->count(), 2);
    EXPECT_FALSE(edA()->text().isEmpty());
    EXPECT_TRUE(pc()->isTabVisible(pc()->indexOf(tsMeasurements())));
}

// Moving to a computed record whose measurements cannot be drawn reports why, and the move
// itself stands.
struct UndrawableCase
{
    const char *what;
    int rows;         // measurements added without temperatures
    const char *text; // the message
};

void PrintTo(const UndrawableCase &c, std::ostream *out)
{
    *out << c.what;
}

class UndrawableMeasurements : public Interpolation,
                               public ::testing::WithParamInterface<UndrawableCase>
{
};

TEST_P(UndrawableMeasurements, AreReportedWhenTheRecordBecomesCurrent)
{
    const UndrawableCase &c = GetParam();
    {
        SuspendedDisplays quiet(cdsInterp());
        for (int i = 0; i < c.rows; ++i) {
            cdsInterp().append();
            MeasurementRowEditor(cdsInterp()).setS(5e-3);
            cdsInterp().post();
        }
    }
    PostIfEditing(cdsMain());
    importRecord(QStringLiteral("Other"));
    dialogs.clearRecords();
    cdsMain().next();
    EXPECT_EQ(RecordRow(cdsMain()).name(), "Lamp");
    EXPECT_EQ(dialogs.messages, QStringList{QLatin1String(c.text)});
    EXPECT_EQ(chAll()->seMeas->count(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UndrawableMeasurements,
    ::testing::Values(UndrawableCase{"no_temperature_yet", 2, "Floating point overflow"},
                      UndrawableCase{"too_many", 1001, "Range check error"}),
    [](const auto &info) { return std::string(info.param.what); });

TEST_F(Interpolation, ResultsAreSavedWithTheirProposedName)
{
    loadSignals("4\n3.1E-3\n7.9E-3\n1.2E-2\n1.5E-2\n");
    const QString path = dir.filePath(QStringLiteral("Data/Output/Interpolation/results.txt"));
    dialogs.saveAnswers.push_back(path);
    btnSaveInterp()->click();
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].title, QStringLiteral("Save Results in Text File"));
    EXPECT_EQ(dialogs.saveRequests[0].folder,
              dir.filePath(QStringLiteral("Data/Output/Interpolation")));
    EXPECT_EQ(dialogs.saveRequests[0].proposedName,
              QString::fromStdString(ProposedResultsName(records(), window->textLocale())));
    const QList<QByteArray> lines = readFile(path).split('\n');
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines[0], QByteArray("Number of interpolated temperatures: 4\r"));
    EXPECT_EQ(lines.size(), 7) << "count, header, four rows and the end of the last line";
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// u(T) typed into the reference grid gives every temperature its U: at a reference signal of
// three points twice the point's own u(T). The U chart spans the reference range and more,
// and the CSV results carry U.
TEST_F(Interpolation, PointUncertaintiesTypedInTheGridGiveEachTemperatureItsU)
{
    loadSignals("3\n2.4E-3\n6.1E-3\n1.85E-2\n");
    btnComputeInterp()->click();
    auto *chart = window->findChild<UncertaintyChart *>(QStringLiteral("chU"));
    auto *remark = window->findChild<QLabel *>(QStringLiteral("lbUncertainty"));
    ASSERT_TRUE(chart && remark);
    QAbstractItemModel *interp = dbgInterp()->model();
    const int uColumn = interp->columnCount() - 1;
    EXPECT_EQ(interp->headerData(uColumn, Qt::Horizontal).toString(), QStringLiteral("U (mK)"));
    EXPECT_EQ(interp->index(0, uColumn).data().toString(), QString());
    EXPECT_EQ(chart->seU->count(), 0);
    EXPECT_EQ(remark->text(), QStringLiteral("No U: u(T) of a reference point is missing"));

    pc()->setCurrentWidget(tsCalibration());
    QAbstractItemModel *bb = dbgBB()->model();
    const int uTColumn = bb->columnCount() - 1;
    for (int row = 0; row < bb->rowCount(); ++row) {
        ASSERT_TRUE(bb->setData(bb->index(row, uTColumn), QStringLiteral("5")));
        PostIfEditing(cdsBB());
    }
    pc()->setCurrentWidget(tsMeasurements());
    btnComputeInterp()->click();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
    const QString tenMillikelvins = QString::fromStdString(
        formatPattern(10.0, "0.000", window->textLocale().decimalSeparator));
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(interp->index(row, uColumn).data().toString(), tenMillikelvins) << row;
    ASSERT_GT(chart->seU->count(), 100);
    EXPECT_LT(chart->seU->at(0).x(), 1235.0);
    EXPECT_GT(chart->seU->at(chart->seU->count() - 1).x(), 1500.0);
    EXPECT_EQ(remark->text(), QString()) << "three points: no Birge ratio";

    const QString path = dir.filePath(QStringLiteral("Data/Output/Interpolation/u.csv"));
    dialogs.saveAnswers.push_back(path);
    window->findChild<QPushButton *>(QStringLiteral("btnSaveCsv"))->click();
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].title, QStringLiteral("Save Results with Uncertainties"));
    EXPECT_TRUE(dialogs.saveRequests[0].proposedName.endsWith(QStringLiteral(".csv")));
    const QList<QByteArray> lines = readFile(path).split('\n');
    ASSERT_EQ(lines.size(), 5) << "header, three rows and the end of the last line";
    EXPECT_EQ(lines[0], QByteArray("No,S,T (K),U (mK)"));
    const QRegularExpression row(QStringLiteral("^1,0\\.0024,1[0-9]{3}\\.[0-9]{4},10\\.000$"));
    EXPECT_TRUE(row.match(QString::fromLatin1(lines[1])).hasMatch()) << lines[1].toStdString();
}

// A u(T) must be above 0: 0 or a negative value is refused naming the cell, and the point
// keeps what it had.
TEST_F(Interpolation, APointUncertaintyOfZeroOrLessIsRefused)
{
    pc()->setCurrentWidget(tsCalibration());
    QAbstractItemModel *bb = dbgBB()->model();
    const int uTColumn = bb->columnCount() - 1;
    ASSERT_TRUE(bb->setData(bb->index(0, uTColumn), QStringLiteral("5")));
    PostIfEditing(cdsBB());
    for (const QString &typed : {QStringLiteral("0"), QStringLiteral("-2")}) {
        dialogs.clearRecords();
        EXPECT_FALSE(bb->setData(bb->index(0, uTColumn), typed));
        ASSERT_EQ(dialogs.messages.size(), 1) << typed.toStdString();
        EXPECT_EQ(dialogs.messages[0],
                  QStringLiteral("u(T) (mK), row 1: '") + typed
                      + QStringLiteral("'\rThe value must be greater than 0"));
        PostIfEditing(cdsBB());
        EXPECT_EQ(bb->index(0, uTColumn).data().toString(),
                  QString::fromStdString(
                      formatPattern(5.0, "0.0##", window->textLocale().decimalSeparator)));
    }
}

// Uncertainties... sets the record's w and Monte Carlo settings; a w that cannot be kept is
// refused with a message and the dialog stays open.
TEST_F(Interpolation, UncertaintySettingsAreSetInTheirDialog)
{
    QPushButton *button = btnUncertainties();
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isEnabled());
    bool stayedOpen = false;
    dialogs.dialogScripts.push_back([&](QDialog &dialog) {
        auto &settings = dynamic_cast<TFUncertaintySettings &>(dialog);
        EXPECT_EQ(settings.edW->text(), QStringLiteral("0"));
        EXPECT_EQ(settings.seTrials->value(), 10000);
        settings.edW->setText(QStringLiteral("1"));
        settings.btnOK->click();
        stayedOpen = dialogs.messages.size() == 1
                     && dialogs.messages[0]
                            == QStringLiteral("The relative uncertainty of a signal must be at "
                                              "least 0 and below 1");
        settings.edW->setText(QStringLiteral("0.002").replace(
            QLatin1Char('.'), QLatin1Char(window->textLocale().decimalSeparator)));
        settings.seTrials->setValue(500);
        settings.seSeed->setValue(4294967295.0);
        settings.btnOK->click();
    });
    button->click();
    EXPECT_TRUE(dialogs.allAnswersUsed());
    EXPECT_TRUE(stayedOpen);
    const UncertaintySettings kept = UncertaintySettingsOf(records());
    EXPECT_EQ(kept.w, static_cast<long double>(0.002));
    EXPECT_EQ(kept.trials, 500);
    EXPECT_EQ(kept.seed, 4294967295u);
}

TEST_F(Interpolation, TheMeasurementButtonsFollowTheRows)
{
    for (QPushButton *button : {btnComputeInterp(), btnSaveInterp(),
                                btnEraseInterp()})
        EXPECT_FALSE(button->isEnabled()) << button->objectName().toStdString();
    loadSignals("1\n3.1E-3\n");
    for (QPushButton *button : {btnComputeInterp(), btnSaveInterp(),
                                btnEraseInterp()})
        EXPECT_TRUE(button->isEnabled()) << button->objectName().toStdString();
}

TEST_F(Interpolation, OnlyTheFirstReferenceColumnTakesTheWidthOfTheWindow)
{
    pc()->setCurrentWidget(tsCalibration());
    window->show();
    returnToEventLoop();
    const int scrollBar = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    // 104 pixels each, or what a wide face needs for the titles.
    // The points' uncertainties, the last column, are narrower.
    const int columns = dbgBB()->model()->columnCount();
    std::vector<int> others;
    for (int c = 1; c < columns; ++c) {
        others.push_back(dbgBB()->columnWidth(c));
        EXPECT_GE(others.back(), c + 1 < columns ? 104 : 80) << "column " << c;
    }
    const int othersWidth = std::accumulate(others.begin(), others.end(), 0);
    const auto expectedFirst = [&] {
        return dbgBB()->width() - othersWidth - 7 - 4 - scrollBar - 11;
    };
    EXPECT_EQ(dbgBB()->columnWidth(0), expectedFirst());
    const int before = dbgBB()->columnWidth(0);
    window->resize(window->width() + 200, window->height());
    returnToEventLoop();
    EXPECT_EQ(dbgBB()->columnWidth(0), before + 200);
    EXPECT_EQ(dbgBB()->columnWidth(0), expectedFirst());
    for (int c = 1; c < columns; ++c)
        EXPECT_EQ(dbgBB()->columnWidth(c), others[static_cast<std::size_t>(c - 1)])
            << "column " << c;
    window->close();
}

TEST_F(Interpolation, InsertPutsTheFocusIntoTheNewRowForTyping)
{
    loadSignals("2\n3.1E-3\n7.9E-3\n");
    window->show();
    QApplication::setActiveWindow(window.get());
    returnToEventLoop();
    btnComputeInterp()->setFocus();
    dbnIterp()->button(Navigator::Button::Insert)->click();
    returnToEventLoop();
    ASSERT_EQ(cdsInterp().state(), TableState::Insert);
    EXPECT_EQ(QApplication::focusWidget(), dbgInterp());
    EXPECT_EQ(dbgInterp()->currentIndex().row(), cdsInterp().displayCurrentRow());
    EXPECT_EQ(dbgInterp()->currentIndex().column(), 0) << "the signal, not the temperature";

    // What the user types goes into the new row's signal.
    const QString typed = QStringLiteral("0.005").replace(
        QLatin1Char('.'), QChar::fromLatin1(systemTextLocale().decimalSeparator));
    for (const QChar ch : typed)
        QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
    // Enter writes the cell once the editor has checked its text.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    returnToEventLoop();
    EXPECT_EQ(MeasurementRow(cdsInterp()).S(), 0.005);
    EXPECT_EQ(cdsInterp().recordCount(), 2) << "not yet posted";
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
    window->close();
}

// Every editable number cell of the window: a value beyond the doubles, or one that a double
// holds only as 0 or without its precision, is refused naming it, and the cell keeps its
// value; the largest double is taken. No infinity reaches the database file.
struct BeyondCase
{
    const char *name;
    const char *text; // "." stands for the decimal separator, here and in the refusal
    bool accepted;
    const char *refusal = nullptr; // why a double cannot hold it
};

class EditableNumberCells : public Interpolation, public ::testing::WithParamInterface<BeyondCase>
{
};

bool allFinite(const std::vector<RowData> &rows)
{
    for (const RowData &row : rows) {
        for (const Value &value : row.values) {
            if (const double *v = std::get_if<double>(&value); v != nullptr && !std::isfinite(*v))
                return false;
        }
        for (const NestedRows &nested : row.nested) {
            if (!allFinite(nested.rows))
                return false;
        }
    }
    return true;
}

TEST_P(EditableNumberCells, TakeNoValueBeyondTheDoubles)
{
    const BeyondCase &c = GetParam();
    loadSignals("2\n3.1E-3\n7.9E-3\n");
    int cells = 0;
    for (Grid *grid : window->findChildren<Grid *>()) {
        TableModel &model = grid->tableModel();
        for (int column = 0; column < model.columnCount(); ++column) {
            const FieldDef &field = model.column(column).field.def();
            if (!model.column(column).editable || field.kind != FieldKind::Float)
                continue;
            ++cells;
            const std::string where = grid->objectName().toStdString() + " " + field.name;
            const QModelIndex cell = model.index(0, column);
            const QString before = cell.data().toString();
            const QChar separator = QLatin1Char(window->textLocale().decimalSeparator);
            const QString typed = QString::fromLatin1(c.text).replace(QLatin1Char('.'), separator);
            dialogs.clearRecords();
            EXPECT_EQ(model.setData(cell, typed), c.accepted) << where;
            if (c.accepted) {
                EXPECT_TRUE(dialogs.messages.isEmpty()) << where << messagesShown();
                EXPECT_EQ(model.table().value(model.fieldIndex(column)),
                          Value(std::numeric_limits<double>::max()));
            } else {
                // Why, after the cell's name and what was typed.
                EXPECT_EQ(dialogs.messages,
                          QStringList{model.column(column).title + QStringLiteral(", row 1: '")
                                      + typed + QStringLiteral("'\r")
                                      + QString::fromLatin1(c.refusal).replace(QLatin1Char('.'),
                                                                         separator)})
                    << where;
                EXPECT_EQ(cell.data().toString(), before) << where;
            }
            PostIfEditing(model.table());
        }
    }
    EXPECT_GT(cells, 0) << "the measurement grid takes signals";
    ASSERT_TRUE(window->flushSave());
    EXPECT_TRUE(allFinite(savedData().records));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, EditableNumberCells,
    ::testing::Values(BeyondCase{"BeyondTheDoubles", "1e400", false,
                                 "The value is too large to be stored: 1E400 (the largest is "
                                 "1.79769313486232E308)"},
                      BeyondCase{"BelowTheDoubles", "-1e400", false,
                                 "The value is too large to be stored: -1E400 (the largest is "
                                 "1.79769313486232E308)"},
                      BeyondCase{"LargestDouble", "1.7976931348623157e308", true},
                      BeyondCase{"ZeroOnceStored", "1e-4000", false,
                                 "The value is too small to be stored: 1E-4000 (the smallest is "
                                 "2.2250738585072E-308)"},
                      BeyondCase{"SubnormalOnceStored", "-1e-320", false,
                                 "The value is too small to be stored: -1E-320 (the smallest is "
                                 "2.2250738585072E-308)"}),
    CaseName);

} // namespace
} // namespace kelvora
