#include "tables/recordstore.h"
#include "tables/rows.h"
#include "ui/erase.h"
#include "ui/tablefield.h"

#include "../casename.h"
#include "scripteddialogs.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kelvora {
namespace {

using test::ScriptedDialogs;
using testcase::CaseName;
using testcase::PrintTo;

// A record to put into the store: its name, reference points (S, T) and measured signals.
struct Seed
{
    std::string name;
    std::vector<std::pair<double, double>> points;
    std::vector<double> measured;
};

enum Order { ByName = 0, ByCreation = 1 };

QString confirmation(int from, int to)
{
    return QStringLiteral("All records from # %1 to # %2 will be deleted").arg(from).arg(to)
           + QChar(13) + QStringLiteral("Continue?");
}

// R1 … Rn, created one after another (R1 oldest), none with points or measurements.
std::vector<Seed> numbered(int n)
{
    std::vector<Seed> seeds;
    for (int i = 1; i <= n; ++i)
        seeds.push_back({std::string("R").append(std::to_string(i)), {}, {}});
    return seeds;
}

// Alpha, Beta, Gamma with their points and measurements.
std::vector<Seed> greek()
{
    return {
        {"Alpha", {{0.5, 1000.0}, {2.0, 1500.0}}, {1.0}},
        {"Beta", {{0.1, 800.0}}, {}},
        {"Gamma", {{1.0, 1200.0}, {3.0, 1700.0}, {0.2, 900.0}}, {0.3, 0.4}},
    };
}

class EraseTest : public ::testing::Test
{
protected:
    // Adds the records in turn, each created a second after the one before.
    void open(const std::vector<Seed> &seeds, int order = ByName)
    {
        records.store.clock = [this] { return DateTime{1000 * ++m_ticks}; };
        records.store.open();
        Table &main = records.cdsMain;
        for (const Seed &seed : seeds) {
            main.append();
            RecordRowEditor(main).setName(seed.name);
            main.post();
            for (const auto &[S, T] : seed.points) {
                records.cdsBB.append();
                ReferencePointRowEditor point(records.cdsBB);
                point.setS(S);
                point.setT(T);
                records.cdsBB.post();
            }
            for (const double S : seed.measured) {
                records.cdsInterp.append();
                MeasurementRowEditor(records.cdsInterp).setS(S);
                records.cdsInterp.post();
            }
            PostIfEditing(main);
        }
        main.setOrder(order);
        main.first();
    }

    // Presses OK; the answers are queued before.
    void pressOk(TFErase &dialog) { dialog.btnOK->click(); }

    std::vector<std::string> column(const Table &table, TableField field) const
    {
        std::vector<std::string> texts;
        const int index = field.indexIn(table);
        for (int row = 0; row < table.displayRowCount(); ++row)
            texts.push_back(table.displayText(row, index));
        return texts;
    }

    // The dialog restored everything around the deletions.
    void expectRestored(const Table &table) const
    {
        EXPECT_EQ(dialogs.busyDepth, 0);
        EXPECT_FALSE(table.controlsDisabled());
    }

