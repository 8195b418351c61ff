#include "tables/recordstore.h"

#include "core/errors.h"
#include "frontend/systemlocale.h"
#include "scripteddialogs.h"
#include "tables/rows.h"
#include "ui/appearance.h"
#include "ui/boundedit.h"
#include "ui/grid.h"
#include "ui/navigator.h"
#include "ui/tablemodel.h"

#include <QApplication>
#include <QFont>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <variant>

namespace kelvora {
namespace {

using test::ScriptedDialogs;

// A record with three measurements (1E-3, 2E-3, 3E-3), the second one current, shown by a
// model with an editable signal column and a read-only temperature column.
class MeasurementGrid : public ::testing::Test
{
protected:
    RecordStore records;
    Table &cdsMain = records.cdsMain;
    Table &cdsInterp = records.cdsInterp;
    ScriptedDialogs dialogs;
    std::unique_ptr<TableModel> model;
    char sep = '.';

    void SetUp() override
    {
        records.store.open();
        cdsMain.append();
        RecordRowEditor(cdsMain).setName("Lamp");
        cdsMain.post();
        for (double s : {1e-3, 2e-3, 3e-3}) {
            cdsInterp.append();
            MeasurementRowEditor(cdsInterp).setS(s);
            cdsInterp.post();
        }
        cdsMain.post();
        cdsInterp.setRecNo(2);
        model = std::make_unique<TableModel>(
            cdsInterp,
            std::vector<GridColumn>{
                {MeasurementField::S, QStringLiteral("Signal"), 140, true},
                {MeasurementField::T, QStringLiteral("Temperature (K)"), 110, false}},
            dialogs);
        const TextLocale locale = systemTextLocale();
        model->setTextLocale(locale);
        sep = locale.decimalSeparator;
    }

    double storedSignal(int row)
    {
        const StoreData data = records.store.data();
        const Value &v = data.records.at(0).nested.at(1).rows.at(static_cast<std::size_t>(row))
                             .values.at(static_cast<std::size_t>(fieldIndex(MeasurementField::S)));
        return std::holds_alternative<double>(v) ? std::get<double>(v) : -1.0;
    }

