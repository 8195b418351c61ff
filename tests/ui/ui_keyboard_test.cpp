// The windows without a mouse: every button has its own Alt letter in its window, and Tab
// leaves a grid.

#include "ui_calibration_fixture.h"

#include "ui/charteditor.h"
#include "../casename.h"

#include <QApplication>
#include <QKeySequence>
#include <QPushButton>
#include <QSet>


namespace kelvora::test {
namespace {

using testcase::CaseName;
using testcase::PrintTo;

// Every push button of the window (whichever page shows it) has a mnemonic letter, and no
// two have the same.
void expectOwnAltLetters(QWidget &window)
{
    QSet<QString> letters;
    const QList<QPushButton *> buttons = window.findChildren<QPushButton *>();
    ASSERT_FALSE(buttons.isEmpty());
    for (const QPushButton *button : buttons) {
        if (button->window() != &window)
            continue;
        const QString name = button->objectName() + QLatin1Char(' ') + button->text();
        const QKeySequence letter = QKeySequence::mnemonic(button->text());
        EXPECT_FALSE(letter.isEmpty()) << name.toStdString();
        if (letter.isEmpty())
            continue;
        const QString key = letter.toString();
        EXPECT_FALSE(letters.contains(key)) << name.toStdString() << ": " << key.toStdString();
        letters.insert(key);
    }
}

class KeyboardTest : public CalibrationWindow
{
protected:
    // A computed record with two measurements, the first one above the reference range.
    void startWithComputedRecord()
    {
        startEmpty();
        importRecord(QStringLiteral("Lamp"));
        makeComputed();
        window->show();
        activate(*window);
    }

    // Runs `check` on the modal window that clicking `button` opens.
    void inDialogOf(QPushButton *button, const std::function<void(QDialog &)> &check)
    {
        dialogs.dialogScripts.push_back([check](QDialog &dialog) {
            dialog.show();
            check(dialog);
        });
        button->click();
        EXPECT_TRUE(dialogs.allAnswersUsed());
    }
};

enum class Shown { MainWindow, CalibrationWindow, GraphEditor, PictureSettings, EraseDialog };

struct WindowCase
{
    const char *name;
    Shown shown;
};

class AltLetters : public KeyboardTest, public ::testing::WithParamInterface<WindowCase>
{
};

TEST_P(AltLetters, AreOneForEachButtonOfTheWindow)
{
    startWithComputedRecord();
    bool checked = false;
    const auto check = [&checked](QWidget &shown) {
        expectOwnAltLetters(shown);
        checked = true;
    };
    switch (GetParam().shown) {
    case Shown::MainWindow:
        check(*window);
        break;
    case Shown::CalibrationWindow:
        inDialogOf(btnCompute(), check);
        break;
    case Shown::GraphEditor:
        inDialogOf(btnEditUnc(), check);
        break;
    case Shown::PictureSettings:
        inDialogOf(btnEditUnc(), [&](QDialog &editor) {
            inDialogOf(dynamic_cast<ChartEditor &>(editor).btnPicture, check);
        });
        break;
    case Shown::EraseDialog:
        inDialogOf(btnEraseMain(), check);
        break;
    }
    EXPECT_TRUE(checked);
}

INSTANTIATE_TEST_SUITE_P(Windows, AltLetters,
                         ::testing::Values(WindowCase{"MainWindow", Shown::MainWindow},
                                           WindowCase{"CalibrationWindow",
                                                      Shown::CalibrationWindow},
                                           WindowCase{"GraphEditor", Shown::GraphEditor},
                                           WindowCase{"PictureSettings", Shown::PictureSettings},
                                           WindowCase{"EraseDialog", Shown::EraseDialog}),
                         CaseName);

TEST_F(KeyboardTest, AltLetterOfTheMainWindowPressesItsButton)
{
    startWithComputedRecord();
    dialogs.dialogScripts.push_back([](QDialog &) {});
    QTest::keyClick(window.get(), Qt::Key_B, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialogs.dialogTitles.isEmpty(); }, 2000));
    EXPECT_EQ(dialogs.dialogTitles, QStringList{QStringLiteral("About Kelvora")});
}

TEST_F(KeyboardTest, AltLettersOfTheCalibrationWindowRunAndSave)
{
    calibrate(NoisyFivePoints, [&](TFCalibration &calibration) {
        setSetting(calibration, "comboNRestarts", QStringLiteral("0"));
        activate(calibration);
        QTest::keyClick(&calibration, Qt::Key_R, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return calibration.holdsResults(); }, 60000));
        QTest::keyClick(&calibration, Qt::Key_S, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return ResultsSaved; }, 2000));
    });
    EXPECT_TRUE(dialogs.confirmations.empty()) << "saved results ask nothing on closing";
    EXPECT_TRUE(cdsMain().asBoolean("Computed"));
}

class TabInGrid : public KeyboardTest, public ::testing::WithParamInterface<const char *>
{
};

TEST_P(TabInGrid, MovesTheFocusOnToTheNextControl)
{
    startWithComputedRecord();
    loadSignals("2\n3.1E-3\n7.9E-3\n");
    auto *grid = window->findChild<Grid *>(QLatin1String(GetParam()));
    ASSERT_NE(grid, nullptr);
    pc()->setCurrentWidget(grid == dbgInterp() ? tsMeasurements() : tsCalibration());
    returnToEventLoop();
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
        grid->setFocus();
        ASSERT_TRUE(grid->hasFocus());
        grid->setCurrentIndex(grid->model()->index(0, 0));
        QTest::keyClick(grid, key);
        QWidget *focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_FALSE(focus == grid || grid->isAncestorOf(focus))
            << (key == Qt::Key_Tab ? "Tab" : "Shift+Tab") << " stays in the grid";
    }
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
}

INSTANTIATE_TEST_SUITE_P(Grids, TabInGrid, ::testing::Values("dbgMain", "dbgBB", "dbgInterp"),
                         [](const auto &info) { return std::string(info.param); });

} // namespace
} // namespace kelvora::test
