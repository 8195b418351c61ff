#pragma once

#include "core/datetime.h"
#include "tables/event.h"
#include "ui/tablefield.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace kelvora {

class Dialogs;
class Table;
struct DataChange;

// A read-only edit on cream that shows one field of a table's current row as text.
class BoundEdit : public QLineEdit
{
    Q_OBJECT

public:
    BoundEdit(Table &table, TableField field, const TextLocale &locale,
              QWidget *parent = nullptr);

    void refresh();

private:
    Table &m_table;
    int m_field;
    TextLocale m_locale;
    EventConnection m_connection; // the last member: it ends before the others go
};

// A status pane: a caption followed by a field of the current row ("Record #: 3"), a date as
// the locale writes it; a blank goes between them when the caption does not end in one.
class BoundPane : public QLabel
{
    Q_OBJECT

public:
    BoundPane(Table &table, TableField field, const QString &caption,
              const TextLocale &locale = {}, QWidget *parent = nullptr);

    const QString &caption() const { return m_caption; }
    void refresh();

private:
    Table &m_table;
    int m_field;
    QString m_caption;
    TextLocale m_locale;
    EventConnection m_connection; // the last member: it ends before the others go
};

// A memo that edits a text field of the current row: typing puts the table in edit state
// and writes the field; leaving the memo posts the row.
class BoundMemo : public QPlainTextEdit
{
    Q_OBJECT

public:
    BoundMemo(Table &table, TableField field, Dialogs &dialogs, QWidget *parent = nullptr);

    void refresh();

signals:
    // After the memo has lost the focus and posted (whatever the outcome).
    void exited();

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    void write();

    Table &m_table;
    int m_field;
    Dialogs &m_dialogs;
    bool m_writing = false;
    EventConnection m_connection; // the last member: it ends before the others go
};

} // namespace kelvora
