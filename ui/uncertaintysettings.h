#pragma once

#include "records/uncertainties.h"

#include <QDialog>

class QDoubleSpinBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kelvora {

class Dialogs;

// "Uncertainty Settings": the record's relative standard uncertainty of a measured signal
// and the trials and seed of its Monte Carlo check. OK keeps the dialog open with a message
// while a value cannot be kept.
class TFUncertaintySettings : public QDialog
{
    Q_OBJECT

public:
    // w is shown and read with `decimalSeparator`.
    TFUncertaintySettings(const UncertaintySettings &settings, Dialogs &dialogs,
                          char decimalSeparator, QWidget *parent = nullptr);

    QLineEdit *edW;
    QSpinBox *seTrials;
    QDoubleSpinBox *seSeed;
    QPushButton *btnOK;
    QPushButton *btnCancel;

    // The settings as accepted.
    UncertaintySettings settings() const { return m_settings; }

private:
    void btnOKClick();

    Dialogs &m_dialogs;
    char m_decimalSeparator;
    UncertaintySettings m_settings;
};

} // namespace kelvora
