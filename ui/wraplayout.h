#pragma once

#include <QLayout>
#include <QList>

namespace kelvora {

// A row of widgets that wraps onto further rows when it is too narrow for them. Within a row
// the widgets keep their size hints and are centred vertically; the width left over goes to
// the stretches of the row (addStretch), or stays at its right end. The row is as narrow as
// its widest widget.
class WrapLayout : public QLayout
{
    Q_OBJECT

public:
    explicit WrapLayout(QWidget *parent = nullptr);
    ~WrapLayout() override;

    // Where the width a row does not need goes.
    void addStretch();

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect &rect) override;

private:
    // Lays the items out in `rect` (only measures when `apply` is false); the height used.
    int arrange(const QRect &rect, bool apply) const;

    QList<QLayoutItem *> m_items; // a stretch is a spacer item
};

} // namespace kelvora
