#include "certificate/residualplot.h"

#include "certificate/pageflow.h"
#include "core/numfmt.h"
#include "core/roundstep.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace kelvora {

namespace {

// The part of the data's span left free on each side of the plot.
constexpr double AxisMargin = 0.05;

struct Axis
{
    double low = 0;
    double high = 1;
    double step = 1;
    std::string pattern;

    double at(double value, double from, double to) const
    {
        return from + (value - low) / (high - low) * (to - from);
    }

    std::vector<double> ticks() const
    {
        return RoundTicks(low, high, step);
    }

    QString label(double value) const
    {
        return QString::fromStdString(formatPattern(value, pattern));
    }
};

// An axis over low..high with a margin, its ends on round steps.
Axis axisOver(double low, double high, std::string pattern)
{
    if (!(high > low)) {
        const double pad = low == 0 ? 1 : std::abs(low) * 0.1;
        low -= pad;
        high += pad;
    }
    const double margin = (high - low) * AxisMargin;
    Axis axis;
    axis.step = RoundStep(high - low + 2 * margin);
    axis.low = std::floor((low - margin) / axis.step) * axis.step;
    axis.high = std::ceil((high + margin) / axis.step) * axis.step;
    axis.pattern = std::move(pattern);
    return axis;
}

} // namespace

void paintResidualChart(const PageFlow &flow, const QRectF &area, const ResidualChart &chart)
{
    QPainter *painter = flow.painter();
    if (painter == nullptr)
        return;
    const CertificateFonts &fonts = flow.fonts();

    double lowT = std::numeric_limits<double>::infinity();
    double highT = -lowT;
    double lowD = 0; // the zero line is always in the plot
    double highD = 0;
    for (const ResidualChart::Point &p : chart.points) {
        const double bar = p.U.value_or(0);
        lowT = std::min(lowT, p.T);
        highT = std::max(highT, p.T);
        lowD = std::min(lowD, p.deviation - bar);
        highD = std::max(highD, p.deviation + bar);
    }
    if (chart.points.empty())
        lowT = highT = 0;
    const Axis axisT = axisOver(lowT, highT, "0.####");
    const Axis axisD = axisOver(lowD, highD, "0.###");

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
    const auto x = [&](double t) { return axisT.at(t, frame.left(), frame.right()); };
    const auto y = [&](double d) { return axisD.at(d, frame.bottom(), frame.top()); };
    const QPen grid(QColor(210, 210, 210), flow.pt(0.4));
    const QPen tick(Qt::black, flow.pt(0.5));

    for (const double value : axisT.ticks()) {
        painter->setPen(grid);
        painter->drawLine(QPointF(x(value), frame.top()), QPointF(x(value), frame.bottom()));
        painter->setPen(tick);
        painter->drawLine(QPointF(x(value), frame.bottom()),
                          QPointF(x(value), frame.bottom() + gap / 2));
        const QString text = axisT.label(value);
        const double w = flow.textWidth(text, fonts.small);
        flow.drawLine(text, fonts.small, x(value) - w / 2, w, frame.bottom() + gap);
    }
    for (const double value : axisD.ticks()) {
        painter->setPen(grid);
        painter->drawLine(QPointF(frame.left(), y(value)), QPointF(frame.right(), y(value)));
        painter->setPen(tick);
        painter->drawLine(QPointF(frame.left() - gap / 2, y(value)),
                          QPointF(frame.left(), y(value)));
        flow.drawLine(axisD.label(value), fonts.small, frame.left() - gap - labelWidth,
                      labelWidth, y(value) - small / 2, Qt::AlignRight);
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

    painter->setPen(QPen(Qt::black, flow.pt(0.6), Qt::DashLine));
    painter->drawLine(QPointF(frame.left(), y(0)), QPointF(frame.right(), y(0)));

    const QColor navy(0, 0, 160);
    const double half = flow.pt(2.2);
    for (const ResidualChart::Point &p : chart.points) {
        const QPointF centre(x(p.T), y(p.deviation));
        if (p.U) {
            painter->setPen(QPen(navy, flow.pt(0.6)));
            const double top = y(p.deviation + *p.U);
            const double bottom = y(p.deviation - *p.U);
            painter->drawLine(QPointF(centre.x(), top), QPointF(centre.x(), bottom));
            for (const double end : {top, bottom})
                painter->drawLine(QPointF(centre.x() - half, end),
                                  QPointF(centre.x() + half, end));
        }
        painter->setPen(QPen(navy, flow.pt(0.8)));
        painter->setBrush(Qt::white);
        painter->drawRect(QRectF(centre.x() - half, centre.y() - half, 2 * half, 2 * half));
    }

    painter->setPen(QPen(Qt::black, flow.pt(0.6)));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(frame);
    painter->restore();
}

} // namespace kelvora
