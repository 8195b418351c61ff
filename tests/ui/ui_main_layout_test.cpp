#include "ui_main_fixture.h"

#include "ui/appearance.h"
#include "ui/boundedit.h"
#include "ui/grid.h"
#include "ui/radiogroup.h"
#include "ui/tablemodel.h"
#include "../casename.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>

#include <array>
#include <cctype>
#include <string>
#include <vector>

namespace kelvora {
namespace {

using test::MainWindowTest;
using testcase::CaseName;
using testcase::PrintTo;

// A shown window with one computed record; the checks only read its controls.
class MainLayout : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        startEmpty();
        importRecord(QStringLiteral("Lamp"));
        makeComputed();
        window->show();
        // The page with the most controls, laid out at its shown size.
        pc()->setCurrentWidget(tsMeasurements());
        returnToEventLoop();
        ASSERT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
    }

    template <typename T> T *control(const char *name)
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
};

struct ButtonCase
{
    const char *name;
    const char *caption;
    const char *hint;
};

class MainButtons : public MainLayout, public ::testing::WithParamInterface<ButtonCase>
{
};

TEST_P(MainButtons, HaveTheirCaptionHintAndWidth)
{
    const ButtonCase &c = GetParam();
    QPushButton *button = control<QPushButton>(c.name);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QString::fromUtf8(c.caption));
    EXPECT_EQ(button->toolTip(), QString::fromUtf8(c.hint));
    // As designed, or wider for a caption that needs it.
    EXPECT_GE(button->width(), 100);
    EXPECT_FALSE(button->icon().isNull()) << "every button carries a picture";
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, MainButtons,
    ::testing::Values(ButtonCase{"btnAbout", "About", "About Kelvora"},
                      ButtonCase{"btnExit", "Exit", "Exit Kelvora"},
                      ButtonCase{"btnLoadMain", "Load", "Load record from text file"},
                      ButtonCase{"btnSaveMain", "Save", "Save record in text file"},
                      ButtonCase{"btnEraseMain", "Erase", "Erase multiple records"},
                      ButtonCase{"btnCompute", "Compute", "Compute Sakuma-Hattori parameters"},
                      ButtonCase{"btnEraseBB", "Erase", "Erase multiple records"},
                      ButtonCase{"btnLoadInterp", "Load", "Load signals from text file"},
                      ButtonCase{"btnSaveInterp", "Save", "Save data in text file"},
                      ButtonCase{"btnComputeInterp", "Compute", "Compute temperature(s)"},
                      ButtonCase{"btnEraseInterp", "Erase", "Erase multiple records"},
                      ButtonCase{"btnEditUnc", "Edit Graph", "Open Graph Editor"}),
    CaseName);

struct ColumnCase
{
    const char *grid;
    int column;
    const char *title;
    int width; // 0: the column takes the width the others leave
    bool editable;
};

void PrintTo(const ColumnCase &c, std::ostream *os)
{
    *os << c.grid << "_" << c.column;
}

class GridColumns : public MainLayout, public ::testing::WithParamInterface<ColumnCase>
{
};

TEST_P(GridColumns, HaveTheirTitleWidthAndShade)
{
    const ColumnCase &c = GetParam();
    Grid *grid = control<Grid>(c.grid);
    ASSERT_NE(grid, nullptr);
    const QAbstractItemModel *model = grid->model();
    EXPECT_EQ(model->headerData(c.column, Qt::Horizontal).toString(),
              QString::fromUtf8(c.title));
    if (c.width > 0) {
        EXPECT_GE(grid->columnWidth(c.column), c.width);
    }
    const QModelIndex cell = model->index(0, c.column);
    ASSERT_TRUE(cell.isValid());
    EXPECT_EQ(model->flags(cell).testFlag(Qt::ItemIsEditable), c.editable);
    // Read-only columns are drawn on cream, editable ones on the grid's own background.
    EXPECT_EQ(cell.data(Qt::BackgroundRole).value<QColor>() == CreamColor, !c.editable);
}

