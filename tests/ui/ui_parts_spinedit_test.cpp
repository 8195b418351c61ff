// The spin edit of a decimal number: the keys step what it holds within its limits, and a
// typed text is left as typed.

#include "ui/spinedit.h"

#include "../casename.h"
#include "scripteddialogs.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace kelvora {
namespace {

using testcase::CaseName;
using testcase::PrintTo;

struct StepCase
{
    const char *name;
    char separator;
    const char *typed;
    Qt::Key key;
    const char *shown;
};

class SpinEditKeys : public ::testing::TestWithParam<StepCase>
{
};

TEST_P(SpinEditKeys, StepWithinTheLimits)
{
    const StepCase &c = GetParam();
    SpinEdit edit(1.0L, 1000.0L, 0.1L, 1, c.separator);
    auto *line = edit.findChild<QLineEdit *>();
    ASSERT_NE(line, nullptr);
    line->setText(QLatin1String(c.typed));
    QTest::keyClick(&edit, c.key);
    EXPECT_EQ(edit.typedText(), QLatin1String(c.shown));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpinEditKeys,
    ::testing::Values(StepCase{"Up", '.', "2.0", Qt::Key_Up, "2.1"},
                      StepCase{"DownWithComma", ',', "2,0", Qt::Key_Down, "1,9"},
                      StepCase{"UpFromMoreDecimals", '.', "2.57", Qt::Key_Up, "2.7"},
                      StepCase{"PageUp", '.', "2.0", Qt::Key_PageUp, "3.0"},
                      StepCase{"UpAtTheUpperLimit", '.', "1000.0", Qt::Key_Up, "1000.0"},
                      StepCase{"DownAtTheLowerLimit", '.', "1.0", Qt::Key_Down, "1.0"},
                      StepCase{"UpBeyondTheLimitTakesIt", '.', "999.95", Qt::Key_PageUp,
                               "1000.0"},
                      StepCase{"TypedBeyondTheLimitStepsDown", '.', "5000", Qt::Key_Down,
                               "1000.0"},
                      StepCase{"NotANumberStaysAsTyped", '.', "abc", Qt::Key_Up, "abc"},
                      StepCase{"OtherSeparatorStaysAsTyped", '.', "2,5", Qt::Key_Up, "2,5"}),
    CaseName);

TEST(SpinEdit, KeepsATypedTextWhenItLosesTheFocus)
{
    QWidget window;
    auto *edit = new SpinEdit(1.0L, 1000.0L, 0.1L, 1, '.', &window);
    auto *other = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    QTest::keyClicks(edit->findChild<QLineEdit *>(), QStringLiteral("0.5"));
    other->setFocus();
    EXPECT_FALSE(edit->hasFocus());
    EXPECT_EQ(edit->typedText(), QStringLiteral("0.5"));
}

} // namespace
} // namespace kelvora
