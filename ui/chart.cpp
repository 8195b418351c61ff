#include "ui/chart.h"

#include "core/numfmt.h"
#include "core/roundstep.h"
#include "frontend/systemlocale.h"
#include "textio/signals.h"
#include "ui/checklegend.h"

#include <QCategoryAxis>
#include <QChart>
#include <QFontMetricsF>
#include <QLineSeries>
#include <QLinearGradient>
#include <QScatterSeries>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kelvora {

namespace {

constexpr int CurvePoints = 201;
// The part of the data's span left free on each side of the plot.
constexpr double AxisMargin = 0.04;

// The round step after `step`: 1, 2, 5, 10 times a power of ten.
double nextNiceStep(double step)
{
    const double magnitude = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    const double fraction = std::round(step / magnitude);
    return (fraction < 2 ? 2 : fraction < 5 ? 5 : 10) * magnitude;
}

bool usableSpan(double low, double high)
{
    return std::isfinite(low) && std::isfinite(high) && high > low;
}

// The labels of the ticks of low..high every `step`, with their values.
QList<QPair<QString, double>> ticksOf(double low, double high, double step,
                                      const std::string &pattern, char separator)
{
    QList<QPair<QString, double>> ticks;
    for (const double value : RoundTicks(low, high, step)) {
        const QString label = QString::fromStdString(formatPattern(value, pattern, separator));
        if (ticks.isEmpty() || ticks.back().first != label)
            ticks.append({label, value});
    }
    return ticks;
}

// True when the labels have room between their ticks along an axis of that length: a label
// across a vertical axis takes twice its height, along a horizontal one its width and two
// characters. A chart cuts a label short that has not.
bool labelsFit(const QList<QPair<QString, double>> &ticks, double span, double length,
               bool vertical, const QFont &font)
{
    if (length <= 0 || ticks.size() < 2)
        return true;
    const QFontMetricsF metrics(font);
    const double apart = (ticks[1].second - ticks[0].second) / span * length;
    double needed = 2 * metrics.height();
    if (!vertical) {
        needed = 0;
        for (const auto &tick : ticks)
            needed = std::max(needed, metrics.horizontalAdvance(tick.first));
        needed += 2 * metrics.averageCharWidth();
    }
    return apart >= needed;
}

// Ticks at round values, about five parts of the range, fewer where the chart's plot is too
// small for their labels.
void placeTicks(QCategoryAxis *axis, const std::string &pattern, const QChart *chart)
{
    const double low = axis->min();
    const double high = axis->max();
    QList<QPair<QString, double>> ticks;
    if (usableSpan(low, high)) {
        const bool vertical = axis->orientation() == Qt::Vertical;
        const QRectF plot = chart != nullptr ? chart->plotArea() : QRectF();
        const double length = vertical ? plot.height() : plot.width();
        const char separator = decimalSeparatorOf(QLocale::system());
        double step = RoundStep(high - low);
        ticks = ticksOf(low, high, step, pattern, separator);
        while (ticks.size() > 2
               && !labelsFit(ticks, high - low, length, vertical, axis->labelsFont())) {
            step = nextNiceStep(step);
            ticks = ticksOf(low, high, step, pattern, separator);
        }
    }
    // Only a change relabels the axis, which lays the chart out anew.
    QStringList labels;
    for (const auto &tick : ticks)
        labels << tick.first;
    if (labels == axis->categoriesLabels() && (ticks.isEmpty() || axis->startValue() == low))
        return;
    for (const QString &label : axis->categoriesLabels())
        axis->remove(label);
    if (ticks.isEmpty())
        return;
    axis->setStartValue(low);
    for (const auto &tick : ticks)
        axis->append(tick.first, tick.second);
}

// Widens low..high to the X (or Y) values of the points.
void extendRange(const QList<QPointF> &points, double &low, double &high, bool useX)
{
    for (const QPointF &point : points) {
        const double v = useX ? point.x() : point.y();
        low = std::min(low, v);
        high = std::max(high, v);
    }
}

} // namespace

QCategoryAxis *makePatternAxis(const QString &title, const std::string &pattern,
                               QObject *parent)
{
    auto *axis = new QCategoryAxis(parent);
    axis->setTitleText(title);
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    auto *chart = qobject_cast<QChart *>(parent);
    QObject::connect(axis, &QValueAxis::rangeChanged, axis,
                     [axis, pattern, chart] { placeTicks(axis, pattern, chart); });
    // A plot that grows or shrinks may take more ticks, or fewer.
    if (chart != nullptr)
        QObject::connect(chart, &QChart::plotAreaChanged, axis,
                         [axis, pattern, chart] { placeTicks(axis, pattern, chart); });
    return axis;
}

