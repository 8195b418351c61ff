#include "core/errors.h"
#include "core/global.h"
#include "frontend/systemlocale.h"
#include "ui/chart.h"
#include "ui/charteditor.h"
#include "ui/checklegend.h"

#include "../casename.h"
#include "scripteddialogs.h"

#include <QCategoryAxis>
#include <QChart>
#include <QCheckBox>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScatterSeries>
#include <QStackedWidget>
#include <QStyle>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kelvora {
namespace {

using test::ScriptedDialogs;
using testcase::CaseName;
using testcase::PrintTo;

TParamVector triple(long double A, long double B, long double C)
{
    TParamVector P;
    P[1] = A;
    P[2] = B;
    P[3] = C;
    return P;
}

const TParamVector Ordinary = triple(0.65L, 0.05L, 1.0e6L);

std::vector<ChartPoint> points(std::initializer_list<double> temperatures)
{
    std::vector<ChartPoint> result;
    for (const double T : temperatures)
        result.push_back({T, static_cast<double>(SHSignal(Ordinary, T))});
    return result;
}

// Axis labels as written with the system's decimal separator.
QStringList localised(QStringList labels)
{
    const QChar separator = QChar::fromLatin1(decimalSeparatorOf(QLocale::system()));
    for (QString &label : labels)
        label.replace(QLatin1Char('.'), separator);
    return labels;
}

// ---- the drawing -------------------------------------------------------------------------

struct DrawCase
{
    const char *name;
    std::vector<ChartPoint> reference;
    std::vector<ChartPoint> measured;
    double low;  // the curve's first temperature
    double high; // and its last
};

class ChartDrawing : public ::testing::TestWithParam<DrawCase>
{
};

TEST_P(ChartDrawing, CurveSpansAllPointsIn200Steps)
{
    const DrawCase &c = GetParam();
    MainChart chart;
    chart.draw(Ordinary, c.reference, c.measured);

    const QList<QPointF> curve = chart.seSH->points();
    ASSERT_EQ(curve.size(), 201);
    EXPECT_DOUBLE_EQ(curve.first().x(), c.low);
    EXPECT_NEAR(curve.last().x(), c.high, 1e-9 * c.high);
    const double step = (c.high - c.low) / 200;
    for (int k = 0; k < curve.size(); ++k) {
        EXPECT_NEAR(curve[k].x(), c.low + k * step, 1e-9 * c.high) << "point " << k;
        const double expected = static_cast<double>(SHSignal(Ordinary, curve[k].x()));
        EXPECT_NEAR(curve[k].y(), expected, 1e-9 * std::abs(expected)) << "point " << k;
    }
    ASSERT_EQ(chart.seRef->count(), static_cast<int>(c.reference.size()));
    for (int i = 0; i < chart.seRef->count(); ++i)
        EXPECT_EQ(chart.seRef->at(i), QPointF(c.reference[i].T, c.reference[i].S));
    ASSERT_EQ(chart.seMeas->count(), static_cast<int>(c.measured.size()));
    for (int i = 0; i < chart.seMeas->count(); ++i)
        EXPECT_EQ(chart.seMeas->at(i), QPointF(c.measured[i].T, c.measured[i].S));
    // Every point lies inside both axes with room to spare, so that no mark at the edge of
    // the plot is cut in half.
    double lowS = curve.first().y();
    double highS = lowS;
    for (const QXYSeries *series : {static_cast<QXYSeries *>(chart.seSH.data()),
                                    static_cast<QXYSeries *>(chart.seRef.data()),
                                    static_cast<QXYSeries *>(chart.seMeas.data())}) {
        for (const QPointF &point : series->points()) {
            lowS = std::min(lowS, point.y());
            highS = std::max(highS, point.y());
        }
    }
    const auto expectInside = [](const QCategoryAxis *axis, double low, double high) {
        const double room = 0.01 * (axis->max() - axis->min());
        EXPECT_LT(axis->min(), low - room) << axis->titleText().toStdString();
        EXPECT_GT(axis->max(), high + room) << axis->titleText().toStdString();
    };
    expectInside(chart.axisT(), c.low, c.high);
    expectInside(chart.axisS(), lowS, highS);
}

INSTANTIATE_TEST_SUITE_P(
    Spans, ChartDrawing,
    ::testing::Values(
        DrawCase{"ReferenceOnly", points({1000, 1500, 800}), {}, 800, 1500},
        DrawCase{"MeasurementsOutside", points({1000, 1500, 800}), points({1700, 700}), 700,
                 1700},
        DrawCase{"MeasurementsInside", points({1000, 1500, 800}), points({900, 1100}), 800,
                 1500},
        DrawCase{"MeasurementsOnly", {}, points({950, 1250}), 950, 1250},
        DrawCase{"OnePoint", points({1000}), {}, 1000, 1000}),
    CaseName);

TEST(ChartDrawing, SignalsNearZeroKeepTheSignalAxisCloseToZero)
{
    MainChart chart;
    // The signal at 300 K is almost 0; the axis goes below it by its margin only.
    chart.draw(Ordinary, points({300, 900, 1500}), {});
    QCategoryAxis *axis = chart.axisS();
    const double span = axis->max() - axis->min();
    EXPECT_LT(axis->min(), -0.01 * span);
    EXPECT_GT(axis->min(), -0.05 * span);
    EXPECT_TRUE(axis->categoriesLabels().contains(localised({"0.0 e00"}).first()))
        << axis->categoriesLabels().join(QLatin1Char(' ')).toStdString();
}

TEST(ChartDrawing, RedrawReplacesThePreviousDrawing)
{
    MainChart chart;
    chart.draw(Ordinary, points({800, 900, 1000}), points({850, 950}));
    chart.draw(Ordinary, points({1200}), points({1100}));
    EXPECT_EQ(chart.seSH->count(), 201);
    EXPECT_EQ(chart.seRef->count(), 1);
    EXPECT_EQ(chart.seMeas->count(), 1);
    EXPECT_DOUBLE_EQ(chart.seSH->at(0).x(), 1100);
}

TEST(ChartDrawing, ClearEmptiesEverySeries)
{
    MainChart chart;
    auto *extra = new QLineSeries;
    extra->append(1, 1);
    chart.chart()->addSeries(extra);
    chart.draw(Ordinary, points({800, 1500}), points({1000}));
    chart.clear();
    for (QAbstractSeries *series : chart.chart()->series())
        EXPECT_EQ(static_cast<QXYSeries *>(series)->count(), 0) << series->name().toStdString();
}

struct TooManyCase
{
    const char *name;
    int reference;
    int measured;
};

class ChartTooManyPoints : public ::testing::TestWithParam<TooManyCase>
{
};

TEST_P(ChartTooManyPoints, RangeErrorKeepsWhatTheChartHad)
{
    const TooManyCase &c = GetParam();
    MainChart chart;
    chart.draw(Ordinary, points({800, 1500}), points({1000}));
    const std::vector<ChartPoint> reference(static_cast<std::size_t>(c.reference), {1000, 0.1});
    const std::vector<ChartPoint> measured(static_cast<std::size_t>(c.measured), {1000, 0.1});
    EXPECT_THROW(chart.draw(Ordinary, reference, measured), RangeError);
    EXPECT_EQ(chart.seSH->count(), 201);
    EXPECT_EQ(chart.seRef->count(), 2);
    EXPECT_EQ(chart.seMeas->count(), 1);
}

INSTANTIATE_TEST_SUITE_P(Limits, ChartTooManyPoints,
                         ::testing::Values(TooManyCase{"Reference21", 21, 1},
                                           TooManyCase{"Measured1001", 2, 1001}),
                         CaseName);

TEST(ChartDrawing, TheMostPointsAreDrawn)
{
    MainChart chart;
    const std::vector<ChartPoint> reference(20, {1000, 0.1});
    const std::vector<ChartPoint> measured(1000, {1100, 0.2});
    chart.draw(Ordinary, reference, measured);
    EXPECT_EQ(chart.seRef->count(), 20);
    EXPECT_EQ(chart.seMeas->count(), 1000);
}

struct FaultCase
{
    const char *name;
    TParamVector P;
    std::vector<ChartPoint> reference;
    std::vector<ChartPoint> measured;
    FloatError::Kind kind;
    int kept; // curve points drawn before the fault
};

class ChartFloatFault : public ::testing::TestWithParam<FaultCase>
{
};

TEST_P(ChartFloatFault, StopsWithTheErrorAndKeepsTheCurveSoFar)
{
    const FaultCase &c = GetParam();
    MainChart chart;
    chart.draw(Ordinary, points({800, 1500}), points({1000}));
    try {
        chart.draw(c.P, c.reference, c.measured);
        ADD_FAILURE() << "no error";
    } catch (const FloatError &error) {
        EXPECT_EQ(error.kind(), c.kind);
    }
    EXPECT_EQ(chart.seSH->count(), c.kept);
    EXPECT_EQ(chart.seRef->count(), 0);
    EXPECT_EQ(chart.seMeas->count(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ChartFloatFault,
    ::testing::Values(
        // Measurements without a temperature yet count as 0 K: the curve overflows at once.
        FaultCase{"MeasurementAtZeroKelvin", Ordinary, points({800, 1500}), {{0, 0.5}},
                  FloatError::Kind::Overflow, 0},
        // A·T + B turns barely positive at the 35th point (502 K): exp overflows.
        FaultCase{"OverflowMidway", triple(1, -501.5L, 1e6L), {{400, 1}}, {{1000, 1}},
                  FloatError::Kind::Overflow, 34},
        // A signal too large for the chart's doubles.
        FaultCase{"BeyondDouble", triple(1, 0, 1e306L), {{1e7, 1}}, {}, FloatError::Kind::Overflow,
                  0}),
    CaseName);

// ---- axes and legend ---------------------------------------------------------------------

struct AxisCase
{
    const char *name;
    bool temperature;
    double min;
    double max;
    QStringList labels;
};

class ChartAxisLabels : public ::testing::TestWithParam<AxisCase>
{
};

TEST_P(ChartAxisLabels, RoundTicksWrittenInThePattern)
{
    const AxisCase &c = GetParam();
    MainChart chart;
    QCategoryAxis *axis = c.temperature ? chart.axisT() : chart.axisS();
    axis->setRange(c.min, c.max);
    EXPECT_EQ(axis->categoriesLabels(), localised(c.labels));
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, ChartAxisLabels,
    ::testing::Values(
        AxisCase{"Kelvin", true, 800, 1500,
                 {"800", "900", "1000", "1100", "1200", "1300", "1400", "1500"}},
        AxisCase{"KelvinZoomed", true, 1000, 1001,
                 {"1000", "1000.2", "1000.4", "1000.6", "1000.8", "1001"}},
        AxisCase{"KelvinOddEnds", true, 713, 1688,
                 {"800", "1000", "1200", "1400", "1600"}},
        AxisCase{"Signal", false, 0, 2, {"0.0 e00", "5.0 e-01", "1.0 e00", "1.5 e00", "2.0 e00"}},
        AxisCase{"SignalSmall", false, 1e-6, 5e-6,
                 {"1.0 e-06", "2.0 e-06", "3.0 e-06", "4.0 e-06", "5.0 e-06"}},
        // No round step spans what a double cannot hold, or a fifth of which is below the
        // smallest normal double: no ticks.
        AxisCase{"SignalWidest", false, -1e308, 1e308, {}},
        AxisCase{"SignalDenormal", false, 0, 1e-320, {}}),
    CaseName);

// Points 8e307 apart (the residuals of a u(T) of 4e307 mK) give no axis whose length a double
// holds: that axis keeps its range and its ticks, the other one fits its points.
TEST(ChartAxisLabels, PointsBeyondAnyAxisLeaveItsRange)
{
    MainChart chart;
    chart.axisS()->setRange(0, 2);
    const QStringList labels = chart.axisS()->categoriesLabels();
    chart.seRef->replace({QPointF(600, 8e307), QPointF(700, -8e307)});
    fitAxesToSeries(chart.chart(), chart.axisT(), chart.axisS());
    EXPECT_EQ(chart.axisS()->min(), 0);
    EXPECT_EQ(chart.axisS()->max(), 2);
    EXPECT_EQ(chart.axisS()->categoriesLabels(), labels);
    EXPECT_LE(chart.axisT()->min(), 600);
    EXPECT_GE(chart.axisT()->max(), 700);
    EXPECT_LT(chart.axisT()->max() - chart.axisT()->min(), 1000);
}

// A chart too low for the signal axis's usual ticks takes fewer: no label is cut short.
TEST(ChartAxisLabels, AreFewerOnALowChartAndNoneIsCut)
{
    std::vector<int> counts;
    for (const int height : {600, 200}) {
        MainChart chart;
        chart.resize(700, height);
        chart.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
        chart.axisS()->setRange(0, 14);
        QCoreApplication::processEvents();
        counts.push_back(static_cast<int>(chart.axisS()->categoriesLabels().size()));
        for (const QGraphicsItem *item : chart.scene()->items()) {
            if (const auto *text = dynamic_cast<const QGraphicsTextItem *>(item)) {
                EXPECT_FALSE(text->isVisible()
                             && text->toPlainText().endsWith(QStringLiteral("...")))
                    << height << ": " << text->toPlainText().toStdString();
            }
        }
    }
    EXPECT_EQ(counts[0], 8) << "0 to 14 in steps of 2";
    EXPECT_LT(counts[1], counts[0]);
    EXPECT_GE(counts[1], 2);
}

// A chart on the screen at a usual size, its legend laid out.
class ShownChart : public ::testing::Test
{
protected:
    void SetUp() override
    {
        chart.resize(700, 400);
        chart.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
        legend = checkLegendOf(chart.chart());
        ASSERT_NE(legend, nullptr);
    }

    // Where a point of the legend lies in the view.
    QPoint inView(const QPointF &point) const
    {
        return chart.mapFromScene(legend->mapToScene(point));
    }

    QImage picture(const QRectF &area)
    {
        return chart.grab(QRect(inView(area.topLeft()), inView(area.bottomRight())))
            .toImage();
    }

    MainChart chart;
    CheckLegend *legend = nullptr;
};

TEST_F(ShownChart, TheLegendHasACheckBoxPerSeriesAtTheTop)
{
    EXPECT_EQ(legend->series(), QList<QAbstractSeries *>({chart.seSH.data(), chart.seRef.data(),
                                                           chart.seMeas.data()}));
    EXPECT_FALSE(chart.chart()->legend()->isVisible()) << "the chart's own legend gives way";
    // Above the plot, each entry with a check box as large as the style draws them.
    for (int i = 0; i < 3; ++i) {
        const QRectF box = legend->mapRectToScene(legend->checkBoxRect(i));
        EXPECT_LT(box.bottom(), chart.chart()->plotArea().top()) << i;
        EXPECT_EQ(qRound(box.width()), chart.style()->pixelMetric(QStyle::PM_IndicatorWidth));
    }
}

struct LegendClick
{
    const char *name;
    bool onCheckBox; // else on the title
};

class LegendClicks : public ShownChart, public ::testing::WithParamInterface<LegendClick>
{
};

TEST_P(LegendClicks, HideAndShowTheSeriesAndTickTheBox)
{
    const QRectF box = legend->checkBoxRect(1);
    const QRectF entry = legend->entryRect(1);
    const QPointF title(entry.right() - 3, box.center().y());
    const QPoint target = inView(GetParam().onCheckBox ? box.center() : title);
    const QImage ticked = picture(box);

    QTest::mouseClick(chart.viewport(), Qt::LeftButton, {}, target);
    EXPECT_FALSE(chart.seRef->isVisible());
    EXPECT_TRUE(chart.seSH->isVisible());
    EXPECT_EQ(legend->series().size(), 3) << "a hidden series keeps its entry";
    EXPECT_NE(picture(box), ticked) << "the box shows the series hidden";

    QTest::mouseClick(chart.viewport(), Qt::LeftButton, {}, target);
    EXPECT_TRUE(chart.seRef->isVisible());
    EXPECT_EQ(picture(box), ticked);
}

INSTANTIATE_TEST_SUITE_P(Places, LegendClicks,
                         ::testing::Values(LegendClick{"CheckBox", true},
                                           LegendClick{"Title", false}),
                         CaseName);

TEST_F(ShownChart, ZoomingIsUndoneFromTheMenu)
{
    const double low = chart.axisT()->min();
    const double high = chart.axisT()->max();
    chart.chart()->zoomIn(QRectF(chart.chart()->plotArea().center(), QSizeF(40, 40)));
    ASSERT_GT(chart.axisT()->min(), low);
    const std::unique_ptr<QMenu> menu(chart.makeContextMenu());
    QStringList items;
    for (QAction *action : menu->actions())
        items << action->text();
    EXPECT_EQ(items, QStringList{"Show Everything"}) << "no picture without dialogs";
    menu->actions().first()->trigger();
    EXPECT_DOUBLE_EQ(chart.axisT()->min(), low);
    EXPECT_DOUBLE_EQ(chart.axisT()->max(), high);
    // The right button leaves the zoom to the menu.
    chart.chart()->zoomIn(QRectF(chart.chart()->plotArea().center(), QSizeF(40, 40)));
    const double zoomed = chart.axisT()->min();
    QTest::mouseClick(chart.viewport(), Qt::RightButton, {},
                      chart.chart()->plotArea().center().toPoint());
    EXPECT_DOUBLE_EQ(chart.axisT()->min(), zoomed);
}

// A chart like the calibration window's: a zero line kept out of the legend and the
// editor, and two point series.
struct ResidualChart
{
    ResidualChart()
    {
        auto *chart = new QChart;
        for (const char *name : {"Zero", "LM", "PSO"}) {
            auto *series = name == std::string("Zero") ? static_cast<QXYSeries *>(new QLineSeries)
                                                       : new QScatterSeries;
            series->setName(QLatin1String(name));
            chart->addSeries(series);
        }
        chart->createDefaultAxes();
        seZero = chart->series()[0];
        view = std::make_unique<ChartView>(chart);
    }
    QChart *chart() const { return view->chart(); }
    QStringList names() const
    {
        QStringList result;
        for (QAbstractSeries *series : chart()->series())
            result << series->name();
        return result;
    }

    std::unique_ptr<ChartView> view;
    QAbstractSeries *seZero = nullptr;
};

struct HiddenCase
{
    const char *name;
    bool hiddenBeforeEquipping; // else hidden afterwards and the legend refreshed
};

class SeriesOutOfTheLegend : public ::testing::TestWithParam<HiddenCase>
{
};

TEST_P(SeriesOutOfTheLegend, IsDrawnButNeitherInTheLegendNorInTheEditor)
{
    ResidualChart residuals;
    if (GetParam().hiddenBeforeEquipping)
        hideFromLegendAndEditor(residuals.seZero);
    CheckLegend *legend = equipWithCheckLegend(residuals.chart());
    if (!GetParam().hiddenBeforeEquipping) {
        hideFromLegendAndEditor(residuals.seZero);
        refreshCheckLegend(residuals.chart());
    }
    EXPECT_EQ(equipWithCheckLegend(residuals.chart()), legend) << "one legend per chart";
    QStringList inLegend;
    for (QAbstractSeries *series : legend->series())
        inLegend << series->name();
    EXPECT_EQ(inLegend, QStringList({"LM", "PSO"}));
    EXPECT_TRUE(residuals.seZero->isVisible());

    ScriptedDialogs dialogs;
    ChartEditor editor(residuals.chart(), dialogs, QString(), QString());
    ASSERT_EQ(editor.lstSeries->count(), 2);
    EXPECT_EQ(editor.lstSeries->item(0)->text(), QStringLiteral("LM"));
    EXPECT_EQ(editor.lstSeries->item(1)->text(), QStringLiteral("PSO"));
    // Moving the listed series leaves the zero line where it is.
    editor.lstSeries->setCurrentRow(1);
    editor.moveCurrent(-1);
    EXPECT_EQ(residuals.names(), QStringList({"Zero", "PSO", "LM"}));
    EXPECT_EQ(editor.currentSeries()->name(), QStringLiteral("PSO"));
}

INSTANTIATE_TEST_SUITE_P(When, SeriesOutOfTheLegend,
                         ::testing::Values(HiddenCase{"BeforeEquipping", true},
                                           HiddenCase{"Afterwards", false}),
                         CaseName);

TEST(ChartLooks, SeriesTitlesAndColours)
{
    MainChart chart;
    EXPECT_EQ(chart.seSH->name(), QStringLiteral("SH"));
    EXPECT_EQ(chart.seRef->name(), QStringLiteral("Ref."));
    EXPECT_EQ(chart.seMeas->name(), QStringLiteral("Meas."));
    EXPECT_EQ(chart.seSH->pen().color(), QColor(0, 0, 160));
    EXPECT_EQ(chart.seSH->pen().width(), 2);
    EXPECT_EQ(chart.seRef->brush().color(), QColor(0, 255, 0));
    EXPECT_EQ(chart.axisT()->titleText(), QStringLiteral("Temperature (K)"));
    EXPECT_EQ(chart.axisS()->titleText(), QStringLiteral("Signal"));
    EXPECT_TRUE(chart.axisT()->titleFont().bold());
    EXPECT_GT(chart.axisS()->titleFont().pointSizeF(), chart.axisS()->labelsFont().pointSizeF());
}

// ---- the chart editor --------------------------------------------------------------------

class ChartEditorTest : public ::testing::Test
{
protected:
    QStringList names() const
    {
        QStringList result;
        for (QAbstractSeries *series : chart.chart()->series())
            result << series->name();
        return result;
    }
    QStringList listed() const
    {
        QStringList result;
        for (int i = 0; i < editor.lstSeries->count(); ++i)
            result << editor.lstSeries->item(i)->text();
        return result;
    }

    MainChart chart;
    ScriptedDialogs dialogs;
    ChartEditor editor{chart.chart(), dialogs, QString(), QString()};
};

TEST_F(ChartEditorTest, ListsTheSeriesWithTheFirstChosen)
{
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("Graph Editor"));
    EXPECT_EQ(listed(), QStringList({"SH", "Ref.", "Meas."}));
    EXPECT_EQ(editor.currentSeries(), chart.seSH.data());
    EXPECT_EQ(editor.edTitle->text(), QStringLiteral("SH"));
    EXPECT_FALSE(editor.btnUp->isEnabled());
    EXPECT_TRUE(editor.btnDown->isEnabled());
    editor.lstSeries->setCurrentRow(2);
    EXPECT_TRUE(editor.btnUp->isEnabled());
    EXPECT_FALSE(editor.btnDown->isEnabled());
}

TEST_F(ChartEditorTest, TitleColourAndVisibilityApplyAtOnce)
{
    editor.lstSeries->setCurrentRow(1);
    editor.edTitle->selectAll();
    QTest::keyClicks(editor.edTitle, QStringLiteral("Points"));
    EXPECT_EQ(chart.seRef->name(), QStringLiteral("Points"));
    EXPECT_EQ(editor.lstSeries->item(1)->text(), QStringLiteral("Points"));
    EXPECT_EQ(editor.tvParts->findItems(QStringLiteral("Points"),
                                        Qt::MatchExactly | Qt::MatchRecursive)
                  .size(),
              1);

    editor.setCurrentColour(QColor(0, 0, 255));
    EXPECT_EQ(chart.seRef->color(), QColor(0, 0, 255));

    editor.cbVisible->click();
    EXPECT_FALSE(chart.seRef->isVisible());
    EXPECT_EQ(checkLegendOf(chart.chart())->series().size(), 3) << "hidden, still in the legend";
}

TEST_F(ChartEditorTest, MovingKeepsTheLooksAndTheAxes)
{
    editor.moveCurrent(+1); // SH after Ref.
    EXPECT_EQ(names(), QStringList({"Ref.", "SH", "Meas."}));
    EXPECT_EQ(listed(), names());
    EXPECT_EQ(editor.currentSeries(), chart.seSH.data());
    editor.lstSeries->setCurrentRow(2);
    editor.moveCurrent(-1);
    EXPECT_EQ(names(), QStringList({"Ref.", "Meas.", "SH"}));
    editor.moveCurrent(-1);
    editor.moveCurrent(-1); // already first: nothing changes
    EXPECT_EQ(names(), QStringList({"Meas.", "Ref.", "SH"}));

    EXPECT_EQ(chart.seSH->pen().color(), QColor(0, 0, 160));
    EXPECT_EQ(chart.seRef->brush().color(), QColor(0, 255, 0));
    for (QAbstractSeries *series : chart.chart()->series())
        EXPECT_EQ(series->attachedAxes().size(), 2) << series->name().toStdString();
    // The legend follows.
    EXPECT_EQ(checkLegendOf(chart.chart())->series(),
              QList<QAbstractSeries *>({chart.seMeas.data(), chart.seRef.data(),
                                        chart.seSH.data()}));

    chart.draw(Ordinary, points({800, 1500}), points({1000}));
    EXPECT_EQ(chart.seSH->count(), 201);
}

TEST_F(ChartEditorTest, AddedSeriesSitsOnTheChartAxes)
{
    editor.addSeries();
    ASSERT_EQ(chart.chart()->series().size(), 4);
    QAbstractSeries *added = chart.chart()->series().last();
    EXPECT_EQ(editor.currentSeries(), added);
    EXPECT_TRUE(added->attachedAxes().contains(chart.axisT()));
    EXPECT_TRUE(added->attachedAxes().contains(chart.axisS()));
    EXPECT_EQ(checkLegendOf(chart.chart())->series().size(), 4);
}

struct DeleteCase
{
    const char *name;
    bool answer;
    QStringList remaining;
};

class ChartEditorDelete : public ChartEditorTest, public ::testing::WithParamInterface<DeleteCase>
{
};

TEST_P(ChartEditorDelete, AsksFirst)
{
    const DeleteCase &c = GetParam();
    editor.lstSeries->setCurrentRow(1);
    dialogs.confirmAnswers.push_back(c.answer);
    editor.btnDelete->click();
    ASSERT_EQ(dialogs.confirmations.size(), 1u);
    EXPECT_EQ(dialogs.confirmations[0].text, QStringLiteral("Delete Ref.?"));
    EXPECT_EQ(names(), c.remaining);
    EXPECT_EQ(listed(), c.remaining);
    EXPECT_EQ(chart.seRef.isNull(), c.answer);
    // Drawing goes on with the series that are left.
    chart.draw(Ordinary, points({800, 1500}), points({1000}));
    EXPECT_EQ(chart.seMeas->count(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ChartEditorDelete,
    ::testing::Values(DeleteCase{"Yes", true, {"SH", "Meas."}},
                      DeleteCase{"No", false, {"SH", "Ref.", "Meas."}}),
    CaseName);

// The tree's texts, depth-first, each indented by its depth.
QStringList treeTexts(const QTreeWidget *tree)
{
    QStringList texts;
    const std::function<void(const QTreeWidgetItem *, int)> walk =
        [&](const QTreeWidgetItem *item, int depth) {
            texts << QString(depth, QLatin1Char(' ')) + item->text(0);
            for (int i = 0; i < item->childCount(); ++i)
                walk(item->child(i), depth + 1);
        };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i), 0);
    return texts;
}

QTreeWidgetItem *node(const QTreeWidget *tree, const char *text)
{
    const QList<QTreeWidgetItem *> found = tree->findItems(
        QString::fromUtf8(text), Qt::MatchExactly | Qt::MatchRecursive);
    return found.size() == 1 ? found.first() : nullptr;
}

TEST_F(ChartEditorTest, TheTreeShowsTheChartItsAxesAndItsSeries)
{
    EXPECT_EQ(treeTexts(editor.tvParts),
              QStringList({"Chart", " Axes", "  Bottom: Temperature (K)", "  Left: Signal",
                           " Series", "  SH", "  Ref.", "  Meas."}));
    EXPECT_EQ(editor.pages->currentWidget(), editor.tsSeries);
    editor.tvParts->setCurrentItem(node(editor.tvParts, "Meas."));
    EXPECT_EQ(editor.currentSeries(), chart.seMeas.data());
    editor.lstSeries->setCurrentRow(1);
    EXPECT_EQ(editor.tvParts->currentItem(), node(editor.tvParts, "Ref."));
    editor.tvParts->setCurrentItem(node(editor.tvParts, "Axes"));
    EXPECT_EQ(editor.currentAxis(), chart.axisT()) << "the group shows its first axis";
}

struct TitleCase
{
    const char *name;
    const char *chosen;      // the node chosen in the tree
    QString (*title)(MainChart &);
    const char *before;      // the title the page shows
    const char *node;        // the node's text after the new title was typed
};

class ChartEditorTitles : public ChartEditorTest, public ::testing::WithParamInterface<TitleCase>
{
};

TEST_P(ChartEditorTitles, ApplyAtOnce)
{
    const TitleCase &c = GetParam();
    QTreeWidgetItem *chosen = node(editor.tvParts, c.chosen);
    ASSERT_NE(chosen, nullptr) << c.chosen;
    editor.tvParts->setCurrentItem(chosen);
    QLineEdit *edit = editor.pages->currentWidget()->findChild<QLineEdit *>();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QString::fromUtf8(c.before));
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("Copper point"));
    EXPECT_EQ(c.title(chart), QStringLiteral("Copper point"));
    EXPECT_EQ(chosen->text(0), QString::fromUtf8(c.node));
}

INSTANTIATE_TEST_SUITE_P(
    Parts, ChartEditorTitles,
    ::testing::Values(
        TitleCase{"Chart", "Chart", [](MainChart &m) { return m.chart()->title(); }, "", "Chart"},
        TitleCase{"BottomAxis", "Bottom: Temperature (K)",
                  [](MainChart &m) { return m.axisT()->titleText(); }, "Temperature (K)",
                  "Bottom: Copper point"},
        TitleCase{"LeftAxis", "Left: Signal", [](MainChart &m) { return m.axisS()->titleText(); },
                  "Signal", "Left: Copper point"}),
    CaseName);

} // namespace
} // namespace kelvora
