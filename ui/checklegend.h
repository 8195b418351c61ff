#pragma once

#include <QGraphicsWidget>
#include <QMargins>
#include <QPointer>

#include <vector>

class QAbstractSeries;
class QChart;

namespace kelvora {

// A legend at the top of a chart with one entry per series: a check box that shows, and on a
// click switches, whether the series is shown, a square in the series' colours, and its
// title. It takes the place of the chart's own legend, which stays hidden.
class CheckLegend : public QGraphicsWidget
{
    Q_OBJECT

public:
    explicit CheckLegend(QChart *chart);

    // The series with an entry, in the chart's order.
    QList<QAbstractSeries *> series() const;
    // Where the check box, and the whole entry, of an entry lie, in the legend's coordinates.
    QRectF checkBoxRect(int entry) const;
    QRectF entryRect(int entry) const;

    // Takes up the chart's series again; needed after series were added or removed.
    void refresh();
    // Drawn for a picture: no check boxes, and only the series that are shown.
    void setPrinting(bool printing);

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;

private:
    struct Entry
    {
        QPointer<QAbstractSeries> series;
        QRectF box;    // the check box (empty while printing)
        QRectF symbol; // the square in the series' colours
        QRectF text;
    };

    void place();
    void redraw();

    QChart *m_chart;
    QMargins m_chartMargins; // the chart's own margins, without the room of the legend
    std::vector<Entry> m_entries;
    bool m_printing = false;
    bool m_placing = false;
};

// Gives the chart a check-box legend at its top, in place of its own legend, and returns it;
// a chart that has one keeps it. Call after the chart's series were added (also later, after
// adding or removing series: the legend takes them up again).
CheckLegend *equipWithCheckLegend(QChart *chart);
// The check-box legend of the chart, or nullptr.
CheckLegend *checkLegendOf(const QChart *chart);
// Takes up the chart's series again, if it has a check-box legend.
void refreshCheckLegend(QChart *chart);

// Keeps a series (a zero line, a guide) out of the legend and out of the chart editor; the
// series is drawn as any other. Call before equipping the chart, or refresh it afterwards.
void hideFromLegendAndEditor(QAbstractSeries *series);
bool isHiddenFromLegendAndEditor(const QAbstractSeries *series);
// The series of the chart that the legend and the editor show, in the chart's order.
QList<QAbstractSeries *> listedSeries(const QChart *chart);

// The colours of a series as its legend entry and the editor show them: the fill of point
// marks (the first colour of a gradient), else the line's colour; and the outline.
QColor seriesColour(const QAbstractSeries *series);
QColor seriesOutline(const QAbstractSeries *series);

} // namespace kelvora