    RecordStore records;
    ScriptedDialogs dialogs;

private:
    std::int64_t m_ticks = 0;
};

// ---- runs of records ---------------------------------------------------------------------

struct RunCase
{
    const char *name;
    int order;
    int current; // position made current before the dialog opens
    int item;
    int from; // typed for "From ... to ..."
    int to;
    int askedFrom;
    int askedTo;
    std::vector<std::string> remaining;
};

class EraseRecordRuns : public EraseTest, public ::testing::WithParamInterface<RunCase>
{
};

TEST_P(EraseRecordRuns, DeletesThePositionsOfTheOrderInForce)
{
    const RunCase &c = GetParam();
    open(numbered(7), c.order);
    records.cdsMain.setRecNo(c.current);
    TFErase dialog(records.store, dialogs, EraseTarget::Records);
    EXPECT_EQ(dialog.sp0->text(), QStringLiteral("Total: 7 records"));
    dialog.setItemIndex(c.item);
    if (c.item == TFErase::FromTo) {
        dialog.seFrom->setValue(c.from);
        dialog.seTo->setValue(c.to);
    }
    dialogs.confirmAnswers.push_back(true);
    pressOk(dialog);

    ASSERT_EQ(dialogs.confirmations.size(), 1u);
    EXPECT_EQ(dialogs.confirmations[0].text, confirmation(c.askedFrom, c.askedTo));
    EXPECT_EQ(dialogs.confirmations[0].buttons, Dialogs::Buttons::YesNo);
    EXPECT_EQ(column(records.cdsMain, RecordField::Name), c.remaining);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(dialogs.busyCount, 1);
    EXPECT_EQ(dialogs.processEventsCount, 1);
    expectRestored(records.cdsMain);
}

INSTANTIATE_TEST_SUITE_P(
    Items, EraseRecordRuns,
    ::testing::Values(
        RunCase{"FirstToCurrent", ByName, 3, TFErase::FirstToCurrent, 0, 0, 1, 3,
                {"R4", "R5", "R6", "R7"}},
        RunCase{"CurrentToLast", ByName, 3, TFErase::CurrentToLast, 0, 0, 3, 7, {"R1", "R2"}},
        RunCase{"All", ByName, 3, TFErase::All, 0, 0, 1, 7, {}},
        RunCase{"FromTo", ByName, 3, TFErase::FromTo, 2, 5, 2, 5, {"R1", "R6", "R7"}},
        RunCase{"SingleRow", ByName, 1, TFErase::FromTo, 7, 7, 7, 7,
                {"R1", "R2", "R3", "R4", "R5", "R6"}},
        // Newest first: positions 1..3 are R7, R6, R5.
        RunCase{"NewestFirst", ByCreation, 3, TFErase::FirstToCurrent, 0, 0, 1, 3,
                {"R4", "R3", "R2", "R1"}},
        RunCase{"NewestFirstToLast", ByCreation, 6, TFErase::CurrentToLast, 0, 0, 6, 7,
                {"R7", "R6", "R5", "R4", "R3"}}),
    CaseName);

TEST_F(EraseTest, ConfirmationForAllOfTwelve)
{
    open(numbered(12));
    TFErase dialog(records.store, dialogs, EraseTarget::Records);
    EXPECT_EQ(dialog.itemIndex(), TFErase::All);
    dialogs.confirmAnswers.push_back(true);
    pressOk(dialog);
    ASSERT_EQ(dialogs.confirmations.size(), 1u);
    EXPECT_EQ(dialogs.confirmations[0].text,
              QStringLiteral("All records from # 1 to # 12 will be deleted\rContinue?"));
    EXPECT_EQ(records.cdsMain.recordCount(), 0);
}

TEST_F(EraseTest, DeletedRecordsTakeTheirPointsAndMeasurements)
{
    open(greek()); // by name: Alpha, Beta, Gamma
    TFErase dialog(records.store, dialogs, EraseTarget::Records);
    dialog.setItemIndex(TFErase::FromTo);
    dialog.seFrom->setValue(1);
    dialog.seTo->setValue(2);
    dialogs.confirmAnswers.push_back(true);
    pressOk(dialog);

    const StoreData data = records.store.data();
    ASSERT_EQ(data.records.size(), 1u);
    EXPECT_EQ(std::get<std::string>(data.records[0].values[0]), "Gamma");
    EXPECT_EQ(data.records[0].nested[0].rows.size(), 3u);
    EXPECT_EQ(data.records[0].nested[1].rows.size(), 2u);
    EXPECT_EQ(records.cdsBB.recordCount(), 3);
    EXPECT_EQ(records.cdsInterp.recordCount(), 2);
}

// ---- refusals ----------------------------------------------------------------------------

TEST_F(EraseTest, ReversedRangeIsRefusedAndTheDialogStays)
{
    open(numbered(7));
    TFErase dialog(records.store, dialogs, EraseTarget::Records);
    dialog.setItemIndex(TFErase::FromTo);
    dialog.seFrom->setValue(4);
    dialog.seTo->setValue(2);
    pressOk(dialog);
    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("Incorrect record range: from # 4 to # 2")});
    EXPECT_TRUE(dialogs.confirmations.empty());
    EXPECT_EQ(records.cdsMain.recordCount(), 7);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialogs.busyCount, 0);
    expectRestored(records.cdsMain);

    // The user corrects the range and goes on in the same dialog.
    dialog.seFrom->setValue(2);
    dialogs.confirmAnswers.push_back(true);
    pressOk(dialog);
    EXPECT_EQ(column(records.cdsMain, RecordField::Name),
              (std::vector<std::string>{"R1", "R3", "R4", "R5", "R6", "R7"}));
}

