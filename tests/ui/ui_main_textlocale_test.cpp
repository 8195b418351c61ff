#include "frontend/systemlocale.h"

#include <gtest/gtest.h>

#include <ostream>

namespace kelvora {
namespace {

struct LocaleCase
{
    const char *what;
    QLocale locale;
    CivilTime time;
    const char *text; // nullptr: not checked
    char separator;
};

void PrintTo(const LocaleCase &c, std::ostream *out)
{
    *out << c.what;
}

class TextLocaleOf : public ::testing::TestWithParam<LocaleCase>
{
};

TEST_P(TextLocaleOf, WritesShortDateLongTimeAndTheSeparator)
{
    const LocaleCase &c = GetParam();
    const TextLocale locale = textLocaleOf(c.locale);
    if (c.text != nullptr) {
        EXPECT_EQ(locale.formatDateTime(fromCivil(c.time)), c.text);
    }
    EXPECT_EQ(locale.decimalSeparator, c.separator);
}

const QLocale US(QLocale::English, QLocale::UnitedStates);
const QLocale Germany(QLocale::German, QLocale::Germany);

INSTANTIATE_TEST_SUITE_P(
    Locales, TextLocaleOf,
    ::testing::Values(
        LocaleCase{"us", US, {2009, 12, 31, 10, 15, 20, 0}, "12/31/09 10:15:20 AM", '.'},
        LocaleCase{"us_afternoon", US, {2009, 12, 31, 22, 15, 20, 999}, "12/31/09 10:15:20 PM",
                   '.'},
        LocaleCase{"us_midnight", US, {2009, 12, 31, 0, 0, 0, 0}, "12/31/09", '.'},
        LocaleCase{"us_just_after_midnight", US, {2009, 12, 31, 0, 0, 0, 1},
                   "12/31/09 12:00:00 AM", '.'},
        LocaleCase{"germany", Germany, {2010, 2, 1, 8, 5, 0, 0}, "01.02.10 08:05:00", ','},
        // The zone field goes with its brackets, and wherever it stands.
        LocaleCase{"zone_in_parentheses", QLocale(QStringLiteral("ca_ES")),
                   {2010, 2, 1, 8, 5, 0, 0}, "1/2/10 8:05:00", ','},
        LocaleCase{"zone_in_brackets", QLocale(QStringLiteral("zh_HK")),
                   {2010, 2, 1, 20, 5, 0, 0}, "1/2/2010 下午8:05:00", '.'},
        LocaleCase{"zone_first", QLocale(QStringLiteral("zh_CN")), {2010, 2, 1, 8, 5, 0, 0},
                   "2010/2/1 08:05:00", '.'},
        LocaleCase{"arabic_separator", QLocale(QLocale::Arabic, QLocale::Egypt),
                   {2010, 2, 1, 0, 0, 0, 0}, nullptr, '.'}),
    [](const auto &info) { return std::string(info.param.what); });

} // namespace
} // namespace kelvora
