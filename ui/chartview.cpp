#include "ui/chartview.h"

#include "ui/chartpicture.h"
#include "ui/errorsink.h"

#include <QChart>
#include <QContextMenuEvent>
#include <QMenu>

#include <memory>

namespace kelvora {

ChartView::ChartView(QChart *chart, QWidget *parent) : QChartView(chart, parent)
{
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::RectangleRubberBand);
}

QMenu *ChartView::makeContextMenu()
{
    auto *menu = new QMenu(this);
    QAction *everything = menu->addAction(QStringLiteral("Show Everything"));
    everything->setObjectName(QStringLiteral("actShowEverything"));
    connect(everything, &QAction::triggered, this, [this] { chart()->zoomReset(); });
    if (m_dialogs != nullptr) {
        QAction *picture = menu->addAction(QStringLiteral("Save as Picture..."));
        picture->setObjectName(QStringLiteral("actSavePicture"));
        connect(picture, &QAction::triggered, this, [this] {
            guarded(*m_dialogs, [this] {
                saveChartPictureAs(chart(), *m_dialogs, m_pictureFolder,
                                   m_pictureName ? m_pictureName() : QString(), window());
            });
        });
    }
    return menu;
}

void ChartView::contextMenuEvent(QContextMenuEvent *event)
{
    const std::unique_ptr<QMenu> menu(makeContextMenu());
    menu->exec(event->globalPos());
    event->accept();
}

void ChartView::mouseReleaseEvent(QMouseEvent *event)
{
    // The right button belongs to the menu; the view of its own would zoom out on it.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

} // namespace kelvora
