#include "ui/sizing.h"

#include "core/numfmt.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>
#include <QTableView>

#include <algorithm>

namespace kelvora {

namespace {

// Faces differ in which digit is widest, so every format is tried with each digit.
constexpr char Digits[] = "123456789";

// `count` copies of the digit.
std::string run(char digit, int count)
{
    return std::string(static_cast<std::size_t>(std::max(count, 0)), digit);
}

// The value written "[-]d.ddd…E<exponent>" with `count` digits, read back exactly.
long double valueOf(bool negative, char digit, int count, int exponent)
{
    const std::string text = std::string(negative ? "-" : "") + digit + "." + run(digit, count - 1)
                             + "E" + std::to_string(exponent);
    long double value = 0;
    parseDecimal(text, value);
    return value;
}

QStringList unique(const std::vector<std::string> &texts)
{
    QStringList list;
    for (const std::string &text : texts) {
        const QString shown = QString::fromStdString(text);
        if (!list.contains(shown))
            list << shown;
    }
    return list;
}

// The width QLineEdit keeps between its frame and its text on each side.
constexpr int LineEditTextMargin = 2;

} // namespace

QStringList widestGeneralTexts(int digits, const TextLocale &locale, ValueRange range)
{
    const int longestExponent = range == ValueRange::Double ? -308 : -4931;
    std::vector<std::string> texts;
    for (const char d : std::string_view(Digits)) {
        // Scientific notation with the longest exponent of the range, plain notation just
        // above its lower limit (0.000ddd…) and a whole number of all the digits.
        for (const int exponent : {longestExponent, -4, digits - 1})
            texts.push_back(formatGeneral(valueOf(true, d, digits, exponent), digits,
                                          locale.decimalSeparator));
    }
    return unique(texts);
}

QStringList widestFixedTexts(int precision, int decimals, const TextLocale &locale,
                             ValueRange range)
{
    const int longestExponent = range == ValueRange::Double ? 307 : 4931;
    std::vector<std::string> texts;
    for (const char d : std::string_view(Digits)) {
        // The most digits before the separator in plain notation, and the scientific
        // notation of values beyond it.
        for (const int exponent : {precision - 1, longestExponent})
            texts.push_back(formatFixed(valueOf(true, d, precision, exponent), precision,
                                        decimals, locale.decimalSeparator));
    }
    return unique(texts);
}

QStringList widestPatternTexts(const std::string &pattern, int integerDigits, bool negative,
                               const TextLocale &locale)
{
    std::vector<std::string> texts;
    for (const char d : std::string_view(Digits)) {
        // Every place of the pattern filled: as many decimals as a double carries.
        const long double value = valueOf(negative, d, 15, integerDigits - 1);
        texts.push_back(formatPattern(static_cast<double>(value), pattern,
                                      locale.decimalSeparator));
    }
    return unique(texts);
}

QStringList widestDateTimeTexts(const TextLocale &locale)
{
    std::vector<std::string> texts;
    // Two-digit days and months, morning and afternoon, with each digit where faces differ.
    for (const CivilTime &c : {CivilTime{2088, 12, 28, 23, 58, 58, 0},
                               CivilTime{2088, 12, 28, 11, 58, 58, 0},
                               CivilTime{2000, 10, 20, 20, 40, 40, 0},
                               CivilTime{2044, 11, 24, 14, 44, 44, 0}})
        texts.push_back(locale.formatDateTime ? locale.formatDateTime(fromCivil(c))
                                              : formatIsoDateTime(fromCivil(c)));
    return unique(texts);
}

QStringList widestWholeNumbers(int digits)
{
    QStringList texts;
    for (const char d : std::string_view(Digits))
        texts << QString::fromStdString(run(d, digits));
    return texts;
}

int widestTextWidth(const QFont &font, const QStringList &texts)
{
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString &text : texts)
        widest = std::max(widest, metrics.horizontalAdvance(text));
    return widest;
}

int editWidthFor(const QLineEdit &edit, const QStringList &texts)
{
    const QMargins text = edit.textMargins();
    const QMargins contents = edit.contentsMargins();
    // One pixel more for the cursor drawn after the last character.
    const int inner = widestTextWidth(edit.font(), texts) + 2 * LineEditTextMargin + text.left()
                      + text.right() + contents.left() + contents.right() + 1;
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.rect = edit.rect();
    const QStyle *style = edit.style();
    option.lineWidth =
        edit.hasFrame() ? style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    if (edit.isReadOnly())
        option.state |= QStyle::State_ReadOnly;
    const QSize size = style->sizeFromContents(
        QStyle::CT_LineEdit, &option, QSize(inner, edit.fontMetrics().height()), &edit);
    return size.width();
}

