#include "ui_main_fixture.h"

#include "ui/boundedit.h"
#include "ui/erase.h"
#include "ui/grid.h"
#include "ui/navigator.h"
#include "ui/radiogroup.h"
#include "ui/tablemodel.h"

#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

namespace kelvora {
namespace {

using test::MainWindowTest;

// The names of the record list as the grid shows them, top to bottom.
QStringList shownNames(TFMain &window)
{
    QStringList names;
    const QAbstractItemModel *model = window.findChild<Grid *>(QStringLiteral("dbgMain"))->model();
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->index(row, 0).data().toString();
    return names;
}

QString withSeparator(QString text, char separator)
{
    return text.replace(QLatin1Char('.'), QLatin1Char(separator));
}

// ---- importing records -----------------------------------------------------------------

struct RefusedFile
{
    const char *what;
    QByteArray content;
    QString message; // "." stands for the decimal separator; empty: the read error
};

// Names the case in test output.
void PrintTo(const RefusedFile &c, std::ostream *out)
{
    *out << c.what;
}

class RefusedRecordFile : public MainWindowTest, public ::testing::WithParamInterface<RefusedFile>
{
};

TEST_P(RefusedRecordFile, ShowsItsMessageAndAddsNothing)
{
    startEmpty();
    const RefusedFile &c = GetParam();
    const QString path = writeFile(QStringLiteral("Data/Input/bad.txt"), c.content);
    dialogs.openAnswers.push_back(path);
    btnLoadMain()->click();
    const QString expected = c.message.isEmpty()
        ? QStringLiteral("Error in reading file ") + path
        : withSeparator(c.message, window->textLocale().decimalSeparator);
    EXPECT_EQ(dialogs.messages, QStringList{expected});
    EXPECT_TRUE(dialogs.queries.empty()) << "no name is asked for a refused file";
    EXPECT_EQ(cdsMain().recordCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedRecordFile,
    ::testing::Values(
        RefusedFile{"wavelength", "1000.5\n0.01\n3\n1 1000\n2 1100\n3 1200\n",
                    QStringLiteral("Mean wavelength is out of range [0.1, 1000.0] µm")},
        RefusedFile{"bandwidth", "0.65\n0.56\n3\n1 1000\n2 1100\n3 1200\n",
                    QStringLiteral("Bandwidth is out of range [0, 0.5500] µm")},
        RefusedFile{"count", "0.65\n0.01\n2\n1 1000\n2 1100\n",
                    QStringLiteral("Number of reference blackbodies is out of range [3, 20]")},
        RefusedFile{"signal", "0.65\n0.01\n3\n1 1000\n0 1100\n3 1200\n",
                    QStringLiteral("Signals must be positive")},
        RefusedFile{"temperature", "0.65\n0.01\n3\n1 1000\n2 99.99\n3 1200\n",
                    QStringLiteral("Temperatures must be from 100.0 K to 4000.0 K")},
        RefusedFile{"comma", "0,65\n0.01\n3\n1 1000\n2 1100\n3 1200\n", QString()},
        // A u(T) that a double holds only as 0 would take U away.
        RefusedFile{"uncertainty", "0.65\n0.01\n3\n1 1000\n2 1100 1e-4000\n3 1200\n",
                    QStringLiteral("Uncertainty of the temperature of point 2 is too small to "
                                   "be stored: 1E-4000 (the smallest is 2.2250738585072E-308)")}),
    [](const auto &info) { return std::string(info.param.what); });

// What looks like a u(T) but is not read as one is said in one message before the name is
// asked for, every such line in it; the import goes on. A byte-order mark is passed by.
TEST_F(MainWindowTest, ImportSaysInOneMessageWhatItDoesNotReadAsAnUncertainty)
{
    startEmpty();
    importRecord(QStringLiteral("Marked"),
                 "\xEF\xBB\xBF" "0.65\n0.01\n3\n2.4E-3 1235 5 mK\n6.1E-3 1358 NaN\n"
                 "1.85E-2 1500 5\n");
    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral(
                  "Point 1: '5 mK' after the temperature is not read as u(T)\r"
                  "Point 2: 'NaN' after the temperature is not read as u(T)\r"
                  "A u(T) in mK is a number written with a full stop, followed on its line by "
                  "nothing or by a // comment; anything else after the temperature is a "
                  "comment.")});
    EXPECT_EQ(dialogs.queries.size(), 1u);
    ASSERT_EQ(cdsMain().recordCount(), 1);
    EXPECT_EQ(RecordRow(cdsMain()).name(), "Marked");
    EXPECT_EQ(cdsBB().recordCount(), 3);
    cdsBB().last();
    EXPECT_EQ(ReferencePointRow(cdsBB()).uT(), 5.0);
}

// A guess too large to be stored is reported with that reason alone.
TEST_F(MainWindowTest, AGuessTooLargeIsReportedWithItsReasonAlone)
{
    startEmpty();
    importRecord(QStringLiteral("Huge"), "0.65\n0.01\n3\n1e305 1235\n6.1E-3 1358\n1.85E-2 1500\n");
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].startsWith(QStringLiteral("The Saunders-White guess C = ")))
        << messagesShown();
    EXPECT_TRUE(dialogs.messages[0].endsWith(
        QStringLiteral(" of these reference points is too large to be stored")))
        << messagesShown();
}

