#include "ui/residualchart.h"

#include "ui/chart.h"
#include "ui/checklegend.h"

#include <QCategoryAxis>
#include <QChart>
#include <QLineSeries>
#include <QImage>
#include <QPainter>
#include <QScatterSeries>

namespace kelvora {

namespace {

// A diagonal cross reaching 3 pixels from its centre.
constexpr int DiagonalCrossSize = 7;

QImage diagonalCross(const QColor &colour)
{
    QImage image(DiagonalCrossSize, DiagonalCrossSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(QPen(colour, 1));
    painter.drawLine(0, 0, DiagonalCrossSize - 1, DiagonalCrossSize - 1);
    painter.drawLine(0, DiagonalCrossSize - 1, DiagonalCrossSize - 1, 0);
    return image;
}

} // namespace

ResidualChart::ResidualChart(QWidget *parent) : ChartView(new QChart, parent)
{
    setObjectName(QStringLiteral("chApprox"));
    QChart *chart = this->chart();
    chart->setBackgroundBrush(Qt::white);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 8, 4));

    const QFont labelFont = font();
    QFont titleFont = labelFont;
    titleFont.setBold(true);
    m_axisT = makePatternAxis(QStringLiteral("Temperature (K)"), "0.####", chart);
    m_axisResidual = makePatternAxis(QStringLiteral("Residuals (mK)"), "0.###", chart);
    for (QCategoryAxis *axis : {m_axisT, m_axisResidual}) {
        axis->setTitleFont(titleFont);
        axis->setLabelsFont(labelFont);
    }
    chart->addAxis(m_axisT, Qt::AlignBottom);
    chart->addAxis(m_axisResidual, Qt::AlignLeft);

    auto *zero = new QLineSeries;
    zero->setName(QStringLiteral("Zero"));
    zero->setObjectName(QStringLiteral("seZero"));
    zero->setPen(QPen(Qt::black, 1, Qt::DashLine));
    seZero = zero;

    auto *lm = new QScatterSeries;
    lm->setName(QStringLiteral("LM"));
    lm->setObjectName(QStringLiteral("seLM"));
    lm->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    lm->setMarkerSize(8);
    lm->setBrush(Qt::white);
    lm->setPen(QPen(Qt::blue, 1));
    seLM = lm;

    auto *pso = new QScatterSeries;
    pso->setName(QStringLiteral("PSO"));
    pso->setObjectName(QStringLiteral("sePSO"));
    pso->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    pso->setMarkerSize(DiagonalCrossSize);
    pso->setColor(Qt::red);
    pso->setLightMarker(diagonalCross(Qt::red));
    sePSO = pso;

    for (QXYSeries *series : std::initializer_list<QXYSeries *>{zero, lm, pso}) {
        chart->addSeries(series);
        series->attachAxis(m_axisT);
        series->attachAxis(m_axisResidual);
    }
    hideFromLegendAndEditor(zero);
    equipWithCheckLegend(chart);

    m_axisT->setRange(0, 1);
    m_axisResidual->setRange(-1, 1);
    setRenderHint(QPainter::Antialiasing);
    setBackgroundBrush(Qt::white);
}

void ResidualChart::clear()
{
    for (QAbstractSeries *series : chart()->series()) {
        if (auto *xy = qobject_cast<QXYSeries *>(series))
            xy->clear();
    }
}

void ResidualChart::showResiduals(QScatterSeries *series, const QList<QPointF> &points)
{
    if (series != nullptr)
        series->replace(points);
    fitAxes();
}

void ResidualChart::drawZeroLine()
{
    if (seZero)
        seZero->replace({QPointF(m_axisT->min(), 0), QPointF(m_axisT->max(), 0)});
}

void ResidualChart::fitAxes()
{
    chart()->zoomReset();
    fitAxesToSeries(chart(), m_axisT, m_axisResidual, {seZero.data()});
    if (seZero && seZero->count() > 0)
        drawZeroLine();
}

} // namespace kelvora
