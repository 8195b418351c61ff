#pragma once

#include "core/datetime.h"
#include "tables/event.h"
#include "ui/tablefield.h"

#include <QAbstractTableModel>
#include <QColor>

#include <functional>
#include <vector>

namespace kelvora {

class Dialogs;
class Table;
struct DataChange;

// One column of a grid bound to a table field. Read-only columns are drawn on cream.
struct GridColumn
{
    TableField field;
    QString title;
    int width = 64;
    bool editable = false;
    bool positive = false; // takes only values above 0, or none
};

// The rows of a table as a grid shows them, a pending insert included, with the table's
// data-change notifications turned into the model's signals.
class TableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    TableModel(Table &table, std::vector<GridColumn> columns, Dialogs &dialogs,
               QObject *parent = nullptr);

    Table &table() const { return m_table; }
    const GridColumn &column(int column) const;
    int fieldIndex(int column) const;
    void setTextLocale(const TextLocale &locale);
    // A warning of a cell (empty: none), shown in the warning's colour with its text as the
    // cell's tool tip; for a row and column as the grid shows them.
    using CellWarning = std::function<QString(int row, int column)>;
    void setCellWarning(CellWarning warning) { m_cellWarning = std::move(warning); }
    // True while rows are being inserted, removed or reset: the views' own reactions to
    // that (a new current row) must not move the table, whose cursor has moved already.
    bool changingRows() const { return m_changingRows; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Makes the row current, puts the table in edit state and writes the field from the
    // text; a text that is not a number, or that the field cannot hold, is reported (the
    // cell and the text named where the message does not name them) and changes nothing.
    // The row is posted when the user leaves it or the grid.
    bool setData(const QModelIndex &index, const QVariant &value,
                 int role = Qt::EditRole) override;

signals:
    // After every data change: the table's current row as the grid shows it (-1: none).
    void cursorChanged(int row);
    // After setData reported that the cell does not take the text.
    void refused(const QModelIndex &index, const QString &text);

private:
    void onDataChanged(const DataChange &change);
    void applyChange(const DataChange &change);
    void resetRows();
    bool validIndex(const QModelIndex &index) const;

    Table &m_table;
    std::vector<GridColumn> m_columns;
    std::vector<int> m_fieldIndexes;
    Dialogs &m_dialogs;
    TextLocale m_locale;
    CellWarning m_cellWarning;
    int m_rowCount = 0; // the count the views know, until the model tells them otherwise
    bool m_changingRows = false;
    EventConnection m_connection; // the last member: it ends before the others go
};

// Makes the row that a grid shows at `row` (0-based, a pending insert counted) the table's
// current row.
void moveToDisplayRow(Table &table, int row);

} // namespace kelvora
