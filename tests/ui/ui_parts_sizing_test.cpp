#include "core/numfmt.h"
#include "ui/sizing.h"

#include "../casename.h"
#include "wholetext.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include <gtest/gtest.h>

#include <functional>

namespace kelvora {
namespace {

using test::showsWhole;
using testcase::CaseName;
using testcase::PrintTo;

const TextLocale Point{'.', formatIsoDateTime};
const TextLocale Comma{',', formatIsoDateTime};

// The faces the widest texts are measured in (where one is missing, its substitute).
const char *const Faces[] = {"DejaVu Sans", "Liberation Sans", "Noto Sans"};

QFont face(const char *family)
{
    QFont font(QString::fromLatin1(family), 8);
    return font;
}

struct WidestCase
{
    const char *name;
    std::function<QStringList(const TextLocale &)> texts;
    // Texts of the format that the widest ones must cover, written with the full stop.
    QStringList examples;
    // Writes a value as the format does, to check that the texts are the format's own.
    std::function<std::string(long double, char)> format;
};

class WidestTexts : public ::testing::TestWithParam<WidestCase>
{
};

TEST_P(WidestTexts, AreTheFormatsOwnAndAtLeastAsWideAsAnyExample)
{
    const WidestCase &c = GetParam();
    for (const TextLocale &locale : {Point, Comma}) {
        const QStringList texts = c.texts(locale);
        ASSERT_FALSE(texts.isEmpty());
        for (const QString &text : texts) {
            if (c.format) {
                const long double value = parseFloat(text.toStdString(), locale.decimalSeparator);
                EXPECT_EQ(c.format(value, locale.decimalSeparator), text.toStdString());
            }
        }
        for (const char *family : Faces) {
            QStringList examples = c.examples;
            for (QString &example : examples)
                example.replace(QLatin1Char('.'), QChar::fromLatin1(locale.decimalSeparator));
            const QFont font = face(family);
            EXPECT_GE(widestTextWidth(font, texts), widestTextWidth(font, examples))
                << family << " " << texts.join(QLatin1Char(' ')).toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WidestTexts,
    ::testing::Values(
        WidestCase{"General15",
                   [](const TextLocale &l) { return widestGeneralTexts(15, l); },
                   {"-1.23456789012345E-308", "-0.000123456789012345", "-123456789012345",
                    "0.649923076923077", "88752.4358959576", "-4.94065645841247E-324"},
                   [](long double v, char s) { return formatGeneral(v, 15, s); }},
        WidestCase{"General15Extended",
                   [](const TextLocale &l) {
                       return widestGeneralTexts(15, l, ValueRange::Extended);
                   },
                   {"-1.23456789012345E-4931", "-0.000123456789012345", "0.649923076923077"},
                   [](long double v, char s) { return formatGeneral(v, 15, s); }},
        WidestCase{"General12",
                   [](const TextLocale &l) { return widestGeneralTexts(12, l); },
                   {"-1.23456789012E-308", "0.00123456789012"},
                   [](long double v, char s) { return formatGeneral(v, 12, s); }},
        WidestCase{"Fixed9With4",
                   [](const TextLocale &l) { return widestFixedTexts(9, 4, l); },
                   {"-123456789.0000", "-1.23456789E307", "12.5000"},
                   [](long double v, char s) { return formatFixed(v, 9, 4, s); }},
        WidestCase{"Fixed9With4Extended",
                   [](const TextLocale &l) {
                       return widestFixedTexts(9, 4, l, ValueRange::Extended);
                   },
                   {"-123456789.0000", "1.23456789E4931", "12.5000"},
                   [](long double v, char s) { return formatFixed(v, 9, 4, s); }},
        WidestCase{"Fixed9With3",
                   [](const TextLocale &l) { return widestFixedTexts(9, 3, l); },
                   {"-123456789.000", "1234.568", "-1.23456789E300"},
                   [](long double v, char s) { return formatFixed(v, 9, 3, s); }},
        WidestCase{"Fixed6With2",
                   [](const TextLocale &l) { return widestFixedTexts(6, 2, l); },
                   {"-123456.00", "-0.12", "-1.23456E99"},
                   [](long double v, char s) { return formatFixed(v, 6, 2, s); }},
        WidestCase{"WavelengthPattern",
                   [](const TextLocale &l) { return widestPatternTexts("0.0####", 4, false, l); },
                   {"999.99999", "1000.0", "0.65"},
                   [](long double v, char s) {
                       return formatPattern(static_cast<double>(v), "0.0####", s);
                   }},
        WidestCase{"DeviationPattern",
                   [](const TextLocale &l) { return widestPatternTexts("0.00", 7, true, l); },
                   {"-1234567.89", "-0.12"},
                   [](long double v, char s) {
                       return formatPattern(static_cast<double>(v), "0.00", s);
                   }},
        WidestCase{"DateTimes", [](const TextLocale &l) { return widestDateTimeTexts(l); },
                   {"2024-12-10 14:52:03", "2001-01-01 01:01:01"}, {}},
        WidestCase{"Counts", [](const TextLocale &) { return widestWholeNumbers(5); },
                   {"12345", "10000"}, {}}),
    CaseName);

struct EditCase
{
    const char *name;
    std::function<QStringList(const TextLocale &)> texts;
    bool readOnly;
};

class FittedEdit : public ::testing::TestWithParam<EditCase>
{
};

// An edit fitted to a format shows each of its widest texts whole, in any face.
TEST_P(FittedEdit, ShowsEveryWidestTextWhole)
{
    const EditCase &c = GetParam();
    for (const char *family : Faces) {
        QLineEdit edit;
        edit.setFont(face(family));
        edit.setReadOnly(c.readOnly);
        const QStringList texts = c.texts(Point);
        fitEditWidth(edit, texts);
        edit.resize(edit.minimumWidth(), edit.sizeHint().height());
        edit.show();
        for (const QString &text : texts)
            EXPECT_TRUE(showsWhole(&edit, text)) << family << " " << text.toStdString();
        QString widest;
        for (const QString &text : texts) {
            if (edit.fontMetrics().horizontalAdvance(text)
                > edit.fontMetrics().horizontalAdvance(widest))
                widest = text;
        }
        EXPECT_FALSE(showsWhole(&edit, widest + QStringLiteral("8")))
            << family << ": no room to spare beyond the widest text";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FittedEdit,
    ::testing::Values(
        EditCase{"General15", [](const TextLocale &l) { return widestGeneralTexts(15, l); }, true},
        EditCase{"Fixed9With4", [](const TextLocale &l) { return widestFixedTexts(9, 4, l); },
                 true},
        EditCase{"Editable", [](const TextLocale &l) { return widestGeneralTexts(12, l); },
                 false}),
    CaseName);

struct ButtonCase
{
    const char *name;
    const char *caption;
    bool picture;
    QSize design;
    bool keepsDesign; // the caption fits the designed size in every face
};

class FittedButton : public ::testing::TestWithParam<ButtonCase>
{
};

TEST_P(FittedButton, KeepsItsDesignOrGrowsForItsCaption)
{
    const ButtonCase &c = GetParam();
    for (const char *family : Faces) {
        QPushButton button(QString::fromLatin1(c.caption));
        button.setFont(face(family));
        if (c.picture)
            button.setIcon(button.style()->standardIcon(QStyle::SP_DialogSaveButton));
        fitButton(button, c.design);
        EXPECT_GE(button.width(), c.design.width());
        EXPECT_GE(button.height(), c.design.height());
        EXPECT_GE(button.width(), button.sizeHint().width()) << family;
        EXPECT_GE(button.height(), button.fontMetrics().height()) << family;
        if (c.keepsDesign) {
            EXPECT_EQ(button.size(), c.design) << family;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Captions, FittedButton,
    ::testing::Values(ButtonCase{"Short", "Exit", true, QSize(100, 25), true},
                      ButtonCase{"EditGraph", "Edit Graph", true, QSize(100, 25), true},
                      ButtonCase{"Long", "Save fitting results in the database", true,
                                 QSize(100, 25), false},
                      ButtonCase{"SmallDesign", "OK", false, QSize(20, 10), false}),
    CaseName);

TEST(TitleBarWidth, HoldsTheTitleInBoldBesideTheButtons)
{
    for (const char *family : Faces) {
        QFont bold = face(family);
        bold.setBold(true);
        for (const QString &title : {QStringLiteral("Kelvora"),
                                     QStringLiteral("Calculation of Sakuma-Hattori Parameters")}) {
            EXPECT_GE(titleBarWidthFor(title, face(family)),
                      QFontMetrics(bold).horizontalAdvance(title) + 3 * 24)
                << family << " " << title.toStdString();
        }
    }
}

TEST(FittedLabel, HoldsTheWidestOfItsTexts)
{
    for (const char *family : Faces) {
        QLabel label(QStringLiteral("Record Count: "));
        label.setFont(face(family));
        QStringList texts;
        for (const QString &count : widestWholeNumbers(5))
            texts << QStringLiteral("Record Count: ") + count;
        fitLabelWidth(label, 40, texts);
        for (const QString &text : texts) {
            label.setText(text);
            EXPECT_GE(label.width(), label.sizeHint().width()) << family;
        }
    }
}

} // namespace
} // namespace kelvora