TEST_F(MainWindowTest, AFileThatCannotBeOpenedIsReportedWithItsPath)
{
    startEmpty();
    const QString path = dir.filePath(QStringLiteral("Data/Input/missing.txt"));
    dialogs.openAnswers.push_back(path);
    btnLoadMain()->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].contains(path)) << dialogs.messages[0].toStdString();
    EXPECT_TRUE(dialogs.queries.empty());
    EXPECT_EQ(cdsMain().recordCount(), 0);
}

TEST_F(MainWindowTest, ImportAsksForTheNameAndShowsTheNewRecord)
{
    startEmpty();
    const QString path = writeFile(QStringLiteral("Data/Input/Lamp 3.1.txt"), test::MinimalRecord);
    dialogs.openAnswers.push_back(path);
    dialogs.queryAnswers.push_back(QStringLiteral("Lamp three"));
    btnLoadMain()->click();

    ASSERT_EQ(dialogs.openRequests.size(), 1u);
    EXPECT_EQ(dialogs.openRequests[0].title, QStringLiteral("Load Record from Text File"));
    EXPECT_EQ(dialogs.openRequests[0].folder, dir.filePath(QStringLiteral("Data/Input")));
    ASSERT_EQ(dialogs.queries.size(), 1u);
    EXPECT_EQ(dialogs.queries[0].caption, QStringLiteral("New Record"));
    EXPECT_EQ(dialogs.queries[0].prompt, QStringLiteral("Record Name "));
    EXPECT_EQ(dialogs.queries[0].value, QStringLiteral("Lamp 3.1"));
    EXPECT_TRUE(dialogs.messages.isEmpty());

    EXPECT_EQ(RecordRow(cdsMain()).name(), "Lamp three");
    EXPECT_EQ(shownNames(*window), QStringList{QStringLiteral("Lamp three")});
    EXPECT_EQ(dbspRecNoMain()->text(), QStringLiteral("Record #: 1"));
    EXPECT_EQ(dbspRecordCountMain()->text(), QStringLiteral("Record Count: 1"));
    EXPECT_EQ(dbspRecordCountBB()->text(), QStringLiteral("Record Count: 3"));
    EXPECT_EQ(dbgBB()->model()->rowCount(), 3);
    const char sep = window->textLocale().decimalSeparator;
    EXPECT_EQ(window->findChild<QLineEdit *>(QStringLiteral("dbeMeanWL"))->text(),
              withSeparator(QStringLiteral("0.65"), sep));
    EXPECT_EQ(RzDBEdit9()->text(), withSeparator(QStringLiteral("1235.0000"), sep));
    EXPECT_EQ(RzDBEdit13()->text(), withSeparator(QStringLiteral("1500.0000"), sep));
    EXPECT_TRUE(btnCompute()->isEnabled());
    EXPECT_FALSE(pc()->isTabVisible(pc()->indexOf(tsMeasurements())));
}

