#include "ui/checklegend.h"

#include <QAbstractSeries>
#include <QApplication>
#include <QChart>
#include <QFontMetricsF>
#include <QGraphicsSceneMouseEvent>
#include <QLegend>
#include <QPainter>
#include <QScatterSeries>
#include <QStyle>
#include <QStyleOptionButton>
#include <QXYSeries>

#include <algorithm>
#include <cmath>

namespace kelvora {

namespace {

const char *const HiddenProperty = "kelvoraHiddenFromLegendAndEditor";

// Room between the parts of an entry, between entries, and between legend and plot.
constexpr qreal Gap = 4;
constexpr qreal EntryGap = 16;

} // namespace

void hideFromLegendAndEditor(QAbstractSeries *series)
{
    series->setProperty(HiddenProperty, true);
}

bool isHiddenFromLegendAndEditor(const QAbstractSeries *series)
{
    return series->property(HiddenProperty).toBool();
}

QList<QAbstractSeries *> listedSeries(const QChart *chart)
{
    QList<QAbstractSeries *> listed;
    for (QAbstractSeries *series : chart->series()) {
        if (!isHiddenFromLegendAndEditor(series))
            listed << series;
    }
    return listed;
}

QColor seriesColour(const QAbstractSeries *series)
{
    if (const auto *scatter = qobject_cast<const QScatterSeries *>(series)) {
        const QGradient *gradient = scatter->brush().gradient();
        if (gradient != nullptr && !gradient->stops().isEmpty())
            return gradient->stops().constFirst().second;
        return scatter->color();
    }
    if (const auto *xy = qobject_cast<const QXYSeries *>(series))
        return xy->color();
    return {};
}

QColor seriesOutline(const QAbstractSeries *series)
{
    if (const auto *scatter = qobject_cast<const QScatterSeries *>(series))
        return scatter->borderColor();
    return seriesColour(series);
}

CheckLegend::CheckLegend(QChart *chart)
    : QGraphicsWidget(chart), m_chart(chart), m_chartMargins(chart->margins())
{
    setObjectName(QStringLiteral("checkLegend"));
    // Above the plot and its series.
    setZValue(1000);
    setAcceptedMouseButtons(Qt::LeftButton);
    setCursor(Qt::PointingHandCursor);
    connect(chart, &QGraphicsWidget::geometryChanged, this, &CheckLegend::place);
    refresh();
}

QList<QAbstractSeries *> CheckLegend::series() const
{
    QList<QAbstractSeries *> shown;
    for (const Entry &entry : m_entries) {
        if (entry.series)
            shown << entry.series.data();
    }
    return shown;
}

QRectF CheckLegend::checkBoxRect(int entry) const
{
    if (entry < 0 || entry >= static_cast<int>(m_entries.size()))
        return {};
    return m_entries[static_cast<std::size_t>(entry)].box;
}

QRectF CheckLegend::entryRect(int entry) const
{
    if (entry < 0 || entry >= static_cast<int>(m_entries.size()))
        return {};
    const Entry &e = m_entries[static_cast<std::size_t>(entry)];
    return e.box.united(e.symbol).united(e.text);
}

void CheckLegend::refresh()
{
    for (QAbstractSeries *series : m_chart->series()) {
        connect(series, &QAbstractSeries::nameChanged, this, &CheckLegend::place,
                Qt::UniqueConnection);
        connect(series, &QAbstractSeries::visibleChanged, this, &CheckLegend::place,
                Qt::UniqueConnection);
        if (auto *xy = qobject_cast<QXYSeries *>(series)) {
            connect(xy, &QXYSeries::colorChanged, this, &CheckLegend::redraw,
                    Qt::UniqueConnection);
            connect(xy, &QXYSeries::penChanged, this, &CheckLegend::redraw,
                    Qt::UniqueConnection);
        }
        if (auto *scatter = qobject_cast<QScatterSeries *>(series)) {
            connect(scatter, &QScatterSeries::colorChanged, this, &CheckLegend::redraw,
                    Qt::UniqueConnection);
            connect(scatter, &QScatterSeries::borderColorChanged, this, &CheckLegend::redraw,
                    Qt::UniqueConnection);
        }
        // A deleted series leaves the legend once the deletion is over.
        connect(series, &QObject::destroyed, this, &CheckLegend::place,
                static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection));
    }
    place();
}

void CheckLegend::redraw()
{
    update();
}

void CheckLegend::setPrinting(bool printing)
{
    m_printing = printing;
    place();
}

