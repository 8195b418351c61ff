#pragma once

#include <QTableView>

namespace kelvora {

class Dialogs;
class TableModel;

// A grid bound to a table: the table's cursor and the grid's current cell follow each
// other, and leaving the grid posts a pending edit of the table.
class Grid : public QTableView
{
    Q_OBJECT

public:
    Grid(TableModel &model, Dialogs &dialogs, QWidget *parent = nullptr);

    TableModel &tableModel() const { return m_model; }
    // Down on the last row appends a new row (the measurement grid, where signals are typed).
    void setAppendOnDown(bool on) { m_appendOnDown = on; }

    // Writes the text of an open cell editor into the table.
    void commitEditor();
    // Closes an open cell editor without writing its text.
    void discardEditor();
    // Posts the table's pending row; a refusal is shown. Runs when the focus leaves the grid.
    void postPending();
    // Puts the keyboard focus on the first editable cell of the current row.
    void focusFirstEditableCell();

signals:
    // After postPending has run (whatever its outcome).
    void exited();

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void followCursor(int row);
    void onFocusChanged(QWidget *old, QWidget *now);
    // Opens the cell's editor again with the refused text selected, once the editor that
    // held it has closed.
    void editAgain(const QModelIndex &index, const QString &text);
    bool contains(const QWidget *widget) const;
    QWidget *openEditor() const;

    TableModel &m_model;
    Dialogs &m_dialogs;
    bool m_following = false;
    bool m_appendOnDown = false;
};

} // namespace kelvora
