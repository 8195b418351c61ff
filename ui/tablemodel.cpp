#include "ui/tablemodel.h"

#include "core/errors.h"
#include "core/numfmt.h"
#include "core/storable.h"
#include "tables/store.h"
#include "ui/appearance.h"
#include "ui/dialogs.h"
#include "ui/errorsink.h"

#include <QFont>

namespace kelvora {

void moveToDisplayRow(Table &table, int row)
{
    const int current = table.displayCurrentRow();
    if (row == current || row < 0 || row >= table.displayRowCount())
        return;
    // A pending insert occupies a display position without having a record number.
    int recNo = row + 1;
    if (table.state() == TableState::Insert && current >= 0 && row > current)
        recNo = row;
    table.setRecNo(recNo);
}

TableModel::TableModel(Table &table, std::vector<GridColumn> columns, Dialogs &dialogs,
                       QObject *parent)
    : QAbstractTableModel(parent), m_table(table), m_columns(std::move(columns)),
      m_dialogs(dialogs)
{
    for (const GridColumn &column : m_columns)
        m_fieldIndexes.push_back(column.field.indexIn(m_table));
    m_rowCount = m_table.displayRowCount();
    m_connection = m_table.dataChanged.subscribe(
        [this](const DataChange &change) { onDataChanged(change); });
}

const GridColumn &TableModel::column(int column) const
{
    return m_columns.at(static_cast<std::size_t>(column));
}

int TableModel::fieldIndex(int column) const
{
    return m_fieldIndexes.at(static_cast<std::size_t>(column));
}

void TableModel::setTextLocale(const TextLocale &locale)
{
    m_locale = locale;
    if (m_rowCount > 0)
        emit dataChanged(index(0, 0), index(m_rowCount - 1, columnCount() - 1));
}

int TableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int TableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

bool TableModel::validIndex(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && index.row() >= 0
           && index.row() < m_rowCount && index.row() < m_table.displayRowCount()
           && index.column() >= 0 && index.column() < columnCount();
}

QVariant TableModel::data(const QModelIndex &index, int role) const
{
    if (!validIndex(index))
        return {};
    const int field = fieldIndex(index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return QString::fromStdString(m_table.displayText(index.row(), field, m_locale));
    case Qt::BackgroundRole:
        if (!column(index.column()).editable)
            return CreamColor;
        return {};
    case Qt::ForegroundRole:
    case Qt::ToolTipRole: {
        const QString warning =
            m_cellWarning ? m_cellWarning(index.row(), index.column()) : QString();
        if (warning.isEmpty())
            return {};
        return role == Qt::ToolTipRole ? QVariant(warning) : QVariant(WarningColor);
    }
    case Qt::TextAlignmentRole: {
        const FieldKind kind = m_table.schema().fields[static_cast<std::size_t>(field)].kind;
        const bool number = kind == FieldKind::Float || kind == FieldKind::Integer
                            || kind == FieldKind::AutoInc
                            || kind == FieldKind::Calculated;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    default:
        return {};
    }
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columnCount())
            return {};
        switch (role) {
        case Qt::DisplayRole:
            return column(section).title;
        case Qt::FontRole: {
            QFont font;
            font.setBold(true);
            return font;
        }
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignCenter);
        default:
            return {};
        }
    }
    if (section < 0 || section >= m_rowCount)
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignCenter);
    if (role != Qt::DisplayRole || section != m_table.displayCurrentRow())
        return {};
    // The row indicator: the current row, marked by the table's state.
    switch (m_table.state()) {
    case TableState::Edit:
        return QStringLiteral("I");
    case TableState::Insert:
        return QStringLiteral("*");
    default:
        return QString(QChar(0x25B8));
    }
}

Qt::ItemFlags TableModel::flags(const QModelIndex &index) const
{
    if (!validIndex(index))
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (column(index.column()).editable)
        result |= Qt::ItemIsEditable;
    return result;
}

