#pragma once

#include "certificatecontent/certificatedata.h"
#include "certificatecontent/certificateissue.h"
#include "core/datetime.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kelvora {

class Dialogs;
class RadioGroup;
class RecordStore;

// "Certificate": what a certificate of the current record states besides the record's
// numbers: the calibrated item and its owner, which fit's parameters (preselected: the lower
// mean RMS deviation) and the step of the calibration table; it shows the new number and the
// certificate it replaces. It writes nothing: Save as PDF and Print close it accepted, once
// the choices give a certificate (otherwise they say why and it stays open).
class TFCertificate : public QDialog
{
    Q_OBJECT

public:
    enum class Output { Pdf, Printer };

    // `now`: the date the number to be given is shown for.
    TFCertificate(RecordStore &records, Dialogs &dialogs, const TextLocale &locale,
                  DateTime now, QWidget *parent = nullptr);

    QLineEdit *edCustomer;
    QLineEdit *edMake;
    QLineEdit *edModel;
    QLineEdit *edSerial;
    RadioGroup *rgMethod;
    QSpinBox *seStep;
    QLabel *lblNumber;
    QCheckBox *cbShow;
    QPushButton *btnSavePdf;
    QPushButton *btnPrint;
    QPushButton *btnCancel;

    ItemDetails item() const;
    CertificateChoices choices() const;
    // Whether the saved PDF is then shown in the system's viewer.
    bool showWhenSaved() const;
    Output output() const { return m_output; }

private:
    void finish(Output output);
    void showNumber();

    RecordStore &m_records;
    Dialogs &m_dialogs;
    DateTime m_now;
    Output m_output = Output::Pdf;
    int m_lowerRMSItem = 0;
};

} // namespace kelvora
