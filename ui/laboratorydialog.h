#pragma once

#include "core/datetime.h"
#include "records/laboratory.h"

#include <QDialog>

#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace kelvora {

class Dialogs;

// "Laboratory": the laboratory's details that every certificate carries (name, address,
// logo, signatories, paper size) and the pattern and counter of certificate numbers. OK
// keeps the dialog open with a message while the pattern cannot make numbers.
class TFLaboratory : public QDialog
{
    Q_OBJECT

public:
    // `now`: the date the next number is shown for; a logo is proposed from `logoFolder`.
    TFLaboratory(const LaboratorySettings &laboratory, Dialogs &dialogs, DateTime now,
                 const QString &logoFolder, QWidget *parent = nullptr);

    QLineEdit *edName;
    QPlainTextEdit *mAddress;
    QLabel *lblLogo;
    QPushButton *btnLogo;
    QPushButton *btnNoLogo;
    QLineEdit *edCalibratedBy;
    QLineEdit *edApprovedBy;
    QComboBox *comboPageSize;
    QLineEdit *edPattern;
    QSpinBox *seNextNumber;
    QLabel *lblNextCertificate;
    QPushButton *btnOK;
    QPushButton *btnCancel;

    // The details as edited; the next number counts from this year on.
    LaboratorySettings settings() const;

private:
    void btnLogoClick();
    void btnOKClick();
    void showLogo();
    void showNextCertificate();

    Dialogs &m_dialogs;
    DateTime m_now;
    const QString m_logoFolder;
    LaboratorySettings m_laboratory;
};

} // namespace kelvora