INSTANTIATE_TEST_SUITE_P(
    Columns, GridColumns,
    ::testing::Values(ColumnCase{"dbgMain", 0, "Record Name", 180, true},
                      ColumnCase{"dbgMain", 1, "Created", 120, false},
                      ColumnCase{"dbgMain", 2, "Processed", 120, false},
                      ColumnCase{"dbgBB", 0, "Signal", 0, false},
                      ColumnCase{"dbgBB", 1, "T (K)", 104, false},
                      ColumnCase{"dbgBB", 2, "TLM (K)", 104, false},
                      ColumnCase{"dbgBB", 3, "TPSO (K)", 104, false},
                      ColumnCase{"dbgBB", 4, "TLM-T (mK)", 104, false},
                      ColumnCase{"dbgBB", 5, "TPSO-T (mK)", 104, false},
                      ColumnCase{"dbgBB", 6, "TLM-TPSO (mK)", 104, false}),
    [](const auto &info) {
        return std::string(info.param.grid) + "_" + std::to_string(info.param.column);
    });

TEST_F(MainLayout, MeasurementColumnsHaveTheirTitleWidthAndShade)
{
    loadSignals("2\n3.1E-3\n7.9E-3\n");
    const QAbstractItemModel *model = dbgInterp()->model();
    const std::array<std::pair<const char *, int>, 2> columns{
        {{"Signal", 140}, {"Temperature (K)", 110}}};
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString(),
                  QLatin1String(columns[c].first));
        EXPECT_GE(dbgInterp()->columnWidth(c), columns[c].second);
    }
    EXPECT_TRUE(model->flags(model->index(0, 0)).testFlag(Qt::ItemIsEditable));
    EXPECT_FALSE(model->flags(model->index(0, 1)).testFlag(Qt::ItemIsEditable));
    EXPECT_EQ(model->index(0, 1).data(Qt::BackgroundRole).value<QColor>(), CreamColor);
}

struct GroupCase
{
    const char *title;
    std::vector<const char *> labels; // the captions of its edits, in order
    QColor caption;                   // invalid: the usual text colour
};

// The title without its spaces and punctuation.
std::string groupName(const GroupCase &c)
{
    std::string name = c.title;
    std::erase_if(name, [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); });
    return name;
}

void PrintTo(const GroupCase &c, std::ostream *os)
{
    *os << groupName(c);
}

class HeaderGroups : public MainLayout, public ::testing::WithParamInterface<GroupCase>
{
};

TEST_P(HeaderGroups, ShowTheirFieldsInCreamReadOnlyEdits)
{
    const GroupCase &c = GetParam();
    QGroupBox *group = nullptr;
    for (QGroupBox *box : window->findChildren<QGroupBox *>()) {
        if (box->title() == QString::fromUtf8(c.title))
            group = box;
    }
    ASSERT_NE(group, nullptr) << c.title;
    QStringList labels;
    for (const QLabel *label : group->findChildren<QLabel *>(Qt::FindDirectChildrenOnly))
        labels << label->text();
    QStringList expected;
    for (const char *label : c.labels)
        expected << QString::fromUtf8(label);
    EXPECT_EQ(labels, expected);
    const QList<QLineEdit *> edits = group->findChildren<QLineEdit *>();
    EXPECT_EQ(edits.size(), static_cast<qsizetype>(c.labels.size()));
    for (const QLineEdit *edit : edits) {
        EXPECT_TRUE(edit->isReadOnly()) << edit->objectName().toStdString();
        EXPECT_EQ(edit->palette().color(QPalette::Base), CreamColor)
            << edit->objectName().toStdString();
        // The whole value is readable in the edit.
        EXPECT_GE(edit->width(), edit->fontMetrics().horizontalAdvance(edit->text()) + 4)
            << edit->objectName().toStdString() << " " << edit->text().toStdString();
    }
    if (c.caption.isValid()) {
        EXPECT_EQ(group->palette().color(QPalette::WindowText), c.caption);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Groups, HeaderGroups,
    ::testing::Values(
        GroupCase{"Spectral Responsivity", {"Mean Wavelength (µm) ", "Bandwidth (µm) "}, {}},
        GroupCase{"Saunders-White Initial Guess", {"A ", "B ", "C "}, {}},
        GroupCase{"Levenberg-Marquardt Solution",
                  {"A ", "B ", "C ", "Mean RMS (mK)  "},
                  QColor(0, 0, 128)},
        GroupCase{"Particle Swarm Optimization",
                  {"A ", "B ", "C ", "Mean RMS (mK)  "},
                  QColor(Qt::red)},
        GroupCase{"Sakuma-Hattori Parameters", {"A ", "B ", "C "}, {}},
        GroupCase{"Reference Signal Range", {"Min. ", "Max. "}, {}},
        GroupCase{"Reference Temperature Range (K)", {"Min. ", "Max. "}, {}}),
    [](const auto &info) { return groupName(info.param); });

struct RadioCase
{
    const char *name;
    const char *caption;
    std::vector<const char *> items;
    int selected;
};

class RadioGroups : public MainLayout, public ::testing::WithParamInterface<RadioCase>
{
};

TEST_P(RadioGroups, HaveTheirItemsAndStartSelection)
{
    const RadioCase &c = GetParam();
    RadioGroup *group = control<RadioGroup>(c.name);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->title(), QLatin1String(c.caption));
    for (int i = 0; i < static_cast<int>(c.items.size()); ++i)
        EXPECT_EQ(group->item(i)->text(), QLatin1String(c.items[static_cast<std::size_t>(i)]));
    EXPECT_EQ(group->itemIndex(), c.selected);
}

