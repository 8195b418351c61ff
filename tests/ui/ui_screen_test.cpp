// The windows on the screen the test command gives them (a laptop's 1280 × 720 and 1366 × 768,
// a desktop's 1920 × 1200, and full HD and QHD screens scaled by 1.5 and 2): each opens
// within the screen, shows all of its content without a scroll bar, cuts no text and lays no
// control over another.

#include "shotchecks.h"
#include "ui_calibration_fixture.h"

#include "ui/calibration.h"
#include "ui/chart.h"
#include "ui/residualchart.h"

#include <QFile>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QGroupBox>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>

namespace kelvora::test {
namespace {

// True when the layout, or one nested in it, places the widget.
bool places(QLayout *layout, const QWidget *widget)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (item->widget() == widget)
            return true;
        if (item->layout() != nullptr && places(item->layout(), widget))
            return true;
    }
    return false;
}

// No two controls that a layout places side by side overlap, and none reaches beyond the
// control that holds it.
void expectNoOverlaps(const QWidget &root)
{
    QList<const QWidget *> holders{&root};
    for (const QWidget *widget : root.findChildren<QWidget *>())
        holders << widget;
    for (const QWidget *holder : holders) {
        if (!holder->isVisibleTo(&root) || holder->layout() == nullptr)
            continue;
        QList<const QWidget *> placed;
        for (const QObject *child : holder->children()) {
            const auto *widget = qobject_cast<const QWidget *>(child);
            if (widget != nullptr && !widget->isWindow() && widget->isVisibleTo(&root)
                && places(holder->layout(), widget))
                placed << widget;
        }
        const std::string where = holder->metaObject()->className() + std::string(" ")
                                  + holder->objectName().toStdString();
        for (int i = 0; i < placed.size(); ++i) {
            const QRect a = placed[i]->geometry();
            EXPECT_TRUE(holder->rect().contains(a))
                << where << ": " << placed[i]->objectName().toStdString() << " reaches beyond it";
            for (int j = i + 1; j < placed.size(); ++j) {
                EXPECT_FALSE(a.intersects(placed[j]->geometry()))
                    << where << ": " << placed[i]->metaObject()->className() << " "
                    << placed[i]->objectName().toStdString() << " and "
                    << placed[j]->metaObject()->className() << " "
                    << placed[j]->objectName().toStdString();
            }
        }
    }
}

// The window lies within the screen's free area and shows its whole content at once.
void expectWholeOnTheScreen(QWidget &window)
{
    const QRect screen = window.screen()->availableGeometry();
    const QRect frame = window.frameGeometry();
    EXPECT_LE(frame.width(), screen.width()) << "window " << window.width();
    EXPECT_LE(frame.height(), screen.height()) << "window " << window.height();
    EXPECT_TRUE(screen.contains(frame)) << "the window is placed within the screen";
    for (const QScrollArea *area : window.findChildren<QScrollArea *>()) {
        if (area->widget() == nullptr || area->parentWidget() == nullptr
            || area->parentWidget()->window() != &window || area->widget()->layout() == nullptr)
            continue;
        EXPECT_FALSE(area->horizontalScrollBar()->isVisible()) << "the content scrolls sideways";
        EXPECT_FALSE(area->verticalScrollBar()->isVisible()) << "the content scrolls down";
        EXPECT_TRUE(area->viewport()->rect().contains(
            QRect(area->widget()->mapTo(area->viewport(), QPoint(0, 0)), area->widget()->size())));
    }
}

// Each control is shown whole within the window.
void expectInSight(const QWidget &window, const std::vector<const char *> &names)
{
    for (const char *name : names) {
        const auto *control = window.findChild<QWidget *>(QLatin1String(name));
        ASSERT_NE(control, nullptr) << name;
        EXPECT_TRUE(control->isVisible()) << name;
        EXPECT_TRUE(window.rect().contains(regionIn(*control, window))) << name;
    }
}

