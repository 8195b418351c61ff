#pragma once

#include <QDialog>

class QAbstractSeries;
class QChart;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kelvora {

class Dialogs;

// "Graph Editor": the series of a chart with their titles, colours and visibility, their
// order, and adding and deleting series. Changes apply to the chart at once.
class ChartEditor : public QDialog
{
    Q_OBJECT

public:
    ChartEditor(QChart *chart, Dialogs &dialogs, QWidget *parent = nullptr);

    QListWidget *lstSeries;
    QLineEdit *edTitle;
    QPushButton *btnColour;
    QCheckBox *cbVisible;
    QPushButton *btnUp;
    QPushButton *btnDown;
    QPushButton *btnAdd;
    QPushButton *btnDelete;
    QPushButton *btnClose;

    // The series chosen in the list, or nullptr.
    QAbstractSeries *currentSeries() const;
    void setCurrentColour(const QColor &colour);
    // Moves the chosen series one place towards the start (-1) or the end (+1).
    void moveCurrent(int delta);
    // A new empty line series at the end, on the chart's first axes; it becomes chosen.
    void addSeries();
    // Deletes the chosen series after a confirmation.
    void deleteCurrent();

private:
    void fillList(int current);
    void showCurrent();
    void chooseColour();

    QChart *m_chart;
    Dialogs &m_dialogs;
};

} // namespace kelvora
