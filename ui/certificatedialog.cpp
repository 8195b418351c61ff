#include "ui/certificatedialog.h"

#include "certificatecontent/certificateregister.h"
#include "core/numfmt.h"
#include "tables/recordstore.h"
#include "tables/rows.h"
#include "ui/dialogs.h"
#include "ui/radiogroup.h"
#include "ui/sizing.h"
#include "ui/tablefield.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <exception>

namespace kelvora {

namespace {

QLineEdit *itemEdit(QWidget *parent, const char *name, const std::string &text, int length)
{
    auto *edit = new QLineEdit(QString::fromStdString(text), parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(length);
    return edit;
}

QString isoDate(DateTime t)
{
    const CivilTime c = toCivil(t);
    return QStringLiteral("%1-%2-%3")
        .arg(c.year, 4, 10, QLatin1Char('0'))
        .arg(c.month, 2, 10, QLatin1Char('0'))
        .arg(c.day, 2, 10, QLatin1Char('0'));
}

} // namespace

TFCertificate::TFCertificate(RecordStore &records, Dialogs &dialogs, const TextLocale &locale,
                             DateTime now, QWidget *parent)
    : QDialog(parent), m_records(records), m_dialogs(dialogs), m_now(now)
{
    setObjectName(QStringLiteral("FCertificate"));
    setWindowTitle(QStringLiteral("Certificate"));
    const RecordRow record(records.cdsMain);
    const ItemDetails item = ItemDetailsOf(records);
    const auto longest = [](RecordField field) { return TableField(field).def().size; };

    auto *itemGroup = new QGroupBox(QStringLiteral("Calibrated Item"), this);
    edCustomer =
        itemEdit(itemGroup, "edCustomer", item.customer, longest(RecordField::Customer));
    edMake = itemEdit(itemGroup, "edMake", item.make, longest(RecordField::Make));
    edModel = itemEdit(itemGroup, "edModel", item.model, longest(RecordField::Model));
    edSerial = itemEdit(itemGroup, "edSerial", item.serial, longest(RecordField::Serial));
    fitEditWidth(*edCustomer, {QString(40, QLatin1Char('M'))});
    auto *itemForm = new QFormLayout(itemGroup);
    itemForm->addRow(QStringLiteral("Customer "), edCustomer);
    itemForm->addRow(QStringLiteral("Make "), edMake);
    itemForm->addRow(QStringLiteral("Model "), edModel);
    itemForm->addRow(QStringLiteral("Serial Number "), edSerial);

    const double lm = record.meanRMSLM();
    const double pso = record.meanRMSPSO();
    const auto rms = [&locale](double value) {
        return QString::fromStdString(formatPattern(value, "0.0000", locale.decimalSeparator));
    };
    rgMethod = new RadioGroup(
        QStringLiteral("Parameters Stated"),
        {QStringLiteral("Levenberg-Marquardt Method (mean RMS %1 mK)").arg(rms(lm)),
         QStringLiteral("Particle Swarm Optimization (mean RMS %1 mK)").arg(rms(pso))},
        pso < lm ? 1 : 0, this);
    m_lowerRMSItem = rgMethod->itemIndex();
    rgMethod->setObjectName(QStringLiteral("rgMethod"));

    auto *tableGroup = new QGroupBox(QStringLiteral("Certificate"), this);
    seStep = new QSpinBox(tableGroup);
    seStep->setObjectName(QStringLiteral("seStep"));
    seStep->setRange(1, MaxTableStep);
    seStep->setValue(DefaultTableStep);
    seStep->setSuffix(QStringLiteral(" K"));
    lblNumber = new QLabel(tableGroup);
    lblNumber->setObjectName(QStringLiteral("lblNumber"));
    lblNumber->setWordWrap(true);
    cbShow = new QCheckBox(QStringLiteral("Show the certificate when it is saved"), tableGroup);
    cbShow->setObjectName(QStringLiteral("cbShow"));
    cbShow->setChecked(true);
    auto *tableForm = new QFormLayout(tableGroup);
    tableForm->addRow(QStringLiteral("Calibration Table Step "), seStep);
    tableForm->addRow(QStringLiteral("Number "), lblNumber);
    tableForm->addRow(QString(), cbShow);

    btnSavePdf = new QPushButton(QStringLiteral("Save as P&DF..."), this);
    btnSavePdf->setObjectName(QStringLiteral("btnSavePdf"));
    btnSavePdf->setToolTip(QStringLiteral("Save the certificate as a PDF/A document"));
    btnSavePdf->setDefault(true);
    btnPrint = new QPushButton(QStringLiteral("&Print..."), this);
    btnPrint->setObjectName(QStringLiteral("btnPrint"));
    btnPrint->setToolTip(QStringLiteral("Print the certificate"));
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    for (QPushButton *button : {btnSavePdf, btnPrint, btnCancel})
        fitButton(*button, QSize(100, button->sizeHint().height()));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSavePdf);
    buttons->addWidget(btnPrint);
    buttons->addWidget(btnCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(itemGroup);
    layout->addWidget(rgMethod);
    layout->addWidget(tableGroup);
    layout->addLayout(buttons);

    connect(btnSavePdf, &QPushButton::clicked, this, [this] { finish(Output::Pdf); });
    connect(btnPrint, &QPushButton::clicked, this, [this] { finish(Output::Printer); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    showNumber();
    fitWidthToTitle(*this);
}

ItemDetails TFCertificate::item() const
{
    return {edCustomer->text().toStdString(), edMake->text().toStdString(),
            edModel->text().toStdString(), edSerial->text().toStdString()};
}

CertificateChoices TFCertificate::choices() const
{
    CertificateChoices choices;
    // The fit preselected is the one a certificate states unless told otherwise.
    if (rgMethod->itemIndex() != m_lowerRMSItem)
        choices.method = rgMethod->itemIndex() == 1 ? FitMethod::ParticleSwarm
                                                    : FitMethod::LevenbergMarquardt;
    choices.step = seStep->value();
    return choices;
}

bool TFCertificate::showWhenSaved() const
{
    return cbShow->isChecked();
}

void TFCertificate::finish(Output output)
{
    if (const std::string refusal = CertificateRefusal(m_records, choices()); !refusal.empty()) {
        m_dialogs.message(QString::fromStdString(refusal));
        return;
    }
    m_output = output;
    accept();
}

void TFCertificate::showNumber()
{
    try {
        const CertificateIssue issue = PlanCertificateIssue(m_records, m_now);
        QString text =
            QStringLiteral("%1, a new number").arg(QString::fromStdString(issue.number));
        const std::optional<std::int64_t> key = m_records.store.currentRecordKey();
        if (const CertificateEntry *current =
                key ? CurrentCertificateOf(m_records.store.certificates(), *key) : nullptr)
            text += QStringLiteral(" replacing %1 of %2")
                        .arg(QString::fromStdString(current->number), isoDate(current->issued));
        lblNumber->setText(text);
    } catch (const std::exception &error) {
        lblNumber->setText(QString::fromStdString(error.what()));
    }
}

} // namespace kelvora
