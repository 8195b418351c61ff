#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace kelvora {

// The warning shown when measured signals or interpolated temperatures leave the reference
// range. It only informs.
class TFOutOfRange : public QDialog
{
    Q_OBJECT

public:
    // `OutOfRangeKind`: which warning, OutOfRangeSignals or any other value for temperatures;
    // the texts are OutOfRangeText's.
    explicit TFOutOfRange(int OutOfRangeKind, QWidget *parent = nullptr);

    QLabel *lblAlert;
    QPushButton *btnOK;
};

} // namespace kelvora