void fitEditWidth(QLineEdit &edit, const QStringList &texts)
{
    edit.setMinimumWidth(std::max(edit.minimumWidth(), editWidthFor(edit, texts)));
}

int columnWidthFor(const QTableView &grid, int column, const QStringList &texts)
{
    const QStyle *style = grid.style();
    // The item delegate keeps a focus-frame margin and one pixel on each side of the text;
    // the grid line takes one more.
    const int textMargin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid) + 1;
    const int cells = widestTextWidth(grid.font(), texts) + 2 * textMargin + 1;
    return std::max(cells, grid.horizontalHeader()->sectionSizeHint(column));
}

void fitColumnWidth(QTableView &grid, int column, const QStringList &texts)
{
    grid.setColumnWidth(column, std::max(grid.columnWidth(column),
                                         columnWidthFor(grid, column, texts)));
}

int gridWidthFor(const QTableView &grid)
{
    int width = grid.verticalHeader()->isHidden() ? 0 : grid.verticalHeader()->width();
    for (int c = 0; c < grid.horizontalHeader()->count(); ++c)
        width += grid.columnWidth(c);
    return width + 2 * grid.frameWidth()
           + grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                       grid.verticalScrollBar());
}

void fitButton(QPushButton &button, QSize design)
{
    // The style's own hint holds caption, picture and padding; in height, the caption and
    // the frame are enough.
    const int frame = button.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button);
    const int height = std::max(button.fontMetrics().height(),
                                button.icon().isNull() ? 0 : button.iconSize().height())
                       + 2 * frame + 2;
    button.setFixedSize(std::max(design.width(), button.sizeHint().width()),
                        std::max(design.height(), height));
}

void fitLabelWidth(QLabel &label, int design, const QStringList &texts)
{
    // Measured as the label lays its text out, which may take a pixel more than the advance.
    const QFontMetrics metrics(label.font());
    int widest = 0;
    for (const QString &text : texts)
        widest = std::max(widest, metrics.boundingRect(QRect(0, 0, 4000, 400),
                                                       int(label.alignment()), text).width());
    const QMargins contents = label.contentsMargins();
    const int needed = widest + 2 * label.margin()
                       + std::max(label.indent(), 0) + contents.left() + contents.right()
                       + 2 * label.frameWidth();
    label.setFixedWidth(std::max(design, needed));
}

void fitFixedWidth(QWidget &widget, int design)
{
    widget.setFixedWidth(std::max(design, widget.minimumSizeHint().width()));
}

void fitFixedHeight(QWidget &widget, int design)
{
    widget.setFixedHeight(std::max(design, widget.minimumSizeHint().height()));
}

QSize fittedMinimumSize(const QWidget &window, QSize design)
{
    return design.expandedTo(window.minimumSizeHint());
}

void fitWindowToScreen(QWidget &window, QSize needed, QSize start)
{
    const QScreen *screen = window.screen() != nullptr ? window.screen()
                                                       : QGuiApplication::primaryScreen();
    // The window manager's frame comes on top of the window: a title bar and borders.
    const QSize frame(16, std::max(32, QFontMetrics(window.font()).height() + 16));
    const QSize room = screen != nullptr
                           ? screen->availableGeometry().size() - frame
                           : needed;
    window.setMinimumSize(needed.boundedTo(room));
    window.resize(start.expandedTo(needed).boundedTo(room.expandedTo(window.minimumSize())));
}

QWidget *scrolledWhenTooSmall(QWidget *content)
{
    auto *area = new QScrollArea;
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(content);
    return area;
}

int titleBarWidthFor(const QString &title, const QFont &font)
{
    // Window managers write titles in bold, often larger than the text of the windows, and
    // put an icon and up to three buttons of about the title bar's height beside it.
    QFont titleFont = font;
    titleFont.setBold(true);
    titleFont.setPointSizeF(std::max(titleFont.pointSizeF(), 10.0));
    const QFontMetrics metrics(titleFont);
    const int bar = std::max(24, metrics.height() + 8);
    return metrics.horizontalAdvance(title) + 5 * bar;
}

void fitWidthToTitle(QWidget &window)
{
    window.setMinimumWidth(
        std::max(window.minimumWidth(), titleBarWidthFor(window.windowTitle(), window.font())));
}

} // namespace kelvora
