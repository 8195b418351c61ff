#include "ui_main_fixture.h"

#include "../casename.h"
#include "ui/appearance.h"
#include "ui/grid.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <QTabWidget>

#include <algorithm>
#include <string>
#include <vector>

namespace kelvora {
namespace {

using test::MainWindowTest;
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

};

TEST_F(MainLayout, EveryButtonCarriesAPictureAndAHint)
{
    const QList<QPushButton *> buttons = window->findChildren<QPushButton *>();
    ASSERT_GE(buttons.size(), 12);
    for (const QPushButton *button : buttons) {
        SCOPED_TRACE(button->objectName().toStdString());
        EXPECT_FALSE(button->text().isEmpty());
        EXPECT_FALSE(button->icon().isNull());
        EXPECT_FALSE(button->toolTip().isEmpty());
        // As designed, or wider for a caption that needs it.
        EXPECT_GE(button->width(), 100);
    }
}

// Whether typing into a cell starts an editor, as a user finds out.
bool opensAnEditor(Grid &grid, const QModelIndex &cell)
{
    grid.setCurrentIndex(cell);
    grid.edit(cell);
    QLineEdit *editor = grid.viewport()->findChild<QLineEdit *>();
    if (editor == nullptr || !editor->isVisible())
        return false;
    QTest::keyClick(editor, Qt::Key_Escape);
    return true;
}

TEST_F(MainLayout, OnlyNamesSignalsAndPointUncertaintiesCanBeTypedAndTheRestIsCream)
{
    loadSignals("2\n3.1E-3\n7.9E-3\n");
    QStringList typable;
    for (Grid *grid : {dbgMain(), dbgBB(), dbgInterp()}) {
        pc()->setCurrentWidget(grid == dbgBB() ? tsCalibration() : tsMeasurements());
        returnToEventLoop();
        const QAbstractItemModel *model = grid->model();
        ASSERT_GT(model->rowCount(), 0);
        for (int c = 0; c < model->columnCount(); ++c) {
            const QString title = model->headerData(c, Qt::Horizontal).toString();
            const QModelIndex cell = model->index(0, c);
            const bool editable = opensAnEditor(*grid, cell);
            if (editable)
                typable << grid->objectName() + QLatin1Char('/') + title;
            EXPECT_EQ(cell.data(Qt::BackgroundRole).value<QColor>() == CreamColor, !editable)
                << title.toStdString();
        }
    }
    EXPECT_EQ(typable, (QStringList{QStringLiteral("dbgMain/Record Name"),
                                    QStringLiteral("dbgBB/u(T) (mK)"),
                                    QStringLiteral("dbgInterp/Signal")}));
    EXPECT_EQ(cdsMain().state(), TableState::Browse) << "no editor changed a value";
}

TEST_F(MainLayout, RecordValuesShowWholeInCreamReadOnlyEdits)
{
    const QList<QLineEdit *> edits = window->findChildren<QLineEdit *>();
    int shown = 0;
    for (const QLineEdit *edit : edits) {
        if (edit == edFind())
            continue;
        SCOPED_TRACE(edit->objectName().toStdString() + " " + edit->text().toStdString());
        ++shown;
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_EQ(edit->palette().color(QPalette::Base), CreamColor);
        EXPECT_GE(edit->width(), edit->fontMetrics().horizontalAdvance(edit->text()) + 4);
    }
    // The record's 13 values and its swarm's seed in the header, its two ranges and the
    // interpolation's parameters.
    EXPECT_EQ(shown, 14 + 4 + 3);
}

TEST_F(MainLayout, EachMethodsResultsAreCaptionedInItsColour)
{
    const auto captionOf = [this](const QString &title) {
        for (const QGroupBox *box : window->findChildren<QGroupBox *>()) {
            if (box->title() == title)
                return box->palette().color(QPalette::WindowText);
        }
        ADD_FAILURE() << title.toStdString();
        return QColor();
    };
    EXPECT_EQ(captionOf(QStringLiteral("Levenberg-Marquardt Solution")), NavyColor);
    EXPECT_EQ(captionOf(QStringLiteral("Particle Swarm Optimization")), QColor(Qt::red));
}

TEST_F(MainLayout, WindowPanelsAndPagesHaveTheirSizesAndCaptions)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kelvora"));
    // The designed sizes, or what the font needs where that is more.
    EXPECT_GE(window->minimumWidth(), 1290);
    EXPECT_GE(window->minimumHeight(), 750);
    // Opened at the designed size, or where the font needs more, as wide as the record list at
    // its designed width and the record beside it need.
    EXPECT_EQ(window->height(), std::max(763, window->minimumHeight()));
    EXPECT_GE(window->width(), 1290);
    EXPECT_TRUE(window->width() == 1290 || p()->width() == p()->minimumSizeHint().width())
        << window->width();
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
    ASSERT_EQ(RecordRow(cdsMain()).name(), "Plain");
    EXPECT_FALSE(pc()->isTabVisible(interpolation));
    EXPECT_EQ(pc()->currentWidget(), tsCalibration());
    EXPECT_FALSE(tsMeasurements()->isVisible());

    cdsMain().prior();
    returnToEventLoop();
    EXPECT_TRUE(pc()->isTabVisible(interpolation));
}

} // namespace
} // namespace kelvora
