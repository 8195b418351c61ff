#pragma once

// Sizes of controls taken from the metrics of their own font, so that no value, caption or
// title is cut whatever face the system gives for the program's font. Each size is at least
// the designed one: a narrow face keeps the designed layout, a wide one widens what needs it.

#include "core/datetime.h"

#include <QSize>
#include <QStringList>

#include <string>

class QFont;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QWidget;

namespace kelvora {

// ---- the widest texts of the number formats ---------------------------------------------
// Each list holds the candidates for the widest text of a format, written as the windows
// write them (the decimal separator of `locale`); a control wide enough for all of them shows
// every value of the format whole.

// The range of the values: a double field's, or an extended computation's (four-digit
// exponents).
enum class ValueRange { Double, Extended };

// General format with `digits` significant digits. A negative value in scientific notation
// is the longest ("-1.23456789012345E-308" for 15 digits).
QStringList widestGeneralTexts(int digits, const TextLocale &locale,
                               ValueRange range = ValueRange::Double);

// Fixed format with `precision` significant digits and `decimals` decimals: negative values
// at the limit of the plain form and in the scientific form that follows it.
QStringList widestFixedTexts(int precision, int decimals, const TextLocale &locale,
                             ValueRange range = ValueRange::Double);

// A display pattern without exponent ("0.0####", "0.0000") writes every digit before the
// separator, so it has no longest text of its own: these are its texts for values of up to
// `integerDigits` digits before the separator, negative ones too when `negative`.
QStringList widestPatternTexts(const std::string &pattern, int integerDigits, bool negative,
                               const TextLocale &locale);

// Dates with times as the locale writes them.
QStringList widestDateTimeTexts(const TextLocale &locale);

// Whole numbers of up to `digits` digits.
QStringList widestWholeNumbers(int digits);

// ---- widths and heights -----------------------------------------------------------------

// The advance of the widest of `texts` in `font`.
int widestTextWidth(const QFont &font, const QStringList &texts);

// The width a line edit needs to show each of `texts` whole in its own font: the text, the
// edit's margins, its frame and the style's extra.
int editWidthFor(const QLineEdit &edit, const QStringList &texts);
// Makes the edit at least that wide (its minimum width).
void fitEditWidth(QLineEdit &edit, const QStringList &texts);

// The width a grid column needs to show its bold title and each of `texts` whole, with the
// cell's margins and grid line.
int columnWidthFor(const QTableView &grid, int column, const QStringList &texts);
// Widens the column to that when it is narrower.
void fitColumnWidth(QTableView &grid, int column, const QStringList &texts);
// The width a grid needs to show all its columns with its row header, frame and a vertical
// scroll bar.
int gridWidthFor(const QTableView &grid);

// Gives the button a fixed size: at least `design`, and enough for its caption and picture.
void fitButton(QPushButton &button, QSize design);
// Gives the label a fixed width: at least `design`, and enough for each of `texts`.
void fitLabelWidth(QLabel &label, int design, const QStringList &texts);
// Fixed width, or height, of at least `design` and of what the widget's layout needs.
void fitFixedWidth(QWidget &widget, int design);
void fitFixedHeight(QWidget &widget, int design);
// A minimum size of at least `design` and of what the window's layout needs.
QSize fittedMinimumSize(const QWidget &window, QSize design);

// A window whose content needs `needed` (its minimum size hint with the content laid out
// directly) and that shows the content in a scroll area: its minimum size is `needed` as far
// as the available area of its screen allows, and it starts at `start` within that area. On
// a smaller screen the scroll area scrolls the content instead of the window overflowing the
// screen; no control gets smaller than its content needs.
void fitWindowToScreen(QWidget &window, QSize needed, QSize start);

// Puts `content` into a frameless scroll area that widens it to its own size and scrolls it
// when the area is smaller than the content's minimum size.
QWidget *scrolledWhenTooSmall(QWidget *content);

// The least width of a window whose title bar shows `title` whole beside a window manager's
// usual buttons, for a title bar font like `font`.
int titleBarWidthFor(const QString &title, const QFont &font);
// Makes the window at least that wide for its own title (its minimum width).
void fitWidthToTitle(QWidget &window);

} // namespace kelvora
