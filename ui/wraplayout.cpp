#include "ui/wraplayout.h"

#include <QSpacerItem>
#include <QWidget>

#include <algorithm>

namespace kelvora {

namespace {

bool isStretch(QLayoutItem *item)
{
    return item->spacerItem() != nullptr;
}

bool isShown(QLayoutItem *item)
{
    return !isStretch(item) && !item->isEmpty();
}

} // namespace

WrapLayout::WrapLayout(QWidget *parent) : QLayout(parent) {}

WrapLayout::~WrapLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void WrapLayout::addStretch()
{
    addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
}

void WrapLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
}

int WrapLayout::count() const
{
    return static_cast<int>(m_items.size());
}

QLayoutItem *WrapLayout::itemAt(int index) const
{
    return m_items.value(index);
}

QLayoutItem *WrapLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    return m_items.takeAt(index);
}

Qt::Orientations WrapLayout::expandingDirections() const
{
    return {};
}

bool WrapLayout::hasHeightForWidth() const
{
    return true;
}

int WrapLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

QSize WrapLayout::minimumSize() const
{
    QSize size;
    for (QLayoutItem *item : m_items) {
        if (isShown(item))
            size = size.expandedTo(item->sizeHint());
    }
    const QMargins margins = contentsMargins();
    return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSize WrapLayout::sizeHint() const
{
    int width = 0;
    int height = 0;
    int shown = 0;
    for (QLayoutItem *item : m_items) {
        if (!isShown(item))
            continue;
        width += item->sizeHint().width();
        height = std::max(height, item->sizeHint().height());
        ++shown;
    }
    const QMargins margins = contentsMargins();
    width += std::max(shown - 1, 0) * spacing() + margins.left() + margins.right();
    return QSize(width, height + margins.top() + margins.bottom());
}

void WrapLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int WrapLayout::arrange(const QRect &rect, bool apply) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    const int gap = std::max(spacing(), 0);
    int top = area.top();
    int first = 0;
    while (first < m_items.size()) {
        // As many items as fit the width, at least one.
        int last = first;
        int used = 0;
        int shown = 0;
        int height = 0;
        int stretches = 0;
        for (; last < m_items.size(); ++last) {
            QLayoutItem *item = m_items[last];
            if (isStretch(item)) {
                ++stretches;
                continue;
            }
            if (!isShown(item))
                continue;
            const int width = item->sizeHint().width() + (shown > 0 ? gap : 0);
            if (shown > 0 && used + width > area.width())
                break;
            used += width;
            height = std::max(height, item->sizeHint().height());
            ++shown;
        }
        if (apply) {
            const int spare = std::max(area.width() - used, 0);
            int x = area.left();
            int placed = 0;
            int stretchesSeen = 0;
            for (int i = first; i < last; ++i) {
                QLayoutItem *item = m_items[i];
                if (isStretch(item)) {
                    // The spare width shared among the row's stretches.
                    x += spare * (stretchesSeen + 1) / stretches
                         - spare * stretchesSeen / stretches;
                    ++stretchesSeen;
                    continue;
                }
                if (!isShown(item))
                    continue;
                if (placed > 0)
                    x += gap;
                const QSize size = item->sizeHint().boundedTo(QSize(area.width(), height));
                item->setGeometry(QRect(QPoint(x, top + (height - size.height()) / 2), size));
                x += size.width();
                ++placed;
            }
        }
        top += height + (last < m_items.size() ? gap : 0);
        first = last;
    }
    const QMargins margins = contentsMargins();
    return top - area.top() + margins.top() + margins.bottom();
}

} // namespace kelvora
