#include "ui/boundedit.h"

#include "tables/store.h"
#include "ui/appearance.h"
#include "ui/dialogs.h"
#include "ui/errorsink.h"

#include <QFocusEvent>
#include <QSignalBlocker>

namespace kelvora {

namespace {

bool hasCurrentRow(const Table &table)
{
    return table.active() && table.displayCurrentRow() >= 0;
}

} // namespace

BoundEdit::BoundEdit(Table &table, TableField field, const TextLocale &locale,
                     QWidget *parent)
    : QLineEdit(parent), m_table(table), m_field(field.indexIn(table)), m_locale(locale)
{
    setReadOnly(true);
    QPalette shades = palette();
    shades.setColor(QPalette::Base, CreamColor);
    setPalette(shades);
    m_connection = m_table.dataChanged.subscribe([this](const DataChange &) { refresh(); });
    refresh();
}

void BoundEdit::refresh()
{
    QString text;
    if (hasCurrentRow(m_table))
        text = QString::fromStdString(
            m_table.displayText(m_table.displayCurrentRow(), m_field, m_locale));
    if (text != QLineEdit::text()) {
        setText(text);
        setCursorPosition(0);
    }
}

BoundPane::BoundPane(Table &table, TableField field, const QString &caption,
                     const TextLocale &locale, QWidget *parent)
    : QLabel(parent), m_table(table), m_field(field.indexIn(table)),
      m_caption(caption.endsWith(QLatin1Char(' ')) ? caption : caption + QLatin1Char(' ')),
      m_locale(locale)
{
    m_connection = m_table.dataChanged.subscribe([this](const DataChange &) { refresh(); });
    refresh();
}

void BoundPane::refresh()
{
    QString value;
    if (m_table.active() && !m_table.isEmpty())
        value = QString::fromStdString(m_table.asString(m_field, m_locale));
    setText(m_caption + value);
}

BoundMemo::BoundMemo(Table &table, TableField field, Dialogs &dialogs, QWidget *parent)
    : QPlainTextEdit(parent), m_table(table), m_field(field.indexIn(table)), m_dialogs(dialogs)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, &BoundMemo::write);
    m_connection = m_table.dataChanged.subscribe([this](const DataChange &) { refresh(); });
    refresh();
}

void BoundMemo::refresh()
{
    if (m_writing)
        return;
    const bool row = hasCurrentRow(m_table);
    setReadOnly(!row);
    const QString text = row ? QString::fromStdString(m_table.asString(m_field)) : QString();
    if (text != toPlainText()) {
        const QSignalBlocker blocker(this);
        setPlainText(text);
    }
}

void BoundMemo::write()
{
    if (!hasCurrentRow(m_table))
        return;
    m_writing = true;
    const bool written = guarded(m_dialogs, [this] {
        if (!m_table.isEditing())
            m_table.edit();
        m_table.setString(m_field, toPlainText().toStdString());
    });
    m_writing = false;
    if (!written)
        refresh();
}

void BoundMemo::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    // Another window taking the focus (a message box) does not leave the memo.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    guarded(m_dialogs, [this] { PostIfEditing(m_table); });
    emit exited();
}

} // namespace kelvora
