#pragma once

#include "core/global.h"
#include "ui/chartview.h"

#include <QPointer>

#include <vector>

class QAbstractSeries;
class QCategoryAxis;
class QChart;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace kelvora {

// A point of the main chart: temperature in kelvin and signal.
struct ChartPoint
{
    double T = 0;
    double S = 0;
};

// Value axes whose labels follow a number pattern ("###0.####", "0.0##### e-00") written
// with the system's decimal separator; the ticks follow every change of the range (zoom), and
// of the size of the plot of the chart that is the axis's parent: fewer where it is too small
// for their labels.
QCategoryAxis *makePatternAxis(const QString &title, const std::string &pattern,
                               QObject *parent = nullptr);

// Sets both axes to round values a little beyond the points of every XY series of the chart
// but those `left` out; an axis without points, or whose points give no axis
// (RoundAxisOver), keeps its range.
void fitAxesToSeries(QChart *chart, QValueAxis *axisX, QValueAxis *axisY,
                     const QList<QAbstractSeries *> &left = {});

// The chart of the interpolation page: the fitted curve `seSH` with the reference points
// `seRef` and the measured points `seMeas`, and a legend of check boxes at the top.
class MainChart : public ChartView
{
    Q_OBJECT

public:
    explicit MainChart(QWidget *parent = nullptr);

    // Empty when the user deleted the series in the chart editor.
    QPointer<QLineSeries> seSH;
    QPointer<QScatterSeries> seRef;
    QPointer<QScatterSeries> seMeas;

    QCategoryAxis *axisT() const { return m_axisT; }
    QCategoryAxis *axisS() const { return m_axisS; }

    // Clears every series and draws the curve of P in 200 equal steps from the lowest to the
    // highest temperature among both point sets (201 points), then the reference and the
    // measured points in their order. More than 20 reference points or 1000 measurements:
    // RangeError before anything changed. A floating-point error of the curve propagates and
    // the curve points computed before it stay.
    void draw(const TParamVector &P, const std::vector<ChartPoint> &reference,
              const std::vector<ChartPoint> &measured);
    // Empties every series of the chart.
    void clear();

private:
    void fitAxes();

    QCategoryAxis *m_axisT;
    QCategoryAxis *m_axisS;
};

} // namespace kelvora