MainChart::MainChart(QWidget *parent) : ChartView(new QChart, parent)
{
    setObjectName(QStringLiteral("chAll"));
    QChart *chart = this->chart();
    chart->setBackgroundBrush(Qt::white);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 8, 4));

    QFont labelFont = font();
    QFont titleT = labelFont;
    titleT.setBold(true);
    QFont titleS = titleT;
    titleS.setPointSizeF(labelFont.pointSizeF() * 1.2);

    m_axisT = makePatternAxis(QStringLiteral("Temperature (K)"), "###0.####", chart);
    m_axisT->setTitleFont(titleT);
    m_axisT->setLabelsFont(labelFont);
    m_axisS = makePatternAxis(QStringLiteral("Signal"), "0.0##### e-00", chart);
    m_axisS->setTitleFont(titleS);
    m_axisS->setLabelsFont(labelFont);
    chart->addAxis(m_axisT, Qt::AlignBottom);
    chart->addAxis(m_axisS, Qt::AlignLeft);

    auto *line = new QLineSeries;
    line->setName(QStringLiteral("SH"));
    line->setObjectName(QStringLiteral("seSH"));
    line->setPen(QPen(QColor(0, 0, 160), 2));
    seSH = line;

    auto *reference = new QScatterSeries;
    reference->setName(QStringLiteral("Ref."));
    reference->setObjectName(QStringLiteral("seRef"));
    reference->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    reference->setMarkerSize(7);
    reference->setBrush(QColor(0, 255, 0));
    reference->setPen(QPen(QColor(0, 128, 0), 1));
    seRef = reference;

    auto *measured = new QScatterSeries;
    measured->setName(QStringLiteral("Meas."));
    measured->setObjectName(QStringLiteral("seMeas"));
    measured->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    measured->setMarkerSize(7);
    QLinearGradient shade(0, 0, 1, 0);
    shade.setCoordinateMode(QGradient::ObjectBoundingMode);
    shade.setColorAt(0, QColor(255, 128, 128));
    shade.setColorAt(1, QColor(255, 0, 0));
    measured->setBrush(shade);
    measured->setPen(QPen(QColor(255, 128, 128), 1));
    seMeas = measured;

    for (QXYSeries *series : std::initializer_list<QXYSeries *>{line, reference, measured}) {
        chart->addSeries(series);
        series->attachAxis(m_axisT);
        series->attachAxis(m_axisS);
    }

    equipWithCheckLegend(chart);

    m_axisT->setRange(0, 1);
    m_axisS->setRange(0, 1);
    setBackgroundBrush(Qt::white);
    QPalette silver = palette();
    silver.setColor(QPalette::Highlight, QColor(192, 192, 192));
    setPalette(silver);
}

void MainChart::clear()
{
    for (QAbstractSeries *series : chart()->series()) {
        if (auto *xy = qobject_cast<QXYSeries *>(series))
            xy->clear();
    }
}

void MainChart::draw(const TParamVector &P, const std::vector<ChartPoint> &reference,
                     const std::vector<ChartPoint> &measured)
{
    if (reference.size() > static_cast<std::size_t>(MaxPoints)
        || measured.size() > static_cast<std::size_t>(MaxSignals))
        throw RangeError();

    long double TLow = NoValue;
    long double THigh = -NoValue;
    for (const auto *points : {&reference, &measured}) {
        for (const ChartPoint &point : *points) {
            TLow = std::min<long double>(TLow, point.T);
            THigh = std::max<long double>(THigh, point.T);
        }
    }
    chart()->zoomReset();
    clear();
    if (reference.empty() && measured.empty())
        return;

    const long double Step = (THigh - TLow) / 200;
    QList<QPointF> curve;
    curve.reserve(CurvePoints);
    try {
        for (int k = 1; k <= CurvePoints; ++k) {
            const long double X = (k - 1) * Step + TLow;
            const long double Y = SHSignal(P, X);
            // The chart holds doubles: a signal beyond them overflows.
            if (!std::isfinite(static_cast<double>(Y)))
                throw FloatError(FloatError::Kind::Overflow);
            curve.append(QPointF(static_cast<double>(X), static_cast<double>(Y)));
        }
    } catch (...) {
        if (seSH)
            seSH->replace(curve);
        fitAxes();
        throw;
    }
    if (seSH)
        seSH->replace(curve);

    const auto toPoints = [](const std::vector<ChartPoint> &points) {
        QList<QPointF> list;
        list.reserve(static_cast<qsizetype>(points.size()));
        for (const ChartPoint &point : points)
            list.append(QPointF(point.T, point.S));
        return list;
    };
    if (seRef)
        seRef->replace(toPoints(reference));
    if (seMeas)
        seMeas->replace(toPoints(measured));
    fitAxes();
}

void fitAxesToSeries(QChart *chart, QValueAxis *axisX, QValueAxis *axisY,
                     const QList<QAbstractSeries *> &left)
{
    double lowX = std::numeric_limits<double>::infinity();
    double highX = -lowX;
    double lowY = lowX;
    double highY = -lowX;
    for (QAbstractSeries *series : chart->series()) {
        auto *xy = qobject_cast<QXYSeries *>(series);
        if (xy == nullptr || left.contains(series))
            continue;
        const QList<QPointF> points = xy->points();
        extendRange(points, lowX, highX, true);
        extendRange(points, lowY, highY, false);
    }
    // A margin beyond the outermost points keeps their marks whole inside the plot; values of
    // one sign do not get a whole round step of the other sign.
    const auto roundOut = [](QValueAxis *axis, double low, double high) {
        if (const auto round = RoundAxisOver(low, high, AxisMargin, AxisEnds::WithinSign))
            axis->setRange(round->low, round->high);
    };
    roundOut(axisX, lowX, highX);
    roundOut(axisY, lowY, highY);
}

// Sets both axes to round values a little beyond every point of the chart.
void MainChart::fitAxes()
{
    fitAxesToSeries(chart(), m_axisT, m_axisS);
}

} // namespace kelvora