TEST_F(EraseTest, NoToTheQuestionDeletesNothing)
{
    open(numbered(3));
    TFErase dialog(records.store, dialogs, EraseTarget::Records);
    dialogs.confirmAnswers.push_back(false);
    pressOk(dialog);
    EXPECT_EQ(records.cdsMain.recordCount(), 3);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialogs.busyCount, 0);
}

TEST_F(EraseTest, CancelClosesWithoutDeleting)
{
    open(numbered(3));
    TFErase dialog(records.store, dialogs, EraseTarget::Records);
    dialog.btnCancel->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(dialogs.confirmations.empty());
    EXPECT_EQ(records.cdsMain.recordCount(), 3);
}

// ---- the dialog's controls ---------------------------------------------------------------

struct TotalCase
{
    int records;
    QString text;
};

void PrintTo(const TotalCase &c, std::ostream *os)
{
    *os << "records" << c.records;
}

class EraseTotal : public EraseTest, public ::testing::WithParamInterface<TotalCase>
{
};

TEST_P(EraseTotal, StatusPaneAndEditBounds)
{
    const TotalCase &c = GetParam();
    open(numbered(c.records));
    TFErase dialog(records.store, dialogs, EraseTarget::Records);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Erase Multiple Records"));
    EXPECT_EQ(dialog.sp0->text(), c.text);
    for (const QSpinBox *edit : {dialog.seFrom, dialog.seTo}) {
        EXPECT_EQ(edit->minimum(), 1);
        EXPECT_EQ(edit->maximum(), std::max(1, c.records));
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, EraseTotal,
                         ::testing::Values(TotalCase{0, QStringLiteral("Total: 0 record")},
                                           TotalCase{1, QStringLiteral("Total: 1 record")},
                                           TotalCase{2, QStringLiteral("Total: 2 records")},
                                           TotalCase{7, QStringLiteral("Total: 7 records")}));

struct ItemCase
{
    int item;
    int from;
    int to;
    bool editable;
};

void PrintTo(const ItemCase &c, std::ostream *os)
{
    *os << "item" << c.item;
}

class EraseItems : public EraseTest, public ::testing::WithParamInterface<ItemCase>
{
};

TEST_P(EraseItems, EditsShowTheRunAndOpenOnlyForFromTo)
{
    const ItemCase &c = GetParam();
    open(numbered(7));
    records.cdsMain.setRecNo(3);
    TFErase dialog(records.store, dialogs, EraseTarget::Records);
    dialog.rgRecordsItems[static_cast<std::size_t>(c.item)]->click();
    EXPECT_EQ(dialog.itemIndex(), c.item);
    EXPECT_EQ(dialog.seFrom->value(), c.from);
    EXPECT_EQ(dialog.seTo->value(), c.to);
    EXPECT_EQ(dialog.seFrom->isEnabled(), c.editable);
    EXPECT_EQ(dialog.seTo->isEnabled(), c.editable);
}

INSTANTIATE_TEST_SUITE_P(Items, EraseItems,
                         ::testing::Values(ItemCase{TFErase::FirstToCurrent, 1, 3, false},
                                           ItemCase{TFErase::CurrentToLast, 3, 7, false},
                                           ItemCase{TFErase::All, 1, 7, false},
                                           ItemCase{TFErase::FromTo, 1, 1, true}));

TEST_F(EraseTest, TypedValuesAreHeldWithinTheBounds)
{
    open(numbered(7));
    TFErase dialog(records.store, dialogs, EraseTarget::Records);
    dialog.show();
    dialog.setItemIndex(TFErase::FromTo);
    dialog.seFrom->setFocus();
    dialog.seFrom->selectAll();
    QTest::keyClicks(dialog.seFrom, QStringLiteral("0")); // below the minimum
    dialog.seTo->setFocus();
    dialog.seTo->selectAll();
    QTest::keyClicks(dialog.seTo, QStringLiteral("6"));
    dialogs.confirmAnswers.push_back(true);
    pressOk(dialog);
    ASSERT_EQ(dialogs.confirmations.size(), 1u);
    EXPECT_EQ(dialogs.confirmations[0].text, confirmation(1, 6));
    EXPECT_EQ(column(records.cdsMain, RecordField::Name), std::vector<std::string>{"R7"});
}

TEST_F(EraseTest, NothingIsCutOff)
{
    open(numbered(7));
    TFErase dialog(records.store, dialogs, EraseTarget::Records);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_GE(dialog.width(), 336);
    EXPECT_GE(dialog.height(), 169);
    for (const QWidget *control :
         std::initializer_list<const QWidget *>{dialog.rgRecordsItems[0], dialog.rgRecordsItems[1],
                                                dialog.rgRecordsItems[2], dialog.rgRecordsItems[3],
                                                dialog.seFrom, dialog.seTo, dialog.btnOK,
                                                dialog.btnCancel, dialog.sp0}) {
        const std::string name = control->objectName().toStdString() + " "
                                 + control->property("text").toString().toStdString();
        EXPECT_GE(control->width(), control->minimumSizeHint().width()) << name;
        const QRect inDialog(control->mapTo(&dialog, QPoint(0, 0)), control->size());
        EXPECT_TRUE(dialog.rect().contains(inDialog)) << name;
    }
}

// ---- reference points and measurements ---------------------------------------------------

TEST_F(EraseTest, ReferencePointsFromToRecomputeTheRange)
{
    open({{"Lamp", {{0.5, 1000.0}, {2.0, 1500.0}, {0.1, 800.0}, {1.0, 1200.0}, {1.5, 1400.0}},
           {}}});
    TFErase dialog(records.store, dialogs, EraseTarget::ReferencePoints);
    EXPECT_EQ(dialog.sp0->text(), QStringLiteral("Total: 5 records"));
    dialog.setItemIndex(TFErase::FromTo);
    dialog.seFrom->setValue(2);
    dialog.seTo->setValue(3);
    dialogs.confirmAnswers.push_back(true);
    pressOk(dialog);

    EXPECT_EQ(column(records.cdsBB, ReferencePointField::T),
              (std::vector<std::string>{"1000.0", "1200.0", "1400.0"}));
    const RecordRow record(records.cdsMain);
    EXPECT_DOUBLE_EQ(record.SMin(), 0.5);
    EXPECT_DOUBLE_EQ(record.SMax(), 1.5);
    EXPECT_DOUBLE_EQ(record.TMin(), 1000);
    EXPECT_DOUBLE_EQ(record.TMax(), 1400);
    EXPECT_EQ(records.cdsMain.recordCount(), 1);
    expectRestored(records.cdsBB);
}

TEST_F(EraseTest, AllMeasurementsOfTheCurrentRecordOnly)
{
    open(greek()); // by name, Alpha current: one measurement
    records.cdsMain.setRecNo(3);    // Gamma: two
    TFErase dialog(records.store, dialogs, EraseTarget::Measurements);
    EXPECT_EQ(dialog.sp0->text(), QStringLiteral("Total: 2 records"));
    dialogs.confirmAnswers.push_back(true);
    pressOk(dialog);
    EXPECT_EQ(records.cdsInterp.recordCount(), 0);
    EXPECT_EQ(records.cdsBB.recordCount(), 3);
    records.cdsMain.setRecNo(1);
    EXPECT_EQ(records.cdsInterp.recordCount(), 1);
    expectRestored(records.cdsInterp);
}

// A record without reference points: nothing to delete, whatever the item.
class EraseEmptyTarget : public EraseTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(EraseEmptyTarget, DeletesNothingAndCloses)
{
    open({{"Empty", {}, {}}, {"Full", {{0.5, 1000.0}}, {}}});
    TFErase dialog(records.store, dialogs, EraseTarget::ReferencePoints);
    EXPECT_EQ(dialog.sp0->text(), QStringLiteral("Total: 0 record"));
    dialog.setItemIndex(GetParam());
    dialogs.confirmAnswers.push_back(true);
    pressOk(dialog);
    ASSERT_EQ(dialogs.confirmations.size(), 1u);
    EXPECT_EQ(dialogs.confirmations[0].text,
              GetParam() == TFErase::All ? confirmation(1, 0) : confirmation(1, 1));
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(records.cdsMain.recordCount(), 2);
    records.cdsMain.setRecNo(2);
    EXPECT_EQ(records.cdsBB.recordCount(), 1);
    expectRestored(records.cdsBB);
}

INSTANTIATE_TEST_SUITE_P(Items, EraseEmptyTarget,
                         ::testing::Values(TFErase::All, TFErase::FromTo));

} // namespace
} // namespace kelvora