TEST_F(MainWindowTest, CancellingTheNameLeavesTheDatabaseAsItWasButShowsCalibration)
{
    startEmpty();
    importRecord(QStringLiteral("Lamp"));
    makeComputed();
    pc()->setCurrentWidget(tsMeasurements());
    dialogs.openAnswers.push_back(
        writeFile(QStringLiteral("Data/Input/x.txt"), test::MinimalRecord));
    dialogs.queryAnswers.push_back(std::nullopt);
    btnLoadMain()->click();
    EXPECT_EQ(cdsMain().recordCount(), 1);
    EXPECT_EQ(pc()->currentWidget(), tsCalibration());

    dialogs.openAnswers.push_back(QStringLiteral("  "));
    btnLoadMain()->click();
    EXPECT_EQ(cdsMain().recordCount(), 1);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// ---- orders and search -----------------------------------------------------------------

TEST_F(MainWindowTest, TheSortGroupChoosesTheOrderOfTheList)
{
    startEmpty();
    for (const char *name : {"Alpha", "Gamma", "Beta"})
        importRecord(QLatin1String(name));
    EXPECT_EQ(rgSort()->title(), QStringLiteral("Sort by"));
    EXPECT_TRUE(itemCaptioned(rgSort(), "Record Creation Time")->isChecked())
        << "the list starts in the order of creation";
    itemCaptioned(rgSort(), "Record Name")->click();
    EXPECT_EQ(shownNames(*window), (QStringList{"Alpha", "Beta", "Gamma"}));
    itemCaptioned(rgSort(), "Record Creation Time")->click();
    EXPECT_EQ(shownNames(*window), (QStringList{"Beta", "Gamma", "Alpha"})) << "newest first";
}

struct Search
{
    const char *text;
    const char *found;
};

// Names the case in test output.
void PrintTo(const Search &c, std::ostream *out)
{
    *out << c.text;
}

class SearchByName : public MainWindowTest, public ::testing::WithParamInterface<Search>
{
};

TEST_P(SearchByName, EnteringTheEditFindsTheNearestName)
{
    startEmpty();
    for (const char *name : {"Alpha", "Gamma", "Beta"})
        importRecord(QLatin1String(name));
    edFind()->setText(QLatin1String(GetParam().text));
    QFocusEvent enter(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(edFind(), &enter);
    EXPECT_EQ(RecordRow(cdsMain()).name(), GetParam().found);
    EXPECT_EQ(cdsMain().orderIndex(), 0) << "the search orders by name";
    EXPECT_EQ(rgSort()->itemIndex(), 1) << "the radio group keeps its item";
    EXPECT_EQ(shownNames(*window), (QStringList{"Alpha", "Beta", "Gamma"}));
}

INSTANTIATE_TEST_SUITE_P(Texts, SearchByName,
                         ::testing::Values(Search{"B", "Beta"}, Search{"C", "Gamma"},
                                           Search{"", "Alpha"}, Search{"Zed", "Gamma"},
                                           Search{"Gamma", "Gamma"}));

TEST_F(MainWindowTest, TheWindowBecomingActiveAgainDoesNotSearch)
{
    startEmpty();
    for (const char *name : {"Alpha", "Beta"})
        importRecord(QLatin1String(name));
    edFind()->setText(QStringLiteral("A"));
    QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(edFind(), &back);
    EXPECT_EQ(RecordRow(cdsMain()).name(), "Beta");
    EXPECT_EQ(cdsMain().orderIndex(), 1);
}

// ---- Compute and the buttons that follow the data ---------------------------------------

struct PointsLeft
{
    int deleted;
    bool computeEnabled;
    bool refused;
};

// Names the case in test output.
void PrintTo(const PointsLeft &c, std::ostream *out)
{
    *out << c.deleted;
}

class ComputeButton : public MainWindowTest, public ::testing::WithParamInterface<PointsLeft>
{
};

TEST_P(ComputeButton, NeedsThreeReferencePoints)
{
    startEmpty();
    importRecord(QStringLiteral("Lamp"));
    const PointsLeft &c = GetParam();
    for (int i = 0; i < c.deleted; ++i) {
        dialogs.confirmAnswers.push_back(true);
        dbnBB()->run(Navigator::Button::Delete);
    }
    EXPECT_EQ(btnCompute()->isEnabled(), c.computeEnabled);
    EXPECT_TRUE(btnEraseBB()->isEnabled()) << "Erase stays usable without points";
    btnCompute()->click();

    const int points = 3 - c.deleted;
    QStringList expected;
    if (c.refused)
        expected << QStringLiteral("Number of reference points (") + QString::number(points)
                        + QStringLiteral(") is not enough") + QChar(13)
                        + QStringLiteral(" to find Sakuma-Hattori parameters unambiuously");
    EXPECT_EQ(dialogs.messages, expected);
    const QStringList opened{QStringLiteral("Calculation of Sakuma-Hattori Parameters")};
    EXPECT_EQ(dialogs.dialogTitles, c.computeEnabled && !c.refused ? opened : QStringList());
}

INSTANTIATE_TEST_SUITE_P(Points, ComputeButton,
                         ::testing::Values(PointsLeft{0, true, false}, PointsLeft{1, true, true},
                                           PointsLeft{2, true, true},
                                           PointsLeft{3, false, false}));

TEST_F(MainWindowTest, TheRecordNumberPanesShowOnlyWhileBrowsingOrEditing)
{
    startEmpty();
    importRecord(QStringLiteral("Lamp"));
    EXPECT_FALSE(dbspRecNoMain()->isHidden());
    cdsMain().edit();
    EXPECT_FALSE(dbspRecNoMain()->isHidden());
    EXPECT_FALSE(dbspRecordCountMain()->isHidden());
    cdsMain().cancel();
    cdsMain().insert();
    EXPECT_TRUE(dbspRecNoMain()->isHidden());
    EXPECT_TRUE(dbspRecordCountMain()->isHidden());
    cdsMain().cancel();
    EXPECT_FALSE(dbspRecNoMain()->isHidden());
}

TEST_F(MainWindowTest, DeletingRecordsTakesTheirRowsAlongAndLeavesTheOthersAlone)
{
    startEmpty();
    importRecord(QStringLiteral("Alpha"), "0.65\n0.01\n3\n1E-3 800\n2E-3 900\n3E-3 1000\n");
    importRecord(QStringLiteral("Beta"));
    loadSignals("12\n1E-3\n2E-3\n3E-3\n4E-3\n5E-3\n6E-3\n7E-3\n8E-3\n9E-3\n1E-2\n2E-2\n3E-2\n");
    dialogs.clearRecords();
    ASSERT_EQ(cdsInterp().recordCount(), 12);

    dialogs.confirmAnswers.push_back(false);
    dbnMain()->button(Navigator::Button::Delete)->click();
    EXPECT_EQ(cdsMain().recordCount(), 2) << "Cancel keeps the record";
    ASSERT_EQ(dialogs.confirmations.size(), 1u);
    EXPECT_EQ(dialogs.confirmations[0].text, QStringLiteral("Delete selected record?"));
    EXPECT_EQ(dialogs.confirmations[0].buttons, Dialogs::Buttons::OkCancel);

    dialogs.confirmAnswers.push_back(true);
    dbnMain()->button(Navigator::Button::Delete)->click();
    returnToEventLoop();
    ASSERT_EQ(cdsMain().recordCount(), 1);
    EXPECT_EQ(RecordRow(cdsMain()).name(), "Alpha");
    EXPECT_EQ(RecordRow(cdsMain()).TMax(), 1000.0);
    EXPECT_EQ(cdsInterp().recordCount(), 0);
    const StoreData saved = savedData();
    ASSERT_EQ(saved.records.size(), 1u);
    EXPECT_EQ(saved.records[0].nested[1].rows.size(), 0u);

    dialogs.confirmAnswers.push_back(true);
    dbnMain()->button(Navigator::Button::Delete)->click();
    EXPECT_TRUE(p()->isHidden());
    EXPECT_TRUE(pc()->isHidden());
    EXPECT_FALSE(btnSaveMain()->isEnabled());
    EXPECT_FALSE(btnEraseMain()->isEnabled());
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
}

// ---- the record report -----------------------------------------------------------------

class RecordReportSave : public MainWindowTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(RecordReportSave, IsOfferedInTheFolderThatSuitsTheRecord)
{
    const bool computed = GetParam();
    startEmpty();
    importRecord(QStringLiteral("Lamp"));
    if (computed)
        makeComputed();
    const QString path = dir.filePath(QStringLiteral("report.txt"));
    dialogs.saveAnswers.push_back(path);
    btnSaveMain()->click();

    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].title, QStringLiteral("Save Record in Text File"));
    EXPECT_EQ(dialogs.saveRequests[0].folder,
              dir.filePath(computed ? QStringLiteral("Data/Output")
                                    : QStringLiteral("Data/Input")));
    EXPECT_EQ(dialogs.saveRequests[0].proposedName,
              QString::fromStdString(ProposedReportName(records(), window->textLocale())));
    EXPECT_TRUE(dialogs.saveRequests[0].proposedName.startsWith(QStringLiteral("Lamp_")));
    const QByteArray report = readFile(path);
    const char sep = window->textLocale().decimalSeparator;
    EXPECT_TRUE(report.startsWith(QByteArray("0") + sep + "65  // Mean wavelength (um)\r\n"));
    EXPECT_EQ(report.contains("*** CALIBRATION"), computed);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Computed, RecordReportSave, ::testing::Bool());

