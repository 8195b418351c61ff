#include "ui/spinedit.h"

#include "core/errors.h"
#include "core/numfmt.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include <algorithm>
#include <cmath>

namespace kelvora {

SpinEdit::SpinEdit(long double minimum, long double maximum, long double step, int decimals,
                   char decimalSeparator, QWidget *parent)
    : QAbstractSpinBox(parent), m_minimum(minimum), m_maximum(maximum), m_step(step),
      m_decimals(decimals), m_decimalSeparator(decimalSeparator)
{
}

QString SpinEdit::textOf(long double value) const
{
    return QString::fromStdString(formatFixed(value, 15, m_decimals, m_decimalSeparator));
}

void SpinEdit::setValue(long double value)
{
    lineEdit()->setText(textOf(value));
}

QString SpinEdit::typedText() const
{
    return lineEdit()->text();
}

bool SpinEdit::typedNumber(long double &value) const
{
    try {
        value = parseFloat(typedText().toStdString(), m_decimalSeparator);
    } catch (const ConvertError &) {
        return false;
    }
    return std::isfinite(value);
}

void SpinEdit::stepBy(int steps)
{
    long double value = 0;
    if (!typedNumber(value))
        return;
    // A step from a typed value of more decimals lands on the edit's grid of decimals.
    const long double scale = std::pow(10.0L, m_decimals);
    value = std::round((value + steps * m_step) * scale) / scale;
    setValue(std::clamp(value, m_minimum, m_maximum));
    selectAll();
}

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const
{
    long double value = 0;
    if (isReadOnly() || !typedNumber(value))
        return StepNone;
    StepEnabled enabled = StepNone;
    if (value < m_maximum)
        enabled |= StepUpEnabled;
    if (value > m_minimum)
        enabled |= StepDownEnabled;
    return enabled;
}

QSize SpinEdit::sizeHint() const
{
    ensurePolished();
    const QFontMetrics metrics(font());
    // The limits written with the decimals, and a blank for the cursor.
    const int text = std::max(metrics.horizontalAdvance(textOf(m_minimum)),
                              metrics.horizontalAdvance(textOf(m_maximum)))
                     + metrics.horizontalAdvance(QLatin1Char(' '));
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    const QSize contents(text, lineEdit()->sizeHint().height());
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, contents, this);
}

QSize SpinEdit::minimumSizeHint() const
{
    return sizeHint();
}

} // namespace kelvora