// No label of the chart's axes is cut short ("..."), as a chart does with a label that has
// no room between its neighbours.
void expectAxisLabelsWhole(QChartView &view, const std::string &name)
{
    int labels = 0;
    for (const QGraphicsItem *item : view.scene()->items()) {
        const auto *text = dynamic_cast<const QGraphicsTextItem *>(item);
        if (text == nullptr || !text->isVisible())
            continue;
        ++labels;
        EXPECT_FALSE(text->toPlainText().endsWith(QStringLiteral("...")))
            << name << ": " << text->toPlainText().toStdString();
    }
    EXPECT_GE(labels, 4) << name << ": the axes' labels and titles";
}

class Screen : public CalibrationWindow
{
};

// The sample record and signal list: seven fixed points and signals over the whole range,
// whose chart needs the most labels on its signal axis.
QByteArray sample(const char *file)
{
    QFile read(QStringLiteral(KELVORA_SAMPLES "/") + QLatin1String(file));
    EXPECT_TRUE(read.open(QIODevice::ReadOnly)) << file;
    return read.readAll();
}

TEST_F(Screen, MainWindowShowsEverythingOnEitherPage)
{
    startEmpty();
    importRecord(QStringLiteral("Copper point lamp of the furnace"),
                 sample("fixed-points-in-cu.txt"));
    makeComputed();
    dialogs.dialogScripts.push_back([](QDialog &) {}); // the warning of the signals
    dialogs.dialogScripts.push_back([](QDialog &) {}); // and of the temperatures
    loadSignals(sample("Signals/furnace-run.txt"));
    btnComputeInterp()->click();
    ASSERT_EQ(dialogs.dialogTitles.size(), 2);
    window->show();
    returnToEventLoop();
    SCOPED_TRACE("screen " + std::to_string(window->screen()->size().width()) + " x "
                 + std::to_string(window->screen()->size().height()));
    expectWholeOnTheScreen(*window);
    for (QWidget *page : {tsCalibration(), tsMeasurements()}) {
        pc()->setCurrentWidget(page);
        returnToEventLoop();
        SCOPED_TRACE(page->objectName().toStdString());
        expectNoClippedText(*window);
        expectNoOverlaps(*window);
        expectInSight(*window, {"btnLoadMain", "btnEraseMain", "edFind", "rgSort", "dbeMeanWL",
                                "dbeCS", "dbeMeanRMSLM", "dbeCPSO", "dbeMeanRMSPSO", "dbeSeed",
                                "btnAbout", "btnExit"});
    }
    expectInSight(*window, {"dbgInterp", "chAll", "btnEditUnc", "btnEraseInterp", "edC",
                            "RzDBEdit8", "RzDBEdit13"});
    expectAxisLabelsWhole(*chAll(), "chAll");
    // The record list gives up room first: the header holds its groups in one row.
    const QWidget *header =
        window->findChild<QWidget *>(QStringLiteral("dbeALM"))->parentWidget()->parentWidget();
    QList<int> tops;
    for (const QGroupBox *group : window->findChildren<QGroupBox *>()) {
        if (group->parentWidget() == header)
            tops << group->y();
    }
    ASSERT_EQ(tops.size(), 4);
    EXPECT_EQ(tops, QList<int>(4, tops.front()));
    // Where the screen has room, the window is as designed: the record list at its width.
    if (window->screen()->availableGeometry().width() >= 1600) {
        EXPECT_GE(pLeft()->width(), 468);
    }
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
}

TEST_F(Screen, CalibrationWindowShowsEverything)
{
    calibrate(NoisyFivePoints, [&](TFCalibration &calibration) {
        setSetting(calibration, "comboNRestarts", QStringLiteral("0"));
        run(calibration);
        QCoreApplication::processEvents();
        expectWholeOnTheScreen(calibration);
        expectNoClippedText(calibration);
        expectNoOverlaps(calibration);
        expectAxisLabelsWhole(*control<ResidualChart>(calibration, "chApprox"), "chApprox");
        expectInSight(calibration, {"comboMaxNIter", "edMeanRMSLM", "mLM", "chApprox", "edExt",
                                    "edSeed", "edMeanRMSPSO", "edSeedUsed", "mPSO", "btnRun",
                                    "btnClose", "dbspRecordCount"});
        click(calibration, "btnSaveInDB");
    });
}

} // namespace
} // namespace kelvora::test