    QString number(const char *text) const
    {
        return QString::fromLatin1(text).replace(QLatin1Char('.'), QLatin1Char(sep));
    }
};

TEST_F(MeasurementGrid, ModelShowsTheRowsWithinBounds)
{
    EXPECT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->columnCount(), 2);
    EXPECT_EQ(model->rowCount(model->index(0, 0)), 0) << "a table has no child rows";
    EXPECT_EQ(model->columnCount(model->index(0, 0)), 0);
    EXPECT_EQ(model->index(1, 0).data().toString(), number("0.002"));
    EXPECT_FALSE(model->data(model->index(3, 0)).isValid());
    QStandardItemModel other(8, 3);
    EXPECT_FALSE(model->data(other.index(7, 0)).isValid()) << "another model's index";
    EXPECT_FALSE(model->data(other.index(0, 2)).isValid());
    EXPECT_FALSE(model->setData(other.index(0, 0), QStringLiteral("1")));

    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Signal"));
    EXPECT_TRUE(model->headerData(1, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(model->headerData(1, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
              int(Qt::AlignCenter));
    EXPECT_FALSE(model->headerData(2, Qt::Horizontal).isValid());

    EXPECT_FALSE(model->index(0, 0).data(Qt::BackgroundRole).isValid());
    EXPECT_EQ(model->index(0, 1).data(Qt::BackgroundRole).value<QColor>(), CreamColor);
    EXPECT_TRUE(model->flags(model->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model->flags(model->index(0, 1)) & Qt::ItemIsEditable);

    // The row indicator marks the current row by the table's state.
    EXPECT_FALSE(model->headerData(0, Qt::Vertical).isValid());
    const QString browsing = model->headerData(1, Qt::Vertical).toString();
    cdsInterp.edit();
    EXPECT_NE(model->headerData(1, Qt::Vertical).toString(), browsing);
}

// A display of a field of another table would show the column at that field's position: it is
// refused as it is made.
TEST_F(MeasurementGrid, DisplaysRefuseAFieldOfAnotherTable)
{
    Table &cdsBB = records.cdsBB;
    const std::vector<std::pair<std::string, std::function<void()>>> displays{
        {"Field 'MeanWL' not found in cdsInterp",
         [&] { BoundEdit edit(cdsInterp, RecordField::MeanWL, TextLocale{}); }},
        {"Field 'RecNo' not found in cdsMain",
         [&] { BoundPane pane(cdsMain, MeasurementField::RecNo, QStringLiteral("#")); }},
        {"Field 'Rem' not found in cdsBB",
         [&] { BoundMemo memo(cdsBB, RecordField::Rem, dialogs); }},
        {"Field 'S' not found in cdsInterp", [&] {
             TableModel other(cdsInterp, {{ReferencePointField::S, QStringLiteral("S")}},
                              dialogs);
         }},
    };
    for (const auto &[refusal, make] : displays) {
        try {
            make();
            ADD_FAILURE() << "made: " << refusal;
        } catch (const StoreError &error) {
            EXPECT_EQ(std::string(error.what()), refusal);
        }
    }
}

// ---- store notifications as model signals --------------------------------------------------

enum class Expect { Inserted, Removed, Changed, Reset };

struct Notification
{
    const char *what;
    std::function<void(Table &)> prepare;
    std::function<void(Table &)> action;
    Expect expect;
    int row;
    int countInside; // rowCount while the rows are about to change
    int countAfter;
};

// Names the case in test output.
void PrintTo(const Notification &c, std::ostream *out)
{
    *out << c.what;
}

class ModelSignals : public MeasurementGrid, public ::testing::WithParamInterface<Notification>
{
};

TEST_P(ModelSignals, FollowTheStore)
{
    const Notification &c = GetParam();
    if (c.prepare)
        c.prepare(cdsInterp);
    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    QSignalSpy reset(model.get(), &QAbstractItemModel::modelReset);
    int inside = -1;
    const auto capture = [&] { inside = model->rowCount(); };
    QObject::connect(model.get(), &QAbstractItemModel::rowsAboutToBeInserted, capture);
    QObject::connect(model.get(), &QAbstractItemModel::rowsAboutToBeRemoved, capture);
    c.action(cdsInterp);

    EXPECT_EQ(model->rowCount(), c.countAfter);
    switch (c.expect) {
    case Expect::Inserted:
        ASSERT_EQ(inserted.size(), 1);
        EXPECT_EQ(inserted[0][1].toInt(), c.row);
        EXPECT_EQ(inserted[0][2].toInt(), c.row);
        EXPECT_EQ(inside, c.countInside);
        EXPECT_EQ(reset.size(), 0);
        break;
    case Expect::Removed:
        ASSERT_EQ(removed.size(), 1);
        EXPECT_EQ(removed[0][1].toInt(), c.row);
        EXPECT_EQ(inside, c.countInside);
        EXPECT_EQ(reset.size(), 0);
        break;
    case Expect::Changed: {
        ASSERT_GE(changed.size(), 1);
        const QModelIndex from = changed[0][0].value<QModelIndex>();
        const QModelIndex to = changed[0][1].value<QModelIndex>();
        EXPECT_EQ(from.row(), c.row);
        EXPECT_EQ(to.row(), c.row);
        EXPECT_EQ(to.column(), 1);
        const auto roles = changed[0][2].value<QList<int>>();
        EXPECT_TRUE(roles.contains(Qt::DisplayRole));
        EXPECT_TRUE(roles.contains(Qt::EditRole));
        EXPECT_EQ(reset.size(), 0);
        break;
    }
    case Expect::Reset:
        EXPECT_EQ(reset.size(), 1);
        EXPECT_EQ(inserted.size(), 0);
        break;
    }
    EXPECT_EQ(model->index(model->rowCount() - 1, 0).isValid(), model->rowCount() > 0);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, ModelSignals,
    ::testing::Values(
        Notification{"append", {}, [](Table &t) { t.append(); }, Expect::Inserted, 3, 3, 4},
        Notification{"insert", {}, [](Table &t) { t.insert(); }, Expect::Inserted, 1, 3, 4},
        Notification{"remove", {}, [](Table &t) { t.remove(); }, Expect::Removed, 1, 3, 2},
        Notification{"cancelInsert", [](Table &t) { t.append(); },
                     [](Table &t) { t.cancel(); }, Expect::Removed, 3, 4, 3},
        Notification{"post", {},
                     [](Table &t) {
                         t.edit();
                         MeasurementRowEditor(t).setS(5e-3);
                         t.post();
                     },
                     Expect::Changed, 1, 0, 3},
        Notification{"suspended",
                     {},
                     [](Table &t) {
                         t.disableControls();
                         t.append();
                         MeasurementRowEditor(t).setS(4e-3);
                         t.post();
                         t.enableControls();
                     },
                     Expect::Reset, 0, 0, 4}),
    [](const auto &info) { return std::string(info.param.what); });

// ---- editing a cell ------------------------------------------------------------------------

struct CellText
{
    const char *text; // "." stands for the decimal separator
    bool accepted;
    double value;           // < 0: empty
    // The message of a refused text ("." stands for the decimal separator); nullptr: not a
    // number.
    const char *refusal = nullptr;
};

// Names the case in test output.
void PrintTo(const CellText &c, std::ostream *out)
{
    *out << c.text;
}

// Why a double cannot hold the value, after the cell's name and the typed text.
constexpr const char *Overflow = "Signal, row 3: '1e400'\rThe value is too large to be stored: "
                                 "1E400 (the largest is 1.79769313486232E308)";
constexpr const char *NegativeOverflow = "Signal, row 3: '-1e400'\rThe value is too large to be "
                                         "stored: -1E400 (the largest is 1.79769313486232E308)";
constexpr const char *Underflow = "Signal, row 3: '1e-4000'\rThe value is too small to be "
                                  "stored: 1E-4000 (the smallest is 2.2250738585072E-308)";
constexpr const char *Subnormal = "Signal, row 3: '-1e-320'\rThe value is too small to be "
                                  "stored: -1E-320 (the smallest is 2.2250738585072E-308)";

class CellEdit : public MeasurementGrid, public ::testing::WithParamInterface<CellText>
{
};

TEST_P(CellEdit, WritesTheFieldButPostsOnlyLater)
{
    const CellText &c = GetParam();
    const QString text = number(c.text);
    EXPECT_EQ(model->setData(model->index(2, 0), text), c.accepted);
    if (!c.accepted) {
        const QString notANumber =
            QStringLiteral("'") + text + QStringLiteral("' is not a valid floating point value");
        const QString expected = c.refusal != nullptr ? number(c.refusal) : notANumber;
        EXPECT_EQ(dialogs.messages, QStringList{expected});
        EXPECT_FALSE(cdsInterp.isEditing());
        EXPECT_EQ(MeasurementRow(cdsInterp).S(), 3e-3);
        EXPECT_EQ(model->index(2, 0).data().toString(), number("0.003")) << "the cell as it was";
        PostIfEditing(cdsMain);
        EXPECT_EQ(storedSignal(2), 3e-3);
        return;
    }
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(cdsInterp.recNo(), 3) << "the edited row became current";
    EXPECT_EQ(cdsInterp.state(), TableState::Edit);
    if (c.value < 0)
        EXPECT_TRUE(MeasurementRow(cdsInterp).isNull(MeasurementField::S));
    else
        EXPECT_EQ(MeasurementRow(cdsInterp).S(), c.value);
    EXPECT_EQ(storedSignal(2), 3e-3) << "nothing stored before the post";
    PostIfEditing(cdsInterp);
    PostIfEditing(cdsMain);
    EXPECT_EQ(storedSignal(2), c.value);
}

INSTANTIATE_TEST_SUITE_P(Texts, CellEdit,
                         ::testing::Values(CellText{"1.5E-3", true, 1.5e-3},
                                           CellText{" 0.25 ", true, 0.25},
                                           CellText{"", true, -1.0},
                                           CellText{"abc", false, 0.0},
                                           CellText{"1.5.2", false, 0.0},
                                           CellText{"1e400", false, 0.0, Overflow},
                                           CellText{"-1e400", false, 0.0, NegativeOverflow},
                                           CellText{"1.7976931348623157e308", true,
                                                    std::numeric_limits<double>::max()},
                                           CellText{"1e-4000", false, 0.0, Underflow},
                                           CellText{"-1e-320", false, 0.0, Subnormal},
                                           CellText{"2.2250738585072014e-308", true,
                                                    std::numeric_limits<double>::min()},
                                           CellText{"0", true, 0.0}));

TEST_F(MeasurementGrid, AReadOnlyColumnTakesNoText)
{
    EXPECT_FALSE(model->setData(model->index(0, 1), QStringLiteral("1000")));
    EXPECT_FALSE(cdsInterp.isEditing());
}

// ---- the grid and its navigator ------------------------------------------------------------

TEST_F(MeasurementGrid, GridAndTableCursorFollowEachOther)
{
    QWidget window;
    auto *layout = new QHBoxLayout(&window);
    auto *grid = new Grid(*model, dialogs, &window);
    auto *other = new QLineEdit(&window);
    layout->addWidget(grid);
    layout->addWidget(other);
    window.show();
    QApplication::setActiveWindow(&window);
    EXPECT_EQ(grid->currentIndex().row(), 1);

    grid->setCurrentIndex(model->index(2, 0));
    EXPECT_EQ(cdsInterp.recNo(), 3);
    cdsInterp.first();
    EXPECT_EQ(grid->currentIndex().row(), 0);

    // Typed into a cell and left for another control: the row is posted.
    grid->setFocus();
    ASSERT_TRUE(model->setData(model->index(0, 0), number("0.5")));
    ASSERT_TRUE(cdsInterp.isEditing());
    other->setFocus();
    EXPECT_FALSE(cdsInterp.isEditing());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(MeasurementGrid, PostWritesTheOpenCellFirstAndCancelDropsIt)
{
    QWidget window;
    auto *layout = new QHBoxLayout(&window);
    auto *grid = new Grid(*model, dialogs, &window);
    auto *navigator = new Navigator(
        cdsInterp, {Navigator::Button::Post, Navigator::Button::Cancel}, dialogs, &window);
    navigator->setGrid(grid);
    layout->addWidget(grid);
    layout->addWidget(navigator);
    window.show();

    const auto typeIntoCell = [&](const QString &text) {
        grid->setCurrentIndex(model->index(0, 0));
        grid->edit(model->index(0, 0));
        auto *editor = qobject_cast<QLineEdit *>(grid->indexWidget(model->index(0, 0)));
        ASSERT_NE(editor, nullptr);
        editor->setText(text);
    };
    typeIntoCell(number("0.75"));
    navigator->run(Navigator::Button::Cancel);
    EXPECT_EQ(MeasurementRow(cdsInterp).S(), 1e-3);
    typeIntoCell(number("0.75"));
    navigator->run(Navigator::Button::Post);
    EXPECT_FALSE(cdsInterp.isEditing());
    EXPECT_EQ(MeasurementRow(cdsInterp).S(), 0.75);
}

// Deleting the current row: the store chooses the next current row, and the grid follows
// it instead of moving the table on its own.
class GridDelete : public MeasurementGrid, public ::testing::WithParamInterface<int>
{
};

TEST_P(GridDelete, TheGridFollowsTheRowTheStoreMakesCurrent)
{
    QWidget window;
    auto *layout = new QHBoxLayout(&window);
    auto *grid = new Grid(*model, dialogs, &window);
    layout->addWidget(grid);
    window.show();
    const int deleted = GetParam();
    cdsInterp.setRecNo(deleted);
    const double expected = deleted == 3 ? 2e-3 : (deleted == 1 ? 2e-3 : 3e-3);
    cdsInterp.remove();
    EXPECT_EQ(MeasurementRow(cdsInterp).S(), expected);
    EXPECT_EQ(grid->currentIndex().row(), cdsInterp.recNo() - 1);
    EXPECT_EQ(cdsInterp.recordCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(Rows, GridDelete, ::testing::Values(1, 2, 3));

struct Position
{
    const char *what;
    std::function<void(Table &)> go;
    std::vector<Navigator::Button> enabled;
};

// Names the case in test output.
void PrintTo(const Position &c, std::ostream *out)
{
    *out << c.what;
}

class NavigatorButtons : public MeasurementGrid, public ::testing::WithParamInterface<Position>
{
};

TEST_P(NavigatorButtons, AreEnabledForThePositionAndState)
{
    using B = Navigator::Button;
    const std::vector<B> all{B::First, B::Prior, B::Next,  B::Last,  B::Insert,
                             B::Delete, B::Edit, B::Post, B::Cancel};
    Navigator navigator(cdsInterp, all, dialogs);
    GetParam().go(cdsInterp);
    for (B b : all) {
        const bool expected = std::find(GetParam().enabled.begin(), GetParam().enabled.end(), b)
                              != GetParam().enabled.end();
        EXPECT_EQ(navigator.button(b)->isEnabled(), expected)
            << navigator.button(b)->toolTip().toStdString();
    }
}

using B = Navigator::Button;
INSTANTIATE_TEST_SUITE_P(
    Positions, NavigatorButtons,
    ::testing::Values(
        Position{"first", [](Table &t) { t.first(); },
                 {B::Next, B::Last, B::Insert, B::Delete, B::Edit}},
        Position{"middle", [](Table &t) { t.setRecNo(2); },
                 {B::First, B::Prior, B::Next, B::Last, B::Insert, B::Delete, B::Edit}},
        Position{"last", [](Table &t) { t.last(); },
                 {B::First, B::Prior, B::Insert, B::Delete, B::Edit}},
        Position{"editing", [](Table &t) { t.edit(); },
                 {B::First, B::Prior, B::Next, B::Last, B::Insert, B::Delete, B::Post,
                  B::Cancel}},
        Position{"empty", [](Table &t) { DeleteAllRows(t); }, {B::Insert}}),
    [](const auto &info) { return std::string(info.param.what); });

TEST_F(MeasurementGrid, DeleteAsksFirst)
{
    Navigator navigator(cdsInterp, {Navigator::Button::Delete}, dialogs);
    dialogs.confirmAnswers = {false, true};
    navigator.button(Navigator::Button::Delete)->click();
    EXPECT_EQ(cdsInterp.recordCount(), 3);
    navigator.button(Navigator::Button::Delete)->click();
    EXPECT_EQ(cdsInterp.recordCount(), 2);
    EXPECT_EQ(MeasurementRow(cdsInterp).S(), 3e-3) << "the following row became current";
    ASSERT_EQ(dialogs.confirmations.size(), 2u);
    EXPECT_EQ(dialogs.confirmations[0].text, QStringLiteral("Delete selected record?"));
    EXPECT_EQ(dialogs.confirmations[0].buttons, Dialogs::Buttons::OkCancel);
}

} // namespace
} // namespace kelvora
