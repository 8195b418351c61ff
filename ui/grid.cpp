#include "ui/grid.h"

#include "tables/store.h"
#include "ui/dialogs.h"
#include "ui/errorsink.h"
#include "ui/tablemodel.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>

namespace kelvora {

Grid::Grid(TableModel &model, Dialogs &dialogs, QWidget *parent)
    : QTableView(parent), m_model(model), m_dialogs(dialogs)
{
    setModel(&m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    // Tab and Shift+Tab leave the grid for the next control, as in the other controls; the
    // arrows move between the cells.
    setTabKeyNavigation(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setStretchLastSection(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setHighlightSections(false);
    // The row indicator column.
    verticalHeader()->setFixedWidth(12);
    for (int c = 0; c < m_model.columnCount(); ++c)
        setColumnWidth(c, m_model.column(c).width);

    connect(&m_model, &TableModel::cursorChanged, this, &Grid::followCursor);
    connect(&m_model, &TableModel::refused, this, &Grid::editAgain);
    connect(qApp, &QApplication::focusChanged, this, &Grid::onFocusChanged);
    followCursor(m_model.table().displayCurrentRow());
}

bool Grid::contains(const QWidget *widget) const
{
    return widget != nullptr && (widget == this || isAncestorOf(widget));
}

QWidget *Grid::openEditor() const
{
    const QModelIndex index = currentIndex();
    if (state() != QAbstractItemView::EditingState || !index.isValid())
        return nullptr;
    return indexWidget(index);
}

void Grid::commitEditor()
{
    if (QWidget *editor = openEditor()) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void Grid::discardEditor()
{
    if (QWidget *editor = openEditor())
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

void Grid::postPending()
{
    guarded(m_dialogs, [this] { PostIfEditing(m_model.table()); });
    emit exited();
}

void Grid::focusFirstEditableCell()
{
    const int row = m_model.table().displayCurrentRow();
    for (int c = 0; c < m_model.columnCount(); ++c) {
        if (!m_model.column(c).editable)
            continue;
        const QModelIndex index = m_model.index(row, c);
        if (!index.isValid())
            return;
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        scrollTo(index);
        setFocus(Qt::OtherFocusReason);
        return;
    }
}

void Grid::editAgain(const QModelIndex &index, const QString &text)
{
    const int row = index.row();
    const int column = index.column();
    QMetaObject::invokeMethod(
        this,
        [this, row, column, text] {
            const QModelIndex cell = m_model.index(row, column);
            if (!cell.isValid() || !isVisible())
                return;
            selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect);
            setFocus(Qt::OtherFocusReason);
            edit(cell);
            auto *editor = qobject_cast<QLineEdit *>(indexWidget(cell));
            if (editor == nullptr)
                return;
            editor->setText(text);
            editor->selectAll();
            editor->setFocus(Qt::OtherFocusReason);
        },
        Qt::QueuedConnection);
}

void Grid::onFocusChanged(QWidget *old, QWidget *now)
{
    // Only a move to another control of the same window leaves the grid; a message box or
    // another window taking the focus does not.
    if (contains(old) && now != nullptr && !contains(now) && now->window() == window())
        postPending();
}

void Grid::followCursor(int row)
{
    if (m_following)
        return;
    m_following = true;
    if (row < 0 || row >= m_model.rowCount()) {
        selectionModel()->clearCurrentIndex();
        selectionModel()->clearSelection();
    } else if (currentIndex().row() != row) {
        const int column = currentIndex().isValid() ? currentIndex().column() : 0;
        const QModelIndex index = m_model.index(row, column);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        scrollTo(index);
    }
    m_following = false;
}

void Grid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_following || m_model.changingRows() || !current.isValid()
        || current.row() == previous.row())
        return;
    Table &table = m_model.table();
    if (current.row() == table.displayCurrentRow())
        return;
    guarded(m_dialogs, [&] { moveToDisplayRow(table, current.row()); });
    // A refused move leaves the cursor where it was; the grid goes back to it.
    followCursor(table.displayCurrentRow());
}

void Grid::keyPressEvent(QKeyEvent *event)
{
    Table &table = m_model.table();
    if (event->key() == Qt::Key_Escape && state() != QAbstractItemView::EditingState
        && table.isEditing()) {
        guarded(m_dialogs, [&] { table.cancel(); });
        return;
    }
    if (m_appendOnDown && event->key() == Qt::Key_Down && event->modifiers() == Qt::NoModifier
        && currentIndex().row() == m_model.rowCount() - 1
        && table.state() != TableState::Insert) {
        guarded(m_dialogs, [&] { table.append(); });
        return;
    }
    QTableView::keyPressEvent(event);
}

} // namespace kelvora