INSTANTIATE_TEST_SUITE_P(
    Groups, RadioGroups,
    ::testing::Values(RadioCase{"rgSort", "Sort by", {"Record Name", "Record Creation Time"}, 1},
                      RadioCase{"rgABC",
                                "Apply Parameters Obtained Using",
                                {"Levenberg-Marquardt Method", "Particle Swarm Optimization"},
                                0}),
    CaseName);

TEST_F(MainLayout, WindowPanelsAndPagesHaveTheirSizesAndCaptions)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kelvora"));
    // The designed sizes, or what the font needs where that is more.
    EXPECT_GE(window->minimumWidth(), 1290);
    EXPECT_GE(window->minimumHeight(), 750);
    EXPECT_EQ(window->size(), QSize(1290, 763).expandedTo(window->minimumSize()));
    EXPECT_GE(pLeft()->width(), 468);
    EXPECT_EQ(edFind()->width(), 100);
    EXPECT_GE(window->statusBar()->height(), 19);
    EXPECT_GE(spNotice()->width(), 250);
    EXPECT_FALSE(spNotice()->text().isEmpty());
    EXPECT_EQ(m()->height(), 84);
    EXPECT_EQ(pc()->tabText(0), QStringLiteral("   Calibration   "));
    EXPECT_EQ(pc()->tabText(1), QStringLiteral("   Interpolation   "));
    EXPECT_FALSE(pc()->tabIcon(0).isNull());
    EXPECT_FALSE(pc()->tabIcon(1).isNull());
    EXPECT_EQ(dbspRecNoMain()->text(), QStringLiteral("Record #: 1"));
    EXPECT_EQ(dbspRecordCountMain()->text(), QStringLiteral("Record Count: 1"));
    EXPECT_GE(dbspRecNoMain()->width(), 120);
    EXPECT_GE(dbspRecordCountInterp()->width(), 110);
    EXPECT_GE(dbspRecNoInterp()->width(), 100);
}

// The record list keeps its place at the left edge whether or not the right-hand panel is
// shown beside it.
class RecordListPlace : public MainWindowTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(RecordListPlace, IsAtTheLeftEdge)
{
    startEmpty();
    for (int i = 0; i < GetParam(); ++i)
        importRecord(QStringLiteral("Lamp %1").arg(i));
    window->show();
    returnToEventLoop();
    EXPECT_EQ(p()->isHidden(), GetParam() == 0);
    EXPECT_LE(pLeft()->mapTo(window.get(), QPoint(0, 0)).x(), 4);
    EXPECT_GE(pLeft()->height(), window->height() / 2);
}

INSTANTIATE_TEST_SUITE_P(Records, RecordListPlace, ::testing::Values(0, 1));

TEST_F(MainWindowTest, MovingToAnUncomputedRecordLeavesTheHiddenInterpolationPage)
{
    startEmpty();
    importRecord(QStringLiteral("Plain"));
    importRecord(QStringLiteral("Computed"));
    makeComputed();
    window->show();
    pc()->setCurrentWidget(tsMeasurements());
    returnToEventLoop();
    const int interpolation = pc()->indexOf(tsMeasurements());

    cdsMain().next();
    returnToEventLoop();
    ASSERT_EQ(cdsMain().asString("Name"), "Plain");
    EXPECT_FALSE(pc()->isTabVisible(interpolation));
    EXPECT_EQ(pc()->currentWidget(), tsCalibration());
    EXPECT_FALSE(tsMeasurements()->isVisible());

    cdsMain().prior();
    returnToEventLoop();
    EXPECT_TRUE(pc()->isTabVisible(interpolation));
}

} // namespace
} // namespace kelvora
