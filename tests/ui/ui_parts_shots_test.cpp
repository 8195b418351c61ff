#include "core/global.h"
#include "records/interpolation.h"
#include "tables/recordstore.h"
#include "tables/rows.h"
#include "ui/about.h"
#include "ui/appearance.h"
#include "ui/chart.h"
#include "ui/charteditor.h"
#include "ui/chartpicture.h"
#include "ui/erase.h"
#include "ui/outofrange.h"

#include "../casename.h"
#include "scripteddialogs.h"
#include "shotchecks.h"

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace kelvora {
namespace {

using testcase::CaseName;
using testcase::PrintTo;

// Each window drawn on its own and saved beside the build for a look: every text whole, and
// the colour it is known by where it belongs.
struct ShotCase
{
    const char *name;
    std::function<std::unique_ptr<QWidget>(Dialogs &)> make;
    bool titleBar = true; // shown with a window manager's title bar
    QColor shows = {};    // invalid: no colour of its own
    const char *where = nullptr; // the control showing it; nullptr: the whole window
    int tolerance = 0;
};

class WindowShots : public ::testing::TestWithParam<ShotCase>
{
protected:
    test::ScriptedDialogs dialogs;
};

TEST_P(WindowShots, ShowWholeTextsInTheirColours)
{
    const ShotCase &c = GetParam();
    std::unique_ptr<QWidget> window = c.make(dialogs);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QImage image = window->grab().toImage();
    ASSERT_FALSE(image.isNull());
    test::expectNoClippedText(*window);
    if (c.shows.isValid()) {
        QRect region = image.rect();
        if (c.where != nullptr) {
            const auto *control = window->findChild<QWidget *>(QLatin1String(c.where));
            ASSERT_NE(control, nullptr) << c.where;
            region = test::regionIn(*control, *window);
        }
        EXPECT_TRUE(test::showsColour(image, region, c.shows, c.tolerance))
            << c.shows.name().toStdString() << " in " << (c.where ? c.where : "the window");
    }
    QDir().mkpath(QStringLiteral(KELVORA_UI_SHOTS));
    EXPECT_TRUE(image.save(QStringLiteral(KELVORA_UI_SHOTS "/%1.png").arg(c.name)));
    if (c.titleBar) {
        // Room for the title in a window manager's bold title bar, beside its buttons.
        QFont title = QApplication::font();
        title.setBold(true);
        title.setPointSize(10);
        EXPECT_GE(window->width(),
                  QFontMetrics(title).horizontalAdvance(window->windowTitle()) + 4 * 24)
            << window->windowTitle().toStdString();
    }
}

TParamVector ordinary()
{
    TParamVector P;
    P[1] = 0.65L;
    P[2] = 0.05L;
    P[3] = 1.0e6L;
    return P;
}

std::unique_ptr<QWidget> drawnChart(Dialogs &)
{
    auto chart = std::make_unique<MainChart>();
    chart->resize(800, 420);
    const TParamVector P = ordinary();
    std::vector<ChartPoint> reference;
    for (const double T : {800.0, 950.0, 1100.0, 1250.0, 1400.0, 1500.0})
        reference.push_back({T, static_cast<double>(SHSignal(P, T))});
    std::vector<ChartPoint> measured;
    for (const double T : {760.0, 1020.0, 1330.0, 1620.0})
        measured.push_back({T, static_cast<double>(SHSignal(P, T))});
    chart->draw(P, reference, measured);
    return chart;
}

// The editor keeps its chart alive while it is shown.
class EditorWithChart : public ChartEditor
{
public:
    EditorWithChart(std::unique_ptr<MainChart> chart, Dialogs &dialogs)
        : ChartEditor(chart->chart(), dialogs, QString(), QString()), m_chart(std::move(chart))
    {
    }

private:
    std::unique_ptr<MainChart> m_chart;
};

// The settings of a chart's picture, the chart kept alive with them.
class PictureWithChart : public ChartPictureDialog
{
public:
    explicit PictureWithChart(std::unique_ptr<MainChart> chart)
        : ChartPictureDialog(chart->chart()), m_chart(std::move(chart))
    {
    }

private:
    std::unique_ptr<MainChart> m_chart;
};

class EraseWithStore : public TFErase
{
public:
    EraseWithStore(std::unique_ptr<RecordStore> records, Dialogs &dialogs)
        : TFErase(records->store, dialogs, EraseTarget::Records), m_records(std::move(records))
    {
    }

private:
    std::unique_ptr<RecordStore> m_records;
};

INSTANTIATE_TEST_SUITE_P(
    Windows, WindowShots,
    ::testing::Values(
        ShotCase{"chart", drawnChart, false, QColor(0, 0, 160)},
        ShotCase{"charteditor",
                 [](Dialogs &dialogs) {
                     auto chart = std::make_unique<MainChart>();
                     return std::make_unique<EditorWithChart>(std::move(chart), dialogs);
                 }},
        ShotCase{"erase",
                 [](Dialogs &dialogs) {
                     auto records = std::make_unique<RecordStore>();
                     records->store.open();
                     for (int i = 1; i <= 7; ++i) {
                         records->cdsMain.append();
                         RecordRowEditor(records->cdsMain)
                             .setName(QStringLiteral("Lamp %1").arg(i).toStdString());
                         records->cdsMain.post();
                     }
                     return std::make_unique<EraseWithStore>(std::move(records), dialogs);
                 }},
        ShotCase{"outofrange-signals",
                 [](Dialogs &) { return std::make_unique<TFOutOfRange>(OutOfRangeSignals); },
                 true, QColor(Qt::red), "lblAlert", 24},
        ShotCase{"outofrange-temperatures",
                 [](Dialogs &) {
                     return std::make_unique<TFOutOfRange>(OutOfRangeTemperatures);
                 },
                 true, QColor(Qt::red), "lblAlert", 24},
        ShotCase{"picturesettings",
                 [](Dialogs &) {
                     auto chart = std::make_unique<MainChart>();
                     chart->resize(700, 400);
                     return std::make_unique<PictureWithChart>(std::move(chart));
                 }},
        ShotCase{"about", [](Dialogs &) { return std::make_unique<TFAbout>(); }, false,
                 KelvoraMaroon,
                 "Label2", 24}),
    [](const auto &info) {
        std::string name = info.param.name;
        std::erase(name, '-');
        return name;
    });

} // namespace
} // namespace kelvora
