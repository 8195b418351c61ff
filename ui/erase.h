#pragma once

#include <QDialog>

#include <array>

class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QGroupBox;

namespace kelvora {

class Dialogs;
class Store;
class Table;

// Which table an erase dialog works on: the records, the reference points of the current
// record, or its measurements.
enum class EraseTarget { Records, ReferencePoints, Measurements };

// "Erase Multiple Records": deletes a run of consecutive rows, by position in the table's
// current order, one by one through the store so that every deletion runs its reactions.
class TFErase : public QDialog
{
    Q_OBJECT

public:
    enum Item { FirstToCurrent, CurrentToLast, All, FromTo };

    TFErase(Store &store, Dialogs &dialogs, EraseTarget target, QWidget *parent = nullptr);

    QGroupBox *rgRecords;
    std::array<QRadioButton *, 4> rgRecordsItems{};
    QSpinBox *seFrom;
    QSpinBox *seTo;
    QLabel *sp0;
    QPushButton *btnOK;
    QPushButton *btnCancel;

    int itemIndex() const;
    // Selects an item as a click on it does.
    void setItemIndex(int item);

    // Taken when the dialog was created.
    int total() const { return m_total; }
    int current() const { return m_current; }
    int from() const { return m_from; }
    int to() const { return m_to; }

private:
    void rgRecordsClick();
    void applyItem(int item);
    void RzDialogButtons1ClickOk();
    void deleteRun();

    Table &m_target;
    Dialogs &m_dialogs;
    int m_total = 0;
    int m_current = 0;
    int m_from = 0;
    int m_to = 0;
};

} // namespace kelvora
