#pragma once

#include <QAbstractSpinBox>

namespace kelvora {

// A spin edit of a decimal number whose text is what the user typed. The arrows, the Up and
// Down keys and the wheel step the number it holds by `step` within its limits and write the
// result with `decimals` decimals and the given separator; a typed text stays exactly as
// typed, whatever it holds, and is checked by whoever reads it.
class SpinEdit : public QAbstractSpinBox
{
    Q_OBJECT

public:
    SpinEdit(long double minimum, long double maximum, long double step, int decimals,
             char decimalSeparator, QWidget *parent = nullptr);

    long double minimum() const { return m_minimum; }
    long double maximum() const { return m_maximum; }
    // Writes the number with the edit's decimals.
    void setValue(long double value);
    // The number as written with the edit's decimals ("1000.0").
    QString textOf(long double value) const;
    // The text as typed.
    QString typedText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;

private:
    // The number the text holds, when it holds one.
    bool typedNumber(long double &value) const;

    long double m_minimum;
    long double m_maximum;
    long double m_step;
    int m_decimals;
    char m_decimalSeparator;
};

} // namespace kelvora
