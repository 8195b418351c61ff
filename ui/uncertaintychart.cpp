#include "ui/uncertaintychart.h"

#include "core/roundstep.h"

#include <QChart>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>

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
        points.append(QPointF(T, U));
        highest = std::max(highest, U);
    }
    seU->replace(points);
    seRange->clear();
    if (points.isEmpty())
        return;
    // The reference range as a bar along the bottom.
    seRange->replace({QPointF(TMin, 0.0), QPointF(TMax, 0.0)});
    const double low = points.front().x();
    const double high = points.back().x();
    m_axisT->setRange(low, high);
    // Ticks at round temperatures, as on the other charts.
    m_axisT->setTickType(QValueAxis::TicksDynamic);
    m_axisT->setTickAnchor(0.0);
    m_axisT->setTickInterval(RoundStep(high - low));
    m_axisT->setLabelFormat(QStringLiteral("%.0f"));
    m_axisU->setRange(0.0, highest * 1.05);
    m_axisU->applyNiceNumbers();
}

} // namespace kelvora