TEST_F(MainWindowTest, AReportThatCannotBeWrittenIsReported)
{
    startEmpty();
    importRecord(QStringLiteral("Lamp"));
    const QString path = dir.filePath(QStringLiteral("no such folder/report.txt"));
    dialogs.saveAnswers.push_back(path);
    btnSaveMain()->click();
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("Error in writing file ") + path});

    dialogs.saveAnswers.push_back(QString());
    btnSaveMain()->click();
    EXPECT_EQ(dialogs.messages.size(), 1) << "a cancelled dialog writes nothing";
}

// ---- the erase buttons ---------------------------------------------------------------------

struct EraseCase
{
    const char *button;
    const char *total;
    int tableIndex; // 0 records, 1 reference points, 2 measurements
};

// Names the case in test output.
void PrintTo(const EraseCase &c, std::ostream *out)
{
    *out << c.button;
}

class EraseButtons : public MainWindowTest, public ::testing::WithParamInterface<EraseCase>
{
};

TEST_P(EraseButtons, OpenTheDialogOnTheirOwnTable)
{
    const EraseCase &c = GetParam();
    startEmpty();
    importRecord(QStringLiteral("Alpha"));
    importRecord(QStringLiteral("Beta"));
    makeComputed();
    loadSignals("4\n3.1E-3\n7.9E-3\n1.2E-2\n1.5E-2\n");
    dialogs.clearRecords();
    Table *tables[] = {&cdsMain(), &cdsBB(), &cdsInterp()};
    Table &target = *tables[c.tableIndex];

    QString total;
    dialogs.dialogScripts.push_back([&total](QDialog &dialog) {
        auto *erase = qobject_cast<TFErase *>(&dialog);
        ASSERT_NE(erase, nullptr);
        total = erase->sp0->text();
        erase->btnOK->click(); // "All" is selected when the dialog opens
    });
    dialogs.confirmAnswers.push_back(true);
    window->findChild<QPushButton *>(QLatin1String(c.button))->click();

    EXPECT_EQ(dialogs.dialogTitles, QStringList{QStringLiteral("Erase Multiple Records")});
    EXPECT_EQ(total, QLatin1String(c.total));
    EXPECT_EQ(target.recordCount(), 0);
    EXPECT_EQ(dialogs.busyDepth, 0);
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
    returnToEventLoop();
    EXPECT_FALSE(cdsMain().isEditing());
    const StoreData saved = savedData();
    if (c.tableIndex == 0) {
        EXPECT_EQ(saved.records.size(), 0u);
        EXPECT_TRUE(p()->isHidden());
    } else {
        ASSERT_EQ(saved.records.size(), 2u);
        std::size_t rows = 0;
        for (const RowData &record : saved.records)
            rows += record.nested[static_cast<std::size_t>(c.tableIndex - 1)].rows.size();
        EXPECT_EQ(rows, c.tableIndex == 1 ? 3u : 0u) << "only the current record's rows go";
    }
    EXPECT_EQ(btnCompute()->isEnabled(), c.tableIndex == 2);
    EXPECT_EQ(btnComputeInterp()->isEnabled(), c.tableIndex == 1);
}

