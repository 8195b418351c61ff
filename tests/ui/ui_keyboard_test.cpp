// The windows without a mouse: every button has its own Alt letter in its window, and Tab
// leaves a grid.

#include "ui_calibration_fixture.h"

#include "../casename.h"
#include "ui/charteditor.h"

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

enum class Shown {
    MainWindow,
    CalibrationWindow,
    GraphEditor,
    PictureSettings,
    EraseDialog,
    CertificateDialog,
    LaboratoryDialog,
    UncertaintySettingsDialog
};

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
    case Shown::CertificateDialog:
        inDialogOf(btnCertificate(), check);
        break;
    case Shown::LaboratoryDialog:
        inDialogOf(btnLaboratory(), check);
        break;
    case Shown::UncertaintySettingsDialog:
        inDialogOf(btnUncertainties(), check);
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
                                           WindowCase{"EraseDialog", Shown::EraseDialog},
                                           WindowCase{"CertificateDialog",
                                                      Shown::CertificateDialog},
                                           WindowCase{"LaboratoryDialog",
                                                      Shown::LaboratoryDialog},
                                           WindowCase{"UncertaintySettingsDialog",
                                                      Shown::UncertaintySettingsDialog}),
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
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return calibration.holdsResults() && calibration.heldResults()->ResultsSaved; },
            2000));
    });
    EXPECT_TRUE(dialogs.confirmations.empty()) << "saved results ask nothing on closing";
    EXPECT_TRUE(RecordRow(cdsMain()).computed());
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

struct RefusedCellCase
{
    const char *name;
    const char *typed;
    Qt::Key leaveWith;
    const char *message; // "." stands for the decimal separator
};

class RefusedCell : public KeyboardTest, public ::testing::WithParamInterface<RefusedCellCase>
{
};

// After the message the keyboard is back in the cell that was being edited, with the refused
// text selected, ready to be typed over.
TEST_P(RefusedCell, KeepsTheKeyboardInTheCellWithItsTextSelected)
{
    const RefusedCellCase &c = GetParam();
    startWithComputedRecord();
    loadSignals("2\n3.1E-3\n7.9E-3\n");
    pc()->setCurrentWidget(tsMeasurements());
    returnToEventLoop();
    Grid *grid = dbgInterp();
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(1, 0));
    // The first key opens the cell's editor, which takes the others.
    const QString typed = QLatin1String(c.typed);
    QTest::keyClicks(grid, typed.left(1));
    ASSERT_TRUE(QApplication::focusWidget() != nullptr
                && grid->isAncestorOf(QApplication::focusWidget()))
        << "typing opens the cell's editor";
    QTest::keyClicks(QApplication::focusWidget(), typed.mid(1));
    QTest::keyClick(QApplication::focusWidget(), c.leaveWith);
    // The editor commits, and after the message opens again, through the event loop.
    const auto editorOpenWith = [&typed](const QString &selected) {
        const auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        return editor != nullptr && editor->selectedText() == selected;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return editorOpenWith(typed); }, 5000));

    const QChar separator = QLatin1Char(window->textLocale().decimalSeparator);
    EXPECT_EQ(dialogs.messages,
              QStringList{QString::fromLatin1(c.message).replace(QLatin1Char('.'), separator)});
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr) << "the keyboard goes nowhere";
    EXPECT_TRUE(grid->isAncestorOf(editor));
    EXPECT_EQ(grid->currentIndex(), grid->model()->index(1, 0));
    EXPECT_EQ(editor->text(), QLatin1String(c.typed));
    EXPECT_EQ(editor->selectedText(), QLatin1String(c.typed));

    // Typed over, the cell takes the number.
    QTest::keyClicks(editor, QStringLiteral("5E-3"));
    QTest::keyClick(editor, Qt::Key_Return);
    const QString taken = QString::number(5e-3).replace(QLatin1Char('.'), separator);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return grid->model()->index(1, 0).data().toString() == taken; }, 5000));
    EXPECT_EQ(dialogs.messages.size(), 1) << messagesShown();
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RefusedCell,
    ::testing::Values(
        RefusedCellCase{"Overflow", "1e400", Qt::Key_Return,
                        "Signal, row 2: '1e400'\rThe value is too large to be stored: 1E400 "
                        "(the largest is 1.79769313486232E308)"},
        RefusedCellCase{"OverflowLeftWithTab", "-1e400", Qt::Key_Tab,
                        "Signal, row 2: '-1e400'\rThe value is too large to be stored: -1E400 "
                        "(the largest is 1.79769313486232E308)"},
        RefusedCellCase{"Subnormal", "1e-310", Qt::Key_Return,
                        "Signal, row 2: '1e-310'\rThe value is too small to be stored: 1E-310 "
                        "(the smallest is 2.2250738585072E-308)"},
        RefusedCellCase{"NotANumber", "abc", Qt::Key_Return,
                        "'abc' is not a valid floating point value"}),
    CaseName);

} // namespace
} // namespace kelvora::test
