#include "certificate/residualplot.h"

#include "certificate/pageflow.h"
#include "core/numfmt.h"
#include "core/roundstep.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace kelvora {

namespace {

// The part of the data's span left free on each side of the plot.
constexpr double AxisMargin = 0.05;

// An axis of the plot, none when its values give no axis, and the pattern of its labels.
struct Axis
{
    std::optional<RoundAxis> round;
    std::string pattern;

    double at(double value, double from, double to) const
    {
        return from + (value - round->low) / (round->high - round->low) * (to - from);
    }

    std::vector<double> ticks() const
    {
        return round ? RoundTicks(round->low, round->high, round->step) : std::vector<double>();
    }

    QString label(double value) const
    {
        return QString::fromStdString(formatPattern(value, pattern));
    }
};

// The frame of the plot with its axes: the temperature across, the deviation upwards.
struct Plot
{
    const Axis &T;
    const Axis &deviation;
    QRectF frame;

    double x(double value) const { return T.at(value, frame.left(), frame.right()); }
    double y(double value) const { return deviation.at(value, frame.bottom(), frame.top()); }
    double withinFrame(double y) const { return std::clamp(y, frame.top(), frame.bottom()); }
};

// The points' marks and error bars. A bar that reaches beyond the plot ends at its frame,
// without the cross line of an end.
void paintPoints(QPainter &painter, const PageFlow &flow, const Plot &plot,
                 const std::vector<ResidualChart::Point> &points)
{
    const QColor navy(0, 0, 160);
    const double half = flow.pt(2.2);
    for (const ResidualChart::Point &p : points) {
        if (!std::isfinite(p.T) || !std::isfinite(p.deviation))
            continue;
        const QPointF centre(plot.x(p.T), plot.y(p.deviation));
        if (p.U && !std::isnan(*p.U)) {
            painter.setPen(QPen(navy, flow.pt(0.6)));
            const double top = plot.y(p.deviation + *p.U);
            const double bottom = plot.y(p.deviation - *p.U);
            painter.drawLine(QPointF(centre.x(), plot.withinFrame(top)),
                             QPointF(centre.x(), plot.withinFrame(bottom)));
            for (const double end : {top, bottom}) {
                if (end == plot.withinFrame(end))
                    painter.drawLine(QPointF(centre.x() - half, end),
                                     QPointF(centre.x() + half, end));
            }
        }
        painter.setPen(QPen(navy, flow.pt(0.8)));
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(centre.x() - half, centre.y() - half, 2 * half, 2 * half));
    }
}

} // namespace

void paintResidualChart(const PageFlow &flow, const QRectF &area, const ResidualChart &chart)
{
    QPainter *painter = flow.painter();
    if (painter == nullptr)
        return;
    const CertificateFonts &fonts = flow.fonts();

    // The deviation axis reaches the ends of the error bars, unless they are so far out that
    // the axis would not be a number: then it spans the points and the bars leave the plot.
    double lowT = std::numeric_limits<double>::infinity();
    double highT = -lowT;
    double lowD = 0; // the zero line is always in the plot
    double highD = 0;
    double lowReach = 0;
    double highReach = 0;
    for (const ResidualChart::Point &p : chart.points) {
        if (!std::isfinite(p.T) || !std::isfinite(p.deviation))
            continue;
        lowT = std::min(lowT, p.T);
        highT = std::max(highT, p.T);
        lowD = std::min(lowD, p.deviation);
        highD = std::max(highD, p.deviation);
        const double bar = p.U.value_or(0);
        if (std::isfinite(p.deviation - bar))
            lowReach = std::min(lowReach, p.deviation - bar);
        if (std::isfinite(p.deviation + bar))
            highReach = std::max(highReach, p.deviation + bar);
    }
    if (lowT > highT)
        lowT = highT = 0;
    const Axis axisT{RoundAxisOver(lowT, highT, AxisMargin, AxisEnds::RoundSteps), "0.####"};
    std::optional<RoundAxis> roundD =
        RoundAxisOver(lowReach, highReach, AxisMargin, AxisEnds::RoundSteps);
    if (!roundD)
        roundD = RoundAxisOver(lowD, highD, AxisMargin, AxisEnds::RoundSteps);
    const Axis axisD{roundD, "0.###"};
    const bool plotted = axisT.round && axisD.round;

    const double small = flow.lineHeight(fonts.small);
    const double titleHeight = flow.lineHeight(fonts.bold);
    double labelWidth = 0;
    for (const double value : axisD.ticks())
        labelWidth = std::max(labelWidth, flow.textWidth(axisD.label(value), fonts.small));
    // The label of the last tick is centred on the plot's right edge: half of it lies beyond.
    double halfLabel = 0;
    for (const double value : axisT.ticks())
        halfLabel = std::max(halfLabel, flow.textWidth(axisT.label(value), fonts.small) / 2);
    const double gap = flow.pt(3);
    const QRectF frame(QPointF(area.left() + small + gap + labelWidth + gap,
                               area.top() + titleHeight + gap),
                       QPointF(area.right() - std::max(flow.pt(4), halfLabel),
                               area.bottom() - 2 * small - 3 * gap));

    flow.drawLine(QString::fromStdString(chart.title), fonts.bold, area.left(), area.width(),
                  area.top(), Qt::AlignHCenter);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const Plot plot{axisT, axisD, frame};
    const QPen grid(QColor(210, 210, 210), flow.pt(0.4));
    const QPen tick(Qt::black, flow.pt(0.5));

    for (const double value : axisT.ticks()) {
        const double x = plot.x(value);
        painter->setPen(grid);
        painter->drawLine(QPointF(x, frame.top()), QPointF(x, frame.bottom()));
        painter->setPen(tick);
        painter->drawLine(QPointF(x, frame.bottom()), QPointF(x, frame.bottom() + gap / 2));
        const QString text = axisT.label(value);
        const double w = flow.textWidth(text, fonts.small);
        flow.drawLine(text, fonts.small, x - w / 2, w, frame.bottom() + gap);
    }
    for (const double value : axisD.ticks()) {
        const double y = plot.y(value);
        painter->setPen(grid);
        painter->drawLine(QPointF(frame.left(), y), QPointF(frame.right(), y));
        painter->setPen(tick);
        painter->drawLine(QPointF(frame.left() - gap / 2, y), QPointF(frame.left(), y));
        flow.drawLine(axisD.label(value), fonts.small, frame.left() - gap - labelWidth,
                      labelWidth, y - small / 2, Qt::AlignRight);
    }
    flow.drawLine(QString::fromStdString(chart.axisT), fonts.small, frame.left(),
                  frame.width(), frame.bottom() + 2 * gap + small, Qt::AlignHCenter);
    // The title of the vertical axis, read from the bottom up.
    painter->save();
    painter->translate(area.left(), frame.bottom());
    painter->rotate(-90);
    flow.drawLine(QString::fromStdString(chart.axisDeviation), fonts.small, 0, frame.height(),
                  0, Qt::AlignHCenter);
    painter->restore();

    if (plotted) {
        painter->setPen(QPen(Qt::black, flow.pt(0.6), Qt::DashLine));
        painter->drawLine(QPointF(frame.left(), plot.y(0)), QPointF(frame.right(), plot.y(0)));
        paintPoints(*painter, flow, plot, chart.points);
    }

    painter->setPen(QPen(Qt::black, flow.pt(0.6)));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(frame);
    painter->restore();
}

} // namespace kelvora
