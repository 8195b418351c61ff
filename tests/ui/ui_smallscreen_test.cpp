// The windows on a screen smaller than they need (a laptop's, with the wide DejaVu Sans; the
// test command runs this suite so): each window fits the screen, and what its content does
// not show at once is scrolled to, never squeezed.

#include "ui_main_fixture.h"

#include "ui/calibration.h"
#include "wholetext.h"

#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

namespace kelvora::test {
namespace {

// The available area of the screen, less the room of a window manager's frame.
QSize room(const QWidget &window)
{
    return window.screen()->availableGeometry().size() - QSize(16, 32);
}

// Scrolls the window's content to each control and checks that it comes into sight whole.
void expectReachable(QWidget &window, const std::vector<QWidget *> &controls)
{
    auto *area = window.findChild<QScrollArea *>();
    ASSERT_NE(area, nullptr);
    for (QWidget *control : controls) {
        area->ensureWidgetVisible(control, 0, 0);
        const QRect inView(control->mapTo(area->viewport(), QPoint(0, 0)), control->size());
        EXPECT_TRUE(area->viewport()->rect().contains(inView))
            << control->objectName().toStdString();
    }
}

class SmallScreen : public MainWindowTest
{
};

TEST_F(SmallScreen, MainWindowFitsItAndScrollsItsContent)
{
    startEmpty();
    importRecord(QStringLiteral("Lamp"));
    makeComputed();
    window->show();
    returnToEventLoop();
    auto *area = window->findChild<QScrollArea *>();
    ASSERT_NE(area, nullptr);
    const QSize content = area->widget()->minimumSizeHint();
    EXPECT_LE(window->width(), room(*window).width());
    EXPECT_LE(window->height(), room(*window).height());
    if (content.width() <= area->viewport()->width())
        GTEST_SKIP() << "the whole window fits this screen";
    EXPECT_TRUE(area->horizontalScrollBar()->isVisible());
    EXPECT_GE(area->widget()->width(), content.width()) << "the content keeps its size";
    auto *edit = window->findChild<QLineEdit *>(QStringLiteral("dbeALM"));
    EXPECT_TRUE(showsWhole(edit, QStringLiteral("-8.88888888888888E-308")));
    expectReachable(*window, {btnExit(), btnLoadMain(), edit});
}

TEST_F(SmallScreen, CalibrationWindowFitsIt)
{
    startEmpty();
    importRecord(QStringLiteral("Lamp"));
    dialogs.dialogScripts.push_back([&](QDialog &dialog) {
        dialog.show();
        returnToEventLoop();
        EXPECT_LE(dialog.width(), room(dialog).width());
        EXPECT_LE(dialog.height(), room(dialog).height());
        auto *area = dialog.findChild<QScrollArea *>();
        ASSERT_NE(area, nullptr);
        const bool fits = area->widget()->minimumSizeHint().width() <= area->viewport()->width();
        EXPECT_EQ(area->horizontalScrollBar()->isVisible(), !fits);
        expectReachable(dialog, {dialog.findChild<QWidget *>(QStringLiteral("btnClose")),
                                 dialog.findChild<QWidget *>(QStringLiteral("edMeanRMSPSO"))});
    });
    btnCompute()->click();
}

} // namespace
} // namespace kelvora::test
