#include "ui/navigator.h"

#include "tables/store.h"
#include "ui/dialogs.h"
#include "ui/errorsink.h"
#include "ui/grid.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace kelvora {

namespace {

using Button = Navigator::Button;

const char *hintOf(Button button)
{
    switch (button) {
    case Button::First: return "First record";
    case Button::Prior: return "Prior record";
    case Button::Next: return "Next record";
    case Button::Last: return "Last record";
    case Button::Insert: return "Insert record";
    case Button::Delete: return "Delete record";
    case Button::Edit: return "Edit record";
    case Button::Post: return "Post edit";
    case Button::Cancel: return "Cancel edit";
    }
    return "";
}

const char *nameOf(Button button)
{
    switch (button) {
    case Button::First: return "First";
    case Button::Prior: return "Prior";
    case Button::Next: return "Next";
    case Button::Last: return "Last";
    case Button::Insert: return "Insert";
    case Button::Delete: return "Delete";
    case Button::Edit: return "Edit";
    case Button::Post: return "Post";
    case Button::Cancel: return "Cancel";
    }
    return "";
}

// The small pictures of the buttons, drawn on a 16-pixel grid; Qt derives the greyed
// variant for disabled buttons.
QIcon iconOf(Button button)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink(30, 40, 90);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    const auto triangle = [&](bool left, qreal x) {
        QPainterPath path;
        if (left) {
            path.moveTo(x + 5, 3);
            path.lineTo(x, 8);
            path.lineTo(x + 5, 13);
        } else {
            path.moveTo(x, 3);
            path.lineTo(x + 5, 8);
            path.lineTo(x, 13);
        }
        path.closeSubpath();
        painter.drawPath(path);
    };
    switch (button) {
    case Button::First:
        painter.drawRect(QRectF(3, 3, 2, 10));
        triangle(true, 6);
        break;
    case Button::Prior:
        triangle(true, 5);
        break;
    case Button::Next:
        triangle(false, 6);
        break;
    case Button::Last:
        triangle(false, 5);
        painter.drawRect(QRectF(11, 3, 2, 10));
        break;
    case Button::Insert:
        painter.drawRect(QRectF(3, 7, 10, 2));
        painter.drawRect(QRectF(7, 3, 2, 10));
        break;
    case Button::Delete:
        painter.drawRect(QRectF(3, 7, 10, 2));
        break;
    case Button::Edit: {
        QPainterPath path;
        path.moveTo(3, 11);
        path.lineTo(8, 5);
        path.lineTo(13, 11);
        path.closeSubpath();
        painter.drawPath(path);
        break;
    }
    case Button::Post:
        painter.setPen(QPen(QColor(0, 120, 0), 2.2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(6.5, 12), QPointF(13, 4)}));
        break;
    case Button::Cancel:
        painter.setPen(QPen(QColor(170, 0, 0), 2.2));
        painter.drawLine(QPointF(4, 4), QPointF(12, 12));
        painter.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    }
    return QIcon(pixmap);
}

} // namespace

Navigator::Navigator(Table &table, const std::vector<Button> &buttons, Dialogs &dialogs,
                     QWidget *parent)
    : QWidget(parent), m_table(table), m_dialogs(dialogs)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (const Button kind : buttons) {
        auto *button = new QToolButton(this);
        button->setObjectName(QStringLiteral("nav") + QLatin1String(nameOf(kind)));
        button->setIcon(iconOf(kind));
        button->setToolTip(QLatin1String(hintOf(kind)));
        button->setAutoRaise(false);
        // The buttons leave the focus where it is, so that a cell being edited stays open
        // until Post or Cancel decides about it.
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedSize(25, 25);
        connect(button, &QToolButton::clicked, this, [this, kind] { run(kind); });
        layout->addWidget(button);
        m_buttons.emplace(kind, button);
    }
    layout->addStretch(1);
    m_connection = m_table.dataChanged.subscribe([this](const DataChange &) { updateButtons(); });
    updateButtons();
}

QToolButton *Navigator::button(Button button) const
{
    const auto it = m_buttons.find(button);
    return it == m_buttons.end() ? nullptr : it->second;
}

void Navigator::updateButtons()
{
    const bool active = m_table.active();
    const int rows = active ? m_table.displayRowCount() : 0;
    const int current = active ? m_table.displayCurrentRow() : -1;
    const bool editing = active && m_table.isEditing();
    const auto enable = [this](Button kind, bool on) {
        if (QToolButton *b = button(kind))
            b->setEnabled(on);
    };
    enable(Button::First, current > 0);
    enable(Button::Prior, current > 0);
    enable(Button::Next, current >= 0 && current < rows - 1);
    enable(Button::Last, current >= 0 && current < rows - 1);
    enable(Button::Insert, active);
    enable(Button::Delete, rows > 0);
    enable(Button::Edit, rows > 0 && !editing);
    enable(Button::Post, editing);
    enable(Button::Cancel, editing);
}

void Navigator::run(Button button)
{
    if (m_grid != nullptr) {
        if (button == Button::Cancel || button == Button::Delete)
            m_grid->discardEditor();
        else
            m_grid->commitEditor();
    }
    guarded(m_dialogs, [&] {
        switch (button) {
        case Button::First: m_table.first(); break;
        case Button::Prior: m_table.prior(); break;
        case Button::Next: m_table.next(); break;
        case Button::Last: m_table.last(); break;
        case Button::Insert: m_table.insert(); break;
        case Button::Delete:
            if (m_dialogs.confirm(QStringLiteral("Delete selected record?"),
                                  Dialogs::Buttons::OkCancel))
                m_table.remove();
            break;
        case Button::Edit: m_table.edit(); break;
        case Button::Post: m_table.post(); break;
        case Button::Cancel: m_table.cancel(); break;
        }
    });
    updateButtons();
    // Typing goes into the new row.
    if (button == Button::Insert && m_grid != nullptr && m_table.state() == TableState::Insert)
        m_grid->focusFirstEditableCell();
    emit clicked(button);
}

} // namespace kelvora
