#include "ui/uncertaintychart.h"

#include "core/roundstep.h"

#include <QChart>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace kelvora {

UncertaintyChart::UncertaintyChart(QWidget *parent) : ChartView(new QChart, parent)
{
    setObjectName(QStringLiteral("chU"));
    QChart *chart = this->chart();
    chart->setBackgroundBrush(Qt::white);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 2, 8, 2));
    chart->legend()->hide();

    QFont titleFont = font();
    titleFont.setBold(true);
    m_axisT = new QValueAxis(chart);
    m_axisT->setTitleText(QStringLiteral("Temperature (K)"));
    m_axisU = new QValueAxis(chart);
    m_axisU->setTitleText(QStringLiteral("U (mK)"));
    for (QValueAxis *axis : {m_axisT, m_axisU}) {
        axis->setTitleFont(titleFont);
        axis->setLabelsFont(font());
        axis->setLabelFormat(QStringLiteral("%.4g"));
        axis->setTickCount(5);
    }
    chart->addAxis(m_axisT, Qt::AlignBottom);
    chart->addAxis(m_axisU, Qt::AlignLeft);

    auto *range = new QLineSeries;
    range->setName(QStringLiteral("Reference range"));
    range->setPen(QPen(QColor(0, 128, 0), 3));
    seRange = range;
    auto *u = new QLineSeries;
    u->setName(QStringLiteral("U"));
    u->setPen(QPen(Qt::darkMagenta, 2));
    seU = u;
    for (QLineSeries *series : {range, u}) {
        chart->addSeries(series);
        series->attachAxis(m_axisT);
        series->attachAxis(m_axisU);
    }
}

void UncertaintyChart::draw(const std::vector<std::pair<double, double>> &curve, double TMin,
                            double TMax)
{
    QList<QPointF> points;
    double highest = 0.0;
    for (const auto &[T, U] : curve) {
        if (!std::isfinite(T) || !std::isfinite(U))
            continue;
        points.append(QPointF(T, U));
        highest = std::max(highest, U);
    }
    // The U axis takes Qt's round numbers, which may round its top out tenfold: a curve that
    // leaves them no number is not drawn.
    const double top = highest * 1.05;
    if (RoundStep(top) == 0 || !std::isfinite(top * 10))
        points.clear();
    seU->replace(points);
    seRange->clear();
    if (points.isEmpty())
        return;
    // The reference range as a bar along the bottom.
    seRange->replace({QPointF(TMin, 0.0), QPointF(TMax, 0.0)});
    const double low = points.front().x();
    const double high = points.back().x();
    m_axisT->setRange(low, high);
    // Ticks at round temperatures, as on the other charts; a range too narrow or too wide for
    // them keeps the axis's fixed count.
    const double step = RoundStep(high - low);
    m_axisT->setTickType(step > 0 ? QValueAxis::TicksDynamic : QValueAxis::TicksFixed);
    if (step > 0) {
        m_axisT->setTickAnchor(0.0);
        m_axisT->setTickInterval(step);
    }
    m_axisT->setLabelFormat(QStringLiteral("%.0f"));
    m_axisU->setRange(0.0, top);
    m_axisU->applyNiceNumbers();
}

} // namespace kelvora
