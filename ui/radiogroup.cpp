#include "ui/radiogroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kelvora {

RadioGroup::RadioGroup(const QString &caption, const QStringList &items, int selected,
                       QWidget *parent)
    : QGroupBox(caption, parent), m_buttons(new QButtonGroup(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(2);
    for (int i = 0; i < items.size(); ++i) {
        auto *button = new QRadioButton(items.at(i), this);
        m_buttons->addButton(button, i);
        layout->addWidget(button);
        m_items.push_back(button);
    }
    setItemIndex(selected);
    connect(m_buttons, &QButtonGroup::idClicked, this, &RadioGroup::clicked);
}

int RadioGroup::itemIndex() const
{
    return m_buttons->checkedId();
}

void RadioGroup::setItemIndex(int item)
{
    if (QRadioButton *button = this->item(item))
        button->setChecked(true);
}

QRadioButton *RadioGroup::item(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_items.size()))
        return nullptr;
    return m_items[static_cast<std::size_t>(index)];
}

} // namespace kelvora
