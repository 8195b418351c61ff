#pragma once

#include <QChartView>

#include <functional>

class QMenu;

namespace kelvora {

class Dialogs;

// A chart shown in a window. Drag a rectangle to zoom in; the right button opens a menu that
// shows everything again and, given the dialogs, saves the chart as a picture.
class ChartView : public QChartView
{
    Q_OBJECT

public:
    // The view owns the chart. (A view made without a chart makes one of its own, which a
    // later setChart would leave behind.)
    explicit ChartView(QChart *chart, QWidget *parent = nullptr);

    // The dialogs through which "Save as Picture..." asks, proposing a file in
    // `pictureFolder`; nullptr leaves that item out.
    void setDialogs(Dialogs *dialogs, const QString &pictureFolder)
    {
        m_dialogs = dialogs;
        m_pictureFolder = pictureFolder;
    }
    // The name a picture of the chart is proposed under, asked for when it is saved.
    void setPictureName(std::function<QString()> name) { m_pictureName = std::move(name); }

    // The menu of the right button, with the items "Show Everything" and
    // "Save as Picture..."; the caller owns it.
    QMenu *makeContextMenu();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    Dialogs *m_dialogs = nullptr;
    QString m_pictureFolder;
    std::function<QString()> m_pictureName;
};

} // namespace kelvora
