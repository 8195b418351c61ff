#pragma once

#include <QWidget>

#include "tables/event.h"

#include <map>
#include <vector>

class QToolButton;

namespace kelvora {

class Dialogs;
class Grid;
class Table;
struct DataChange;

// A row of small buttons that move a table's cursor and run its edit operations. Delete
// asks "Delete selected record?" first.
class Navigator : public QWidget
{
    Q_OBJECT

public:
    enum class Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel };

    Navigator(Table &table, const std::vector<Button> &buttons, Dialogs &dialogs,
              QWidget *parent = nullptr);

    // The grid whose open cell editor is written before Post and dropped before Cancel.
    void setGrid(Grid *grid) { m_grid = grid; }
    // nullptr for a button the navigator does not have.
    QToolButton *button(Button button) const;
    // Enables the buttons for the table's position and state.
    void updateButtons();
    // Runs a button's operation as a click does.
    void run(Button button);

signals:
    // After an operation of a button has run (whatever its outcome).
    void clicked(Button button);

private:
    Table &m_table;
    Dialogs &m_dialogs;
    Grid *m_grid = nullptr;
    std::map<Button, QToolButton *> m_buttons;
    EventConnection m_connection; // the last member: it ends before the others go
};

} // namespace kelvora