INSTANTIATE_TEST_SUITE_P(Tables, EraseButtons,
                         ::testing::Values(EraseCase{"btnEraseMain", "Total: 2 records", 0},
                                           EraseCase{"btnEraseBB", "Total: 3 records", 1},
                                           EraseCase{"btnEraseInterp", "Total: 4 records", 2}),
                         [](const auto &info) { return std::string(info.param.button); });

// ---- windows opened from the main window -------------------------------------------------

struct OpenedWindow
{
    const char *button;
    const char *title;
};

void PrintTo(const OpenedWindow &c, std::ostream *out)
{
    *out << c.button;
}

class OpenedWindows : public MainWindowTest, public ::testing::WithParamInterface<OpenedWindow>
{
};

TEST_P(OpenedWindows, AreShownModallyOwnedByTheMainWindow)
{
    startEmpty();
    importRecord(QStringLiteral("Lamp"));
    makeComputed();
    const QWidget *owner = nullptr;
    dialogs.dialogScripts.push_back([&owner](QDialog &dialog) {
        owner = dialog.parentWidget();
        dialog.reject();
    });
    window->findChild<QPushButton *>(QLatin1String(GetParam().button))->click();
    EXPECT_EQ(dialogs.dialogTitles, QStringList{QLatin1String(GetParam().title)});
    EXPECT_EQ(owner, window.get());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Buttons, OpenedWindows,
                         ::testing::Values(OpenedWindow{"btnAbout", "About Kelvora"},
                                           OpenedWindow{"btnEditUnc", "Graph Editor"}),
                         [](const auto &info) { return std::string(info.param.button); });

} // namespace
} // namespace kelvora