void CheckLegend::place()
{
    if (m_placing)
        return;
    m_placing = true;
    const QFontMetricsF metrics(font());
    const QStyle *style = QApplication::style();
    const qreal box = m_printing ? 0 : style->pixelMetric(QStyle::PM_IndicatorWidth);
    const qreal boxHeight = m_printing ? 0 : style->pixelMetric(QStyle::PM_IndicatorHeight);
    const qreal rowHeight = std::ceil(std::max(metrics.height(), boxHeight)) + 2;
    const qreal symbol = std::round(metrics.ascent() * 0.8);
    const qreal available = std::max<qreal>(
        m_chart->size().width() - m_chartMargins.left() - m_chartMargins.right(), 50);

    // Entries in rows as wide as the chart allows, each row centred.
    struct Placed
    {
        QAbstractSeries *series;
        qreal width;
    };
    std::vector<std::vector<Placed>> rows;
    std::vector<qreal> rowWidths;
    for (QAbstractSeries *series : listedSeries(m_chart)) {
        if (m_printing && !series->isVisible())
            continue;
        const qreal width = (box > 0 ? box + Gap : 0) + symbol + Gap
                            + std::ceil(metrics.horizontalAdvance(series->name()));
        if (rows.empty() || rowWidths.back() + EntryGap + width > available) {
            rows.emplace_back();
            rowWidths.push_back(-EntryGap);
        }
        rows.back().push_back({series, width});
        rowWidths.back() += EntryGap + width;
    }
    const qreal legendWidth =
        rowWidths.empty() ? 0 : *std::max_element(rowWidths.begin(), rowWidths.end());
    m_entries.clear();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        qreal x = (legendWidth - rowWidths[r]) / 2;
        const qreal top = static_cast<qreal>(r) * rowHeight;
        const qreal middle = top + rowHeight / 2;
        for (const Placed &placed : rows[r]) {
            Entry entry;
            entry.series = placed.series;
            qreal left = x;
            if (box > 0) {
                entry.box = QRectF(left, std::round(middle - boxHeight / 2), box, boxHeight);
                left += box + Gap;
            }
            entry.symbol = QRectF(left, std::round(middle - symbol / 2), symbol, symbol);
            left += symbol + Gap;
            entry.text = QRectF(left, top, x + placed.width - left, rowHeight);
            m_entries.push_back(entry);
            x += placed.width + EntryGap;
        }
    }
    const qreal legendHeight = static_cast<qreal>(rows.size()) * rowHeight;
    prepareGeometryChange();
    setGeometry(QRectF(std::round((m_chart->size().width() - legendWidth) / 2),
                       m_chartMargins.top(), legendWidth, legendHeight));
    QMargins margins = m_chartMargins;
    if (legendHeight > 0)
        margins.setTop(m_chartMargins.top() + static_cast<int>(legendHeight + Gap));
    if (m_chart->margins() != margins)
        m_chart->setMargins(margins);
    update();
    m_placing = false;
}

void CheckLegend::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *widget)
{
    painter->save();
    painter->setFont(font());
    const QPalette palette = QApplication::palette();
    for (const Entry &entry : m_entries) {
        if (!entry.series)
            continue;
        const bool shown = entry.series->isVisible();
        if (!entry.box.isEmpty()) {
            QStyleOptionButton option;
            option.rect = entry.box.toRect();
            option.palette = palette;
            option.state = QStyle::State_Enabled | (shown ? QStyle::State_On : QStyle::State_Off);
            QApplication::style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, painter,
                                                 widget);
        }
        // A hidden series keeps its entry, dimmed.
        painter->setOpacity(shown ? 1.0 : 0.4);
        QBrush fill(seriesColour(entry.series));
        if (const auto *scatter = qobject_cast<const QScatterSeries *>(entry.series.data()))
            fill = scatter->brush();
        painter->setPen(QPen(seriesOutline(entry.series), 1));
        painter->setBrush(fill);
        painter->drawRect(entry.symbol.adjusted(0.5, 0.5, -0.5, -0.5));
        painter->setPen(palette.color(QPalette::WindowText));
        painter->drawText(entry.text, Qt::AlignLeft | Qt::AlignVCenter, entry.series->name());
        painter->setOpacity(1.0);
    }
    painter->restore();
}

void CheckLegend::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    for (int i = 0; i < static_cast<int>(m_entries.size()); ++i) {
        QAbstractSeries *series = m_entries[static_cast<std::size_t>(i)].series;
        if (series != nullptr && entryRect(i).contains(event->pos())) {
            series->setVisible(!series->isVisible());
            event->accept();
            return;
        }
    }
    event->ignore();
}

CheckLegend *checkLegendOf(const QChart *chart)
{
    for (QGraphicsItem *item : chart->childItems()) {
        if (auto *legend = dynamic_cast<CheckLegend *>(item))
            return legend;
    }
    return nullptr;
}

CheckLegend *equipWithCheckLegend(QChart *chart)
{
    if (CheckLegend *legend = checkLegendOf(chart)) {
        legend->refresh();
        return legend;
    }
    chart->legend()->hide();
    return new CheckLegend(chart);
}

void refreshCheckLegend(QChart *chart)
{
    if (CheckLegend *legend = checkLegendOf(chart))
        legend->refresh();
}

} // namespace kelvora
