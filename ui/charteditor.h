#pragma once

#include <QDialog>

class QAbstractAxis;
class QAbstractSeries;
class QChart;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace kelvora {

class Dialogs;

// "Graph Editor" for any chart: a tree of the chart's parts (the chart, its axes, its
// series) beside a page for the part chosen: the chart's title, an axis's title, or the
// series with their titles, colours and visibility, their order, and adding and deleting
// series. Changes apply to the chart at once. Series kept out of the legend are not listed.
// "Save as Picture..." writes the chart as a PNG or SVG file, proposed in `pictureFolder`
// under `pictureName`.
class ChartEditor : public QDialog
{
    Q_OBJECT

public:
    ChartEditor(QChart *chart, Dialogs &dialogs, const QString &pictureFolder,
                const QString &pictureName,
                QWidget *parent = nullptr);

    QTreeWidget *tvParts;
    QStackedWidget *pages;
    QWidget *tsChart;
    QWidget *tsAxis;
    QWidget *tsSeries;
    QLineEdit *edChartTitle;
    QLineEdit *edAxisTitle;
    QListWidget *lstSeries;
    QLineEdit *edTitle;
    QPushButton *btnColour;
    QCheckBox *cbVisible;
    QPushButton *btnUp;
    QPushButton *btnDown;
    QPushButton *btnAdd;
    QPushButton *btnDelete;
    QPushButton *btnPicture;
    QPushButton *btnClose;

    // The series chosen in the list, or nullptr.
    QAbstractSeries *currentSeries() const;
    // The axis whose page is shown, or nullptr.
    QAbstractAxis *currentAxis() const { return m_axis; }
    void setCurrentColour(const QColor &colour);
    // Moves the chosen series one place towards the start (-1) or the end (+1) of the list.
    void moveCurrent(int delta);
    // A new empty line series at the end, on the chart's first axes; it becomes chosen.
    void addSeries();
    // Deletes the chosen series after a confirmation.
    void deleteCurrent();
    // Asks for the picture's size and file and writes it.
    void savePicture();

private:
    QWidget *buildChartPage();
    QWidget *buildAxisPage();
    QWidget *buildSeriesPage();
    void fillTree();
    void fillList(int current);
    void showCurrent();
    void showNode(QTreeWidgetItem *item);
    void chooseColour();
    void seriesChanged();

    QChart *m_chart;
    Dialogs &m_dialogs;
    const QString m_pictureFolder;
    const QString m_pictureName;
    QAbstractAxis *m_axis = nullptr;
    QTreeWidgetItem *m_seriesItem = nullptr;
    bool m_filling = false;
};

// The text of an axis in the editor's tree: its place and its title ("Bottom: Signal").
QString axisCaption(const QAbstractAxis *axis);

} // namespace kelvora
