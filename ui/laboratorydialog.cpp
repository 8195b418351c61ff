#include "ui/laboratorydialog.h"

#include "certificate/logo.h"
#include "certificatecontent/certificateissue.h"
#include "certificatecontent/certificatenumber.h"
#include "ui/dialogs.h"
#include "ui/layoutparts.h"
#include "ui/sizing.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <utility>

namespace kelvora {

namespace {

QLineEdit *lineEdit(QWidget *parent, const char *name, const std::string &text, int length)
{
    auto *edit = new QLineEdit(QString::fromStdString(text), parent);
    edit->setObjectName(QLatin1String(name));
    edit->setMaxLength(length);
    return edit;
}

} // namespace

TFLaboratory::TFLaboratory(const LaboratorySettings &laboratory, Dialogs &dialogs, DateTime now,
                           const QString &logoFolder, QWidget *parent)
    : QDialog(parent), m_dialogs(dialogs), m_now(now), m_logoFolder(logoFolder),
      m_laboratory(laboratory)
{
    setObjectName(QStringLiteral("FLaboratory"));
    setWindowTitle(QStringLiteral("Laboratory"));

    edName = lineEdit(this, "edName", laboratory.name, MaxLaboratoryNameLength);
    mAddress = new QPlainTextEdit(QString::fromStdString(laboratory.address), this);
    mAddress->setObjectName(QStringLiteral("mAddress"));
    mAddress->setTabChangesFocus(true);
    const int lines = 4;
    mAddress->setFixedHeight(mAddress->fontMetrics().lineSpacing() * lines
                             + 2 * (mAddress->frameWidth() + 4));

    lblLogo = new QLabel(this);
    lblLogo->setObjectName(QStringLiteral("lblLogo"));
    const int logoHeight = fontMetrics().lineSpacing() * 3;
    lblLogo->setFixedSize(logoHeight * 3, logoHeight);
    lblLogo->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    btnLogo = new QPushButton(QStringLiteral("&Logo..."), this);
    btnLogo->setObjectName(QStringLiteral("btnLogo"));
    btnLogo->setToolTip(QStringLiteral("Choose the picture of the laboratory's logo"));
    btnNoLogo = new QPushButton(QStringLiteral("&No Logo"), this);
    btnNoLogo->setObjectName(QStringLiteral("btnNoLogo"));
    btnNoLogo->setToolTip(QStringLiteral("Certificates without a logo"));
    auto *logoRow = new QHBoxLayout;
    logoRow->addWidget(lblLogo);
    logoRow->addWidget(btnLogo);
    logoRow->addWidget(btnNoLogo);
    logoRow->addStretch(1);

    edCalibratedBy =
        lineEdit(this, "edCalibratedBy", laboratory.calibratedBy, MaxLaboratoryNameLength);
    edApprovedBy =
        lineEdit(this, "edApprovedBy", laboratory.approvedBy, MaxLaboratoryNameLength);
    comboPageSize = new QComboBox(this);
    comboPageSize->setObjectName(QStringLiteral("comboPageSize"));
    comboPageSize->addItems({QStringLiteral("A4"), QStringLiteral("Letter")});
    comboPageSize->setCurrentIndex(laboratory.pageSize == PageSize::Letter ? 1 : 0);

    edPattern = lineEdit(this, "edPattern", laboratory.numberPattern,
                         static_cast<int>(MaxNumberPatternLength));
    edPattern->setToolTip(QStringLiteral(
        "{yyyy} year, {yy} its last two digits, {mm} month, {dd} day,\n"
        "{nnnn} the counter with at least as many digits as n"));
    seNextNumber = new QSpinBox(this);
    seNextNumber->setObjectName(QStringLiteral("seNextNumber"));
    seNextNumber->setRange(1, MaxCertificateCounter);
    seNextNumber->setValue(NextCertificateCounter(laboratory, now));
    lblNextCertificate = new QLabel(this);
    lblNextCertificate->setObjectName(QStringLiteral("lblNextCertificate"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Name "), edName);
    form->addRow(QStringLiteral("Address "), mAddress);
    form->addRow(QStringLiteral("Logo "), logoRow);
    form->addRow(QStringLiteral("Calibrated by "), edCalibratedBy);
    form->addRow(QStringLiteral("Approved by "), edApprovedBy);
    form->addRow(QStringLiteral("Paper size "), comboPageSize);
    form->addRow(QStringLiteral("Certificate numbers "), edPattern);
    form->addRow(QStringLiteral("Next number "), seNextNumber);
    form->addRow(QString(), lblNextCertificate);

    QHBoxLayout *buttons = okCancelRow(this, btnOK, btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    // Room for a long name.
    fitEditWidth(*edName, {QString(40, QLatin1Char('M'))});

    connect(btnLogo, &QPushButton::clicked, this, &TFLaboratory::btnLogoClick);
    connect(btnNoLogo, &QPushButton::clicked, this, [this] {
        m_laboratory.logo.clear();
        showLogo();
    });
    connect(edPattern, &QLineEdit::textChanged, this, &TFLaboratory::showNextCertificate);
    connect(seNextNumber, &QSpinBox::valueChanged, this, &TFLaboratory::showNextCertificate);
    connect(btnOK, &QPushButton::clicked, this, &TFLaboratory::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    showLogo();
    showNextCertificate();
    fitWidthToTitle(*this);
}

LaboratorySettings TFLaboratory::settings() const
{
    LaboratorySettings laboratory = m_laboratory;
    laboratory.name = edName->text().toStdString();
    laboratory.address = mAddress->toPlainText().toStdString();
    laboratory.calibratedBy = edCalibratedBy->text().toStdString();
    laboratory.approvedBy = edApprovedBy->text().toStdString();
    laboratory.pageSize = comboPageSize->currentIndex() == 1 ? PageSize::Letter : PageSize::A4;
    laboratory.numberPattern = edPattern->text().toStdString();
    laboratory.nextNumber = seNextNumber->value();
    laboratory.counterYear = toCivil(m_now).year;
    return laboratory;
}

void TFLaboratory::btnLogoClick()
{
    const QString path =
        m_dialogs.openPicture(QStringLiteral("Load Logo from Picture"), m_logoFolder);
    if (path.trimmed().isEmpty())
        return;
    try {
        m_laboratory.logo = readLogoFile(path.toStdString());
    } catch (const LogoFileError &error) {
        m_dialogs.message(QString::fromStdString(error.what()));
        return;
    }
    showLogo();
}

void TFLaboratory::btnOKClick()
{
    // The line edits take no more than their limits; the address is checked here.
    const std::pair<QWidget *, std::string> refusals[] = {
        {mAddress, lengthRefusal("The address", mAddress->toPlainText().toStdString(),
                                 MaxAddressLength)},
        {edPattern, NumberPatternRefusal(edPattern->text().toStdString())},
    };
    for (const auto &[edit, refusal] : refusals) {
        if (!refusal.empty()) {
            m_dialogs.message(QString::fromStdString(refusal));
            edit->setFocus();
            return;
        }
    }
    accept();
}

void TFLaboratory::showLogo()
{
    const QImage image = QImage::fromData(QByteArray::fromStdString(m_laboratory.logo));
    btnNoLogo->setEnabled(!image.isNull());
    if (image.isNull()) {
        lblLogo->setPixmap(QPixmap());
        lblLogo->setText(QStringLiteral("(none)"));
        return;
    }
    lblLogo->setPixmap(QPixmap::fromImage(
        image.scaled(lblLogo->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void TFLaboratory::showNextCertificate()
{
    const std::string pattern = edPattern->text().toStdString();
    const std::string refusal = NumberPatternRefusal(pattern);
    lblNextCertificate->setText(
        refusal.empty()
            ? QStringLiteral("Next certificate: ")
                  + QString::fromStdString(
                      CertificateNumberOf(pattern, seNextNumber->value(), m_now))
            : QString::fromStdString(refusal));
    lblNextCertificate->setWordWrap(!refusal.empty());
}

} // namespace kelvora
