#pragma once

#include <QGroupBox>
#include <QStringList>

#include <vector>

class QButtonGroup;
class QRadioButton;

namespace kelvora {

// A captioned group of radio buttons with one selected item, addressed by its index.
class RadioGroup : public QGroupBox
{
    Q_OBJECT

public:
    RadioGroup(const QString &caption, const QStringList &items, int selected,
               QWidget *parent = nullptr);

    int itemIndex() const;
    // Selects an item without the click reaction.
    void setItemIndex(int item);
    QRadioButton *item(int index) const;

signals:
    // The user clicked an item (also the one already selected).
    void clicked(int item);

private:
    QButtonGroup *m_buttons;
    std::vector<QRadioButton *> m_items;
};

} // namespace kelvora
