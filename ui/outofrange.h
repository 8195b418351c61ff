#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace kelvora {

// Which warning the next TFOutOfRange shows: 1 = signals, any other value = temperatures.
// The caller sets it just before it creates the dialog; the texts are OutOfRangeText's.
inline int OutOfRangeKind = 0;

// The warning shown when measured signals or interpolated temperatures leave the reference
// range. It only informs.
class TFOutOfRange : public QDialog
{
    Q_OBJECT

public:
    explicit TFOutOfRange(QWidget *parent = nullptr);

    QLabel *lblAlert;
    QPushButton *btnOK;
};

} // namespace kelvora
