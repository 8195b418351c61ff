#pragma once

// The calibration window opened by Compute on an imported record, with a fixed seed, and
// what its tests read and press in it.

#include "ui_main_fixture.h"

#include "ui/calibration.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QXYSeries>

namespace kelvora::test {

// Three points of an instrument with A = 0.65, B = 0.15, C = 3e6, exact: the swarm reaches
// its target in its first pass.
inline const char *const ExactThreePoints = "0.65\n0.01\n3\n"
                                     "6.289647957098E-05  900.0\n"
                                     "5.492418703621E-03  1100.0\n"
                                     "1.212645735649E-01  1300.0\n";

// Five points of the same instrument, with -20, 0 or +20 mK of error: every pass of the swarm
// runs its full 30000 sweeps.
inline const char *const NoisyFivePoints = "0.65\n0.01\n5\n"
                                    "5.605744279596E-08  700.0\n"
                                    "6.293084622009E-05  900.0\n"
                                    "5.490410377996E-03  1100.0\n"
                                    "1.212645735649E-01  1300.0\n"
                                    "1.173418307831E+00  1500.0\n";

inline const char *const NoisyFourPoints = "0.65\n0.01\n4\n"
                                    "5.605744279596E-08  700.0\n"
                                    "6.293084622009E-05  900.0\n"
                                    "5.490410377996E-03  1100.0\n"
                                    "1.212645735649E-01  1300.0\n";

inline const char *const Caption = "Calculation of Sakuma-Hattori Parameters";
inline const char *const UnsavedQuestion =
    "Results were not saved in the database and will be lost.\r"
    "Do you wish to save results before you close the window?";

class CalibrationWindow : public MainWindowTest
{
protected:
    using Script = std::function<void(TFCalibration &)>;

    // Imports the record and opens the calibration window on it with Compute; `script`
    // plays the user in the window, which is shown and has a fixed seed.
    void calibrate(const QByteArray &record, const Script &script)
    {
        if (!window)
            startEmpty();
        importRecord(QStringLiteral("Lamp"), record);
        openCalibration(script);
    }

    void openCalibration(const Script &script)
    {
        dialogs.dialogScripts.push_back([script](QDialog &dialog) {
            auto &calibration = dynamic_cast<TFCalibration &>(dialog);
            calibration.setSeedForTesting(7);
            calibration.show();
            script(calibration);
            // A window the script left open closes as by its title bar.
            if (calibration.isVisible()) {
                calibration.close();
                EXPECT_TRUE(
                    QTest::qWaitFor([&] { return !calibration.isVisible(); }, 60000));
            }
        });
        btnCompute()->click();
        EXPECT_TRUE(dialogs.allAnswersUsed()) << messagesShown();
    }

    template <typename Control>
    static Control *control(TFCalibration &calibration, const char *name)
    {
        auto *found = calibration.findChild<Control *>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    static QString text(TFCalibration &calibration, const char *name)
    {
        return control<QLineEdit>(calibration, name)->text();
    }

    static QStringList memoLines(TFCalibration &calibration, const char *name)
    {
        const QString memo = control<QPlainTextEdit>(calibration, name)->toPlainText();
        return memo.isEmpty() ? QStringList() : memo.split(QLatin1Char('\n'));
    }

    static QString status(TFCalibration &calibration)
    {
        return control<QLabel>(calibration, "sbInfo")->text();
    }

    static void setSetting(TFCalibration &calibration, const char *combo, const QString &value)
    {
        control<QComboBox>(calibration, combo)->setCurrentText(value);
    }

    // Makes the window the active one, as the user's window is: it has the keyboard.
    static void activate(QWidget &window)
    {
        window.activateWindow();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; }, 5000));
    }

    // Types the text into the box as a user does, key by key, over what it held, and leaves
    // the box with Tab.
    static void typeInto(TFCalibration &calibration, const char *box, const QString &typed)
    {
        QWidget *shown = control<QWidget>(calibration, box);
        auto *edit = qobject_cast<QLineEdit *>(shown);
        if (edit == nullptr)
            edit = shown->findChild<QLineEdit *>();
        ASSERT_NE(edit, nullptr) << box;
        activate(calibration);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Tab);
    }

    static void click(TFCalibration &calibration, const char *button)
    {
        control<QPushButton>(calibration, button)->click();
    }

    // Presses Run and waits, handling events, until the run has ended.
    static void run(TFCalibration &calibration)
    {
        click(calibration, "btnRun");
        EXPECT_TRUE(QTest::qWaitFor([&] { return !calibration.running(); }, 60000));
        // The run's own end is reported through the event loop.
        QCoreApplication::processEvents();
    }

    static void expectIdleButtons(TFCalibration &calibration, bool saveEnabled)
    {
        for (const char *name : {"btnRun", "btnEditUnc", "btnClose"})
            EXPECT_TRUE(control<QPushButton>(calibration, name)->isEnabled()) << name;
        EXPECT_FALSE(control<QPushButton>(calibration, "btnStop")->isEnabled());
        EXPECT_EQ(control<QPushButton>(calibration, "btnSaveInDB")->isEnabled(), saveEnabled);
    }

    static QList<QPointF> points(QXYSeries *series) { return series->points(); }
};

} // namespace kelvora::test
