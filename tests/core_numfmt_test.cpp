#include "core/errors.h"
#include "core/numfmt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

namespace kelvora {
namespace {

struct GeneralCase
{
    long double value;
    int digits;
    char separator;
    const char *expected;
};

void PrintTo(const GeneralCase &c, std::ostream *os)
{
    *os << '"' << c.expected << '"';
}

class FormatGeneralTest : public testing::TestWithParam<GeneralCase>
{
};

TEST_P(FormatGeneralTest, WritesShortestRoundedText)
{
    const GeneralCase &c = GetParam();
    EXPECT_EQ(formatGeneral(c.value, c.digits, c.separator), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatGeneralTest,
    testing::Values(
        GeneralCase{0.65L, 15, '.', "0.65"},
        GeneralCase{0.65, 15, '.', "0.65"}, // the double 0.65 differs beyond 15 digits
        GeneralCase{0.65L, 15, ',', "0,65"},
        GeneralCase{14387.752L, 15, '.', "14387.752"},
        GeneralCase{-1234.5L, 15, '.', "-1234.5"},
        GeneralCase{100.0L, 15, '.', "100"},
        GeneralCase{0.0L, 15, '.', "0"},
        GeneralCase{-0.0L, 15, '.', "0"},
        GeneralCase{1.0L / 3, 15, '.', "0.333333333333333"},
        GeneralCase{2.0L / 3, 15, '.', "0.666666666666667"},
        GeneralCase{1.5e-7L, 15, '.', "1.5E-7"},
        GeneralCase{1.5e-7L, 15, ',', "1,5E-7"},
        GeneralCase{2e20L, 15, '.', "2E20"},
        GeneralCase{-3.25e-5L, 15, '.', "-3.25E-5"},
        GeneralCase{0.0001L, 15, '.', "0.0001"},
        GeneralCase{0.00009999L, 15, '.', "9.999E-5"},
        GeneralCase{0.00009999999999999999L, 15, '.', "0.0001"}, // rounds up into plain range
        GeneralCase{999999999999999.0L, 15, '.', "999999999999999"},
        GeneralCase{1e15L, 15, '.', "1E15"},
        GeneralCase{9.9999999999999999e14L, 15, '.', "1E15"}, // rounds up out of plain range
        GeneralCase{1.1e4932L, 15, '.', "1.1E4932"},
        GeneralCase{1.23456789012345L, 12, '.', "1.23456789012"},
        GeneralCase{999999999999.0L, 12, '.', "999999999999"},
        GeneralCase{1e12L, 12, '.', "1E12"},
        GeneralCase{1.125L, 3, '.', "1.13"}, // an exact half goes away from zero
        GeneralCase{-1.125L, 3, '.', "-1.13"},
        GeneralCase{std::nextafter(1.125L, 0.0L), 3, '.', "1.12"}, // just below the half
        GeneralCase{9.5L, 1, '.', "1E1"}));

struct FixedCase
{
    long double value;
    int precision;
    int decimals;
    char separator;
    const char *expected;
};

void PrintTo(const FixedCase &c, std::ostream *os)
{
    *os << '"' << c.expected << '"';
}

class FormatFixedTest : public testing::TestWithParam<FixedCase>
{
};

TEST_P(FormatFixedTest, WritesExactDecimals)
{
    const FixedCase &c = GetParam();
    EXPECT_EQ(formatFixed(c.value, c.precision, c.decimals, c.separator), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatFixedTest,
    testing::Values(
        FixedCase{1234.56789L, 9, 3, '.', "1234.568"},
        FixedCase{-0.1234L, 6, 2, '.', "-0.12"},
        FixedCase{0.01234L, 9, 4, '.', "0.0123"},
        FixedCase{0.1L, 15, 1, '.', "0.1"},
        FixedCase{1000.0L, 15, 1, '.', "1000.0"},
        FixedCase{1000.0L, 15, 1, ',', "1000,0"},
        FixedCase{0.65L - 0.1L, 15, 4, '.', "0.5500"},
        FixedCase{0.0L, 9, 4, '.', "0.0000"},
        FixedCase{5.0L, 9, 0, '.', "5"},
        FixedCase{0.0006L, 9, 3, '.', "0.001"},
        FixedCase{0.0004L, 9, 3, '.', "0.000"},
        FixedCase{-0.0004L, 9, 3, '.', "-0.000"},
        FixedCase{1234.5625L, 9, 3, '.', "1234.563"}, // exact half
        FixedCase{-2.5L, 9, 0, '.', "-3"},
        FixedCase{123456789.987L, 9, 2, '.', "123456790.00"}, // precision limits the digits
        FixedCase{999999999.4L, 9, 4, '.', "999999999.0000"},
        FixedCase{999999999.6L, 9, 4, '.', "1E9"},   // ten digits before the point
        FixedCase{1.5e10L, 9, 4, ',', "1,5E10"}));

struct ScientificCase
{
    long double value;
    const char *expected;
};

void PrintTo(const ScientificCase &c, std::ostream *os)
{
    *os << '"' << c.expected << '"';
}

class FormatScientificTest : public testing::TestWithParam<ScientificCase>
{
};

TEST_P(FormatScientificTest, WritesTwentyThreeCharacters)
{
    const ScientificCase &c = GetParam();
    const std::string text = formatScientific(c.value);
    EXPECT_EQ(text, c.expected);
    EXPECT_EQ(text.size(), 23u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatScientificTest,
    testing::Values(ScientificCase{2.4e-3L, " 2.40000000000000E-0003"},
                    ScientificCase{-1235.0L, "-1.23500000000000E+0003"},
                    ScientificCase{0.0L, " 0.00000000000000E+0000"},
                    ScientificCase{1.5e-7, " 1.50000000000000E-0007"},
                    ScientificCase{1.0L / 3, " 3.33333333333333E-0001"},
                    ScientificCase{2.0L / 3, " 6.66666666666667E-0001"},
                    ScientificCase{0.9999999999999999L, " 1.00000000000000E+0000"},
                    ScientificCase{1e100L, " 1.00000000000000E+0100"},
                    ScientificCase{1.1e4932L, " 1.10000000000000E+4932"}));

struct WidthCase
{
    long double value;
    int width;
    int decimals;
    const char *expected;
};

void PrintTo(const WidthCase &c, std::ostream *os)
{
    *os << '"' << c.expected << '"';
}

class FormatWidthTest : public testing::TestWithParam<WidthCase>
{
};

TEST_P(FormatWidthTest, RightAlignsInField)
{
    const WidthCase &c = GetParam();
    EXPECT_EQ(formatWidth(c.value, c.width, c.decimals), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatWidthTest,
    testing::Values(WidthCase{1235.0L, 10, 4, " 1235.0000"},
                    WidthCase{0.2L, 10, 4, "    0.2000"},
                    WidthCase{-0.1L, 10, 4, "   -0.1000"},
                    WidthCase{0.0L, 10, 4, "    0.0000"},
                    WidthCase{-0.00001L, 10, 4, "   -0.0000"},
                    WidthCase{0.01234L, 9, 4, "   0.0123"},
                    WidthCase{0.125L, 10, 2, "      0.13"},
                    WidthCase{-0.125L, 10, 2, "     -0.13"},
                    WidthCase{2.5L, 3, 0, "  3"},
                    WidthCase{1235.0L, 4, 4, "1235.0000"},            // widened
                    WidthCase{1234567.1L, 10, 4, "1234567.1000"},     // widened
                    WidthCase{9.99e35L, 10, 4,
                              "999000000000000000000000000000000000.0000"},
                    WidthCase{1e36L, 10, 4, " 1.0E+0036"},
                    WidthCase{-2.5e40L, 10, 4, "-2.5E+0040"},
                    WidthCase{1e36L, 23, 4, " 1.00000000000000E+0036"}));

struct PatternCase
{
    double value;
    const char *pattern;
    char separator;
    const char *expected;
};

void PrintTo(const PatternCase &c, std::ostream *os)
{
    *os << '"' << c.expected << '"';
}

class FormatPatternTest : public testing::TestWithParam<PatternCase>
{
};

TEST_P(FormatPatternTest, FollowsPattern)
{
    const PatternCase &c = GetParam();
    EXPECT_EQ(formatPattern(c.value, c.pattern, c.separator), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatPatternTest,
    testing::Values(PatternCase{0.65, "0.0####", '.', "0.65"},
                    PatternCase{0.65, "0.0####", ',', "0,65"},
                    PatternCase{1235.0, "0.0####", '.', "1235.0"},
                    PatternCase{1.234567, "0.0####", '.', "1.23457"},
                    PatternCase{0.65, "0.0000", '.', "0.6500"},
                    PatternCase{1235.0, "0.0000", '.', "1235.0000"},
                    PatternCase{1234.56789, "0.0###", '.', "1234.5679"},
                    PatternCase{1235.0, "0.0###", '.', "1235.0"},
                    PatternCase{0.125, "0.00", '.', "0.13"},
                    PatternCase{-1.5, "0.00", '.', "-1.50"},
                    PatternCase{-0.001, "0.00", '.', "0.00"},
                    PatternCase{0.004, "0.00", '.', "0.00"},
                    PatternCase{1235.0, "###0.####", '.', "1235"},
                    PatternCase{0.00001, "###0.####", '.', "0"},
                    PatternCase{1234.56789, "###0.####", '.', "1234.5679"},
                    PatternCase{0.0024, "0.###", '.', "0.002"},
                    PatternCase{-2.5, "0.####", '.', "-2.5"},
                    PatternCase{2.4e-3, "0.0##### e-00", '.', "2.4 e-03"},
                    PatternCase{-2.4e-3, "0.0##### e-00", '.', "-2.4 e-03"},
                    PatternCase{1.85e-2, "0.0##### e-00", ',', "1,85 e-02"},
                    PatternCase{1235.0, "0.0##### e-00", '.', "1.235 e03"},
                    PatternCase{1.23456789e-5, "0.0##### e-00", '.', "1.234568 e-05"},
                    PatternCase{9.99999999, "0.0##### e-00", '.', "1.0 e01"},
                    PatternCase{1e100, "0.0##### e-00", '.', "1.0 e100"},
                    PatternCase{0.0, "0.0##### e-00", '.', "0.0 e00"},
                    PatternCase{1235.0, "0.00E+000", '.', "1.24E+003"}));

struct ParseFloatCase
{
    const char *text;
    char separator;
    long double expected;
};

void PrintTo(const ParseFloatCase &c, std::ostream *os)
{
    *os << '"' << c.text << '"';
}

class ParseFloatTest : public testing::TestWithParam<ParseFloatCase>
{
};

TEST_P(ParseFloatTest, ReadsNearestExtendedValue)
{
    const ParseFloatCase &c = GetParam();
    EXPECT_EQ(parseFloat(c.text, c.separator), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseFloatTest,
    testing::Values(ParseFloatCase{"0.65", '.', 0.65L}, // not the double 0.65
                    ParseFloatCase{" 1.5E-7 ", '.', 1.5e-7L},
                    ParseFloatCase{"0,65", ',', 0.65L},
                    ParseFloatCase{"-.5", '.', -0.5L},
                    ParseFloatCase{"5.", '.', 5.0L},
                    ParseFloatCase{"+1e4", '.', 1e4L},
                    ParseFloatCase{"1e400", '.', 1e400L},
                    ParseFloatCase{"14387.752", '.', 14387.752L}));

class ParseFloatRefusalTest : public testing::TestWithParam<std::pair<const char *, char>>
{
};

TEST_P(ParseFloatRefusalTest, RaisesConvertErrorWithText)
{
    const auto &[text, separator] = GetParam();
    try {
        parseFloat(text, separator);
        FAIL() << "accepted " << text;
    } catch (const ConvertError &e) {
        EXPECT_EQ(std::string(e.what()),
                  "'" + std::string(text) + "' is not a valid floating point value");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ParseFloatRefusalTest,
                         testing::Values(std::pair{"", '.'}, std::pair{"abc", '.'},
                                         std::pair{"0,65", '.'}, std::pair{"0.65", ','},
                                         std::pair{"1 2", '.'}, std::pair{"1e", '.'},
                                         std::pair{"+", '.'}, std::pair{".", '.'},
                                         std::pair{"0.65//x", '.'}, std::pair{"1e5000", '.'},
                                         std::pair{"INF", '.'}));

TEST(ParseIntTest, ReadsWholeNumbersWithinInt)
{
    const std::pair<const char *, int> cases[] = {
        {"42", 42}, {" -7 ", -7}, {"+3", 3}, {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1}};
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(parseInt(text), expected) << text;
}

TEST(ParseIntTest, RaisesConvertErrorForAnythingElse)
{
    for (const char *text : {"", "3.0", "1e3", "2147483648", "-2147483649", "99999999999999999999",
                             "12a", "-"}) {
        try {
            parseInt(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const ConvertError &e) {
            EXPECT_EQ(std::string(e.what()),
                      "'" + std::string(text) + "' is not a valid integer value");
        }
    }
}

} // namespace
} // namespace kelvora
