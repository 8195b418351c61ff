#pragma once

#include "ui/chartview.h"

#include <QPointer>

#include <utility>
#include <vector>

class QLineSeries;
class QValueAxis;

namespace kelvora {

// The expanded uncertainty U (k = 2) of an interpolated temperature against the temperature,
// over the reference range and beyond it, where it grows; the reference range is marked.
class UncertaintyChart : public ChartView
{
    Q_OBJECT

public:
    explicit UncertaintyChart(QWidget *parent = nullptr);

    // The curve (T, U in mK) and the reference range; an empty curve clears the chart. A
    // point whose T or U is not a finite number is left out; a curve too high for any axis
    // is not drawn.
    void draw(const std::vector<std::pair<double, double>> &curve, double TMin, double TMax);

    QPointer<QLineSeries> seU;
    QPointer<QLineSeries> seRange;

private:
    QValueAxis *m_axisT;
    QValueAxis *m_axisU;
};

} // namespace kelvora