namespace {

void refuseUnlessPositive(const Value &value)
{
    const double *number = std::get_if<double>(&value);
    if (number != nullptr && !(*number > 0))
        throw Error("The value must be greater than 0");
}

} // namespace

bool TableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !validIndex(index) || !column(index.column()).editable)
        return false;
    const int field = fieldIndex(index.column());
    const std::string text = value.toString().toStdString();
    if (text == m_table.displayText(index.row(), field, m_locale))
        return true; // the editor was opened and left unchanged
    const bool written = guarded(m_dialogs, [&] {
        try {
            moveToDisplayRow(m_table, index.row());
            const FieldDef &def = m_table.schema().fields[static_cast<std::size_t>(field)];
            Value parsed;
            if (def.kind == FieldKind::Float) {
                if (!QString::fromStdString(text).trimmed().isEmpty()) {
                    const long double number = parseFloat(text, m_locale.decimalSeparator);
                    if (const std::string refusal =
                            unstorableText("The value", number, m_locale.decimalSeparator);
                        !refusal.empty())
                        throw Error(refusal);
                    parsed = static_cast<double>(number);
                }
                if (column(index.column()).positive)
                    refuseUnlessPositive(parsed);
            } else {
                parsed = text;
            }
            if (!m_table.isEditing())
                m_table.edit();
            if (def.kind == FieldKind::String || def.kind == FieldKind::Memo)
                m_table.setString(field, text);
            else
                m_table.setValue(field, parsed);
        } catch (const ConvertError &) {
            throw; // its text names what was typed
        } catch (const Error &error) {
            // A refusal of the value alone names neither the cell nor what was typed.
            throw Error(column(index.column()).title.toStdString() + ", row "
                        + std::to_string(index.row() + 1) + ": '" + text + "'\r" + error.what());
        }
    });
    if (!written)
        emit refused(index, value.toString());
    return written;
}

void TableModel::resetRows()
{
    beginResetModel();
    m_rowCount = m_table.displayRowCount();
    endResetModel();
}

namespace {

// Sets a flag for its lifetime.
class FlagScope
{
public:
    explicit FlagScope(bool &flag) : m_flag(flag), m_before(flag) { m_flag = true; }
    ~FlagScope() { m_flag = m_before; }
    FlagScope(const FlagScope &) = delete;
    FlagScope &operator=(const FlagScope &) = delete;

private:
    bool &m_flag;
    bool m_before;
};

} // namespace

void TableModel::onDataChanged(const DataChange &change)
{
    {
        const FlagScope changing(m_changingRows);
        applyChange(change);
    }
    if (m_rowCount > 0)
        emit headerDataChanged(Qt::Vertical, 0, m_rowCount - 1);
    emit cursorChanged(m_table.displayCurrentRow());
}

void TableModel::applyChange(const DataChange &change)
{
    const int newCount = m_table.displayRowCount();
    switch (change.kind) {
    case DataChange::Kind::Inserted:
        if (newCount == m_rowCount + 1 && change.row >= 0 && change.row < newCount) {
            beginInsertRows(QModelIndex(), change.row, change.row);
            m_rowCount = newCount;
            endInsertRows();
        } else {
            resetRows();
        }
        break;
    case DataChange::Kind::Removed:
        if (newCount == m_rowCount - 1 && change.row >= 0 && change.row < m_rowCount) {
            beginRemoveRows(QModelIndex(), change.row, change.row);
            m_rowCount = newCount;
            endRemoveRows();
        } else {
            resetRows();
        }
        break;
    case DataChange::Kind::Changed:
        if (newCount != m_rowCount) {
            resetRows();
        } else if (change.row >= 0 && change.row < m_rowCount) {
            emit dataChanged(index(change.row, 0), index(change.row, columnCount() - 1),
                             {Qt::DisplayRole, Qt::EditRole});
        }
        break;
    case DataChange::Kind::Moved:
    case DataChange::Kind::State:
        if (newCount != m_rowCount)
            resetRows();
        break;
    case DataChange::Kind::Reset:
        resetRows();
        break;
    }
}

} // namespace kelvora
