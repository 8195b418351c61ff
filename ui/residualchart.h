#pragma once

#include "ui/chartview.h"

#include <QList>
#include <QPointF>
#include <QPointer>

class QCategoryAxis;
class QLineSeries;
class QScatterSeries;

namespace kelvora {

// The chart of the calibration window: the residuals of both fits, in millikelvin, against
// the reference temperatures, with a dashed zero line across the plot.
class ResidualChart : public ChartView
{
    Q_OBJECT

public:
    explicit ResidualChart(QWidget *parent = nullptr);

    // Empty when the user deleted the series in the chart editor. The zero line is in
    // neither the legend nor the editor.
    QPointer<QLineSeries> seZero;
    QPointer<QScatterSeries> seLM;
    QPointer<QScatterSeries> sePSO;

    QCategoryAxis *axisT() const { return m_axisT; }
    QCategoryAxis *axisResidual() const { return m_axisResidual; }

    // Empties every series.
    void clear();
    // Replaces the points of one fit's series (nothing when it was deleted) and fits the
    // axes to every point; the zero line, once drawn, follows the bottom axis.
    void showResiduals(QScatterSeries *series, const QList<QPointF> &points);
    // Draws the zero line from the bottom axis's minimum to its maximum.
    void drawZeroLine();

private:
    void fitAxes();

    QCategoryAxis *m_axisT;
    QCategoryAxis *m_axisResidual;
};

} // namespace kelvora
