#include "ui/uncertaintysettings.h"

#include "core/errors.h"
#include "core/numfmt.h"
#include "ui/dialogs.h"
#include "ui/layoutparts.h"
#include "ui/sizing.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <limits>

namespace kelvora {

TFUncertaintySettings::TFUncertaintySettings(const UncertaintySettings &settings,
                                             Dialogs &dialogs, char decimalSeparator,
                                             QWidget *parent)
    : QDialog(parent), m_dialogs(dialogs), m_decimalSeparator(decimalSeparator),
      m_settings(settings)
{
    setObjectName(QStringLiteral("FUncertaintySettings"));
    setWindowTitle(QStringLiteral("Uncertainty Settings"));

    edW = new QLineEdit(
        QString::fromStdString(formatGeneral(settings.w, 15, decimalSeparator)), this);
    edW->setObjectName(QStringLiteral("edW"));
    edW->setToolTip(QStringLiteral("u(S)/S, from 0 to below 1; 0: the signals are exact"));
    fitEditWidth(*edW, {QStringLiteral("0.000000000000001")});
    seTrials = new QSpinBox(this);
    seTrials->setObjectName(QStringLiteral("seTrials"));
    seTrials->setRange(2, MaxMonteCarloTrials);
    seTrials->setValue(settings.trials);
    seSeed = new QDoubleSpinBox(this);
    seSeed->setObjectName(QStringLiteral("seSeed"));
    seSeed->setDecimals(0);
    seSeed->setRange(0, std::numeric_limits<std::uint32_t>::max());
    seSeed->setValue(settings.seed);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Relative uncertainty of a signal "), edW);
    form->addRow(QStringLiteral("Monte Carlo trials "), seTrials);
    form->addRow(QStringLiteral("Monte Carlo seed "), seSeed);

    QHBoxLayout *buttons = okCancelRow(this, btnOK, btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(btnOK, &QPushButton::clicked, this, &TFUncertaintySettings::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    fitWidthToTitle(*this);
}

void TFUncertaintySettings::btnOKClick()
{
    UncertaintySettings settings = m_settings;
    std::string refusal;
    try {
        settings.w = parseFloat(edW->text().trimmed().toStdString(), m_decimalSeparator);
        settings.trials = seTrials->value();
        settings.seed = static_cast<std::uint32_t>(seSeed->value());
        refusal = UncertaintySettingsRefusal(settings);
    } catch (const Error &error) {
        refusal = error.what();
    }
    if (!refusal.empty()) {
        m_dialogs.message(QString::fromStdString(refusal));
        edW->setFocus();
        edW->selectAll();
        return;
    }
    m_settings = settings;
    accept();
}

} // namespace kelvora
