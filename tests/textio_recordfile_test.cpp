#include "textio/recordfile.h"

#include "tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kelvora {
namespace {

using test::TempDirTest;

enum class Outcome { Accepted, Check, Read };

struct RecordCase
{
    const char *name;
    std::string text;
    Outcome outcome;
    // Check: the message; Read: the line after the one that names the file, if any.
    std::string message = {};
    char separator = '.';
};

void PrintTo(const RecordCase &c, std::ostream *os)
{
    *os << c.name;
}

std::string head(const std::string &meanWL, const std::string &bandwidth, const std::string &n)
{
    return meanWL + "   // Mean wavelength (um)\r\n" + bandwidth + "   // Bandwidth (um)\r\n" + n
           + "      // Number of reference temperatures\r\n";
}

const std::string Points = "2.4E-3   1235.0\r\n6.1E-3   1358.0\r\n1.85E-2  1500.0\r\n";
const std::string Example = head("0.65", "0.01", "3") + Points;

std::string twentyPoints()
{
    std::string rows;
    for (int i = 1; i <= 20; ++i)
        rows += std::to_string(i) + "e-3 " + std::to_string(1000 + 10 * i) + "\r\n";
    return rows;
}

const std::string WavelengthMessage = "Mean wavelength is out of range [0.1, 1000.0] \u00b5m";
const std::string BandwidthMessage = "Bandwidth is out of range [0, 0.5500] \u00b5m";
const std::string CountMessage = "Number of reference blackbodies is out of range [3, 20]";
const std::string SignalMessage = "Signals must be positive";
const std::string TemperatureMessage = "Temperatures must be from 100.0 K to 4000.0 K";

// Why a line cannot be read.
std::string LongLine(int line)
{
    return "Its line " + std::to_string(line) + " is longer than 64 KiB, the most a line may hold";
}

const RecordCase Cases[] = {
    {"Example", Example, Outcome::Accepted},
    {"LfLineEnds", "0.65\n0.01\n3\n2.4E-3 1235\n6.1E-3 1358\n1.85E-2 1500", Outcome::Accepted},
    {"BlankFirstLine", "\r\n" + Example, Outcome::Accepted},
    {"TabsAndBlankLines", "\t 0.65\t// a\r\n\r\n  \r\n0.01 b\r\n\t3\r\n" + Points,
     Outcome::Accepted},
    {"PointOnTwoLines",
     head("0.65", "0.01", "3") + "2.4E-3\r\n 1235.0\r\n6.1E-3 1358\r\n1e-2 1500",
     Outcome::Accepted},
    {"LinesAfterLastPointIgnored", Example + "garbage 0,5\r\n-1 -1\r\n", Outcome::Accepted},
    {"OtherRealForms", head(".65", "+1e-2", "+3") + "2.4e-3 1.235E3\r\n6.1E-3 1358.\r\n"
                                                    "1.85E-2 +1500\r\n",
     Outcome::Accepted},
    {"LambdaLowest", head("0.1", "0", "3") + Points, Outcome::Accepted},
    {"LambdaHighest", head("1000", "0.01", "3") + Points, Outcome::Accepted},
    {"BandwidthHighest", head("0.65", "0.55", "3") + Points, Outcome::Accepted},
    {"TwentyPoints", head("0.65", "0.01", "20") + twentyPoints(), Outcome::Accepted},
    {"TemperatureBounds", head("0.65", "0.01", "3") + "1e-5 100\r\n1e-3 4000\r\n2e-3 2000\r\n",
     Outcome::Accepted},
    // Below 100 in extended precision, 100 once rounded to double.
    {"TemperatureCheckedAsDouble",
     head("0.65", "0.01", "3") + "1e-5 99.99999999999999999\r\n1e-3 4000\r\n2e-3 2000\r\n",
     Outcome::Accepted},
    // Positive in extended precision, but a double holds it as 0 or without its precision, or
    // cannot hold it: refused naming the point and the value.
    {"SignalZeroOnceStored", head("0.65", "0.01", "3") + "1e-400 1235\r\n" + Points,
     Outcome::Check,
     "Signal of point 1 is too small to be stored: 1E-400 (the smallest is 2.2250738585072E-308)"},
    {"SignalDenormalOnceStored", head("0.65", "0.01", "3")
                                     + "2.4E-3 1235\r\n1e-310 1358\r\n3e-3 1500\r\n",
     Outcome::Check,
     "Signal of point 2 is too small to be stored: 1E-310 (the smallest is 2.2250738585072E-308)"},
    {"SignalSmallestNormal", head("0.65", "0.01", "3") + "2.2250738585072014e-308 1235\r\n"
     + Points, Outcome::Accepted},
    {"SignalLargestDouble", head("0.65", "0.01", "3") + "1.7976931348623157e308 1235\r\n"
     + Points, Outcome::Accepted},
    {"SignalBeyondDoubles", head("0.65", "0.01", "3") + "1.8e308 1235\r\n" + Points,
     Outcome::Check,
     "Signal of point 1 is too large to be stored: 1.8E308 (the largest is 1.79769313486232E308)"},
    {"SignalMessageWithComma", head("0.65", "0.01", "3") + "2.5e-320 1235\r\n" + Points,
     Outcome::Check,
     "Signal of point 1 is too small to be stored: 2,5E-320 (the smallest is "
     "2,2250738585072E-308)",
     ','},
    // A u(T) likewise: one stored as 0 would make U vanish, a subnormal one the Birge ratio
    // infinite.
    {"UncertaintyZeroOnceStored", head("0.65", "0.01", "3") + "2.4E-3 1235 1e-4000\r\n" + Points,
     Outcome::Check,
     "Uncertainty of the temperature of point 1 is too small to be stored: 1E-4000 (the "
     "smallest is 2.2250738585072E-308)"},
    {"UncertaintySubnormalOnceStored",
     head("0.65", "0.01", "3") + "2.4E-3 1235 5\r\n6.1E-3 1358 1e-320 // mK\r\n1e-2 1500\r\n",
     Outcome::Check,
     "Uncertainty of the temperature of point 2 is too small to be stored: 1E-320 (the "
     "smallest is 2.2250738585072E-308)"},
    {"UncertaintyBeyondDoubles", head("0.65", "0.01", "3") + "2.4E-3 1235 1e400\r\n" + Points,
     Outcome::Check,
     "Uncertainty of the temperature of point 1 is too large to be stored: 1E400 (the largest "
     "is 1.79769313486232E308)"},
    {"UncertaintyMessageWithComma",
     head("0.65", "0.01", "3") + "2.4E-3 1235 2.5e-320\r\n" + Points, Outcome::Check,
     "Uncertainty of the temperature of point 1 is too small to be stored: 2,5E-320 (the "
     "smallest is 2,2250738585072E-308)",
     ','},
    {"UncertaintySmallestNormal",
     head("0.65", "0.01", "3") + "2.4E-3 1235 2.2250738585072014e-308\r\n" + Points,
     Outcome::Accepted},

    {"LambdaAboveRange", head("1000.5", "0.01", "3") + Points, Outcome::Check, WavelengthMessage},
    {"LambdaBelowRange", head("0.0999", "0", "3") + Points, Outcome::Check, WavelengthMessage},
    {"LambdaMessageWithComma", head("1000.5", "0.01", "3") + Points, Outcome::Check,
     "Mean wavelength is out of range [0,1, 1000,0] \u00b5m", ','},
    {"EmptyFile", "", Outcome::Check, WavelengthMessage},
    {"BandwidthAboveLimit", head("0.65", "0.56", "3") + Points, Outcome::Check, BandwidthMessage},
    {"BandwidthNegative", head("0.65", "-0.01", "3") + Points, Outcome::Check, BandwidthMessage},
    {"BandwidthMessageWithComma", head("0.65", "0.56", "3") + Points, Outcome::Check,
     "Bandwidth is out of range [0, 0,5500] \u00b5m", ','},
    {"BandwidthLimitFollowsLambda", head("1000", "999.95", "3") + Points, Outcome::Check,
     "Bandwidth is out of range [0, 999.9000] \u00b5m"},
    // A bare CR does not end the line: the bandwidth is the comment's, the count is read next.
    {"BareCarriageReturn", "0.65 // wl\r0.01\r\n3\r\n" + Points, Outcome::Check,
     BandwidthMessage},
    {"CountTwo", head("0.65", "0.01", "2") + Points, Outcome::Check, CountMessage},
    {"CountZero", head("0.65", "0.01", "0") + Points, Outcome::Check, CountMessage},
    {"CountNegative", head("0.65", "0.01", "-3") + Points, Outcome::Check, CountMessage},
    {"CountTwentyOne", head("0.65", "0.01", "21") + twentyPoints() + "1 1000\r\n",
     Outcome::Check, CountMessage},
    {"Count259", head("0.65", "0.01", "259") + Points, Outcome::Check, CountMessage},
    {"SignalZero", head("0.65", "0.01", "3") + "0 1235\r\n" + Points, Outcome::Check,
     SignalMessage},
    {"SignalNegative", head("0.65", "0.01", "3") + "-2.4E-3 1235\r\n" + Points, Outcome::Check,
     SignalMessage},
    {"EndsAfterCount", head("0.65", "0.01", "3"), Outcome::Check, SignalMessage},
    {"TemperatureBelowRange", head("0.65", "0.01", "3") + "2.4E-3 99.99\r\n" + Points,
     Outcome::Check, TemperatureMessage},
    {"TemperatureAboveRange", head("0.65", "0.01", "3") + "2.4E-3 4000.01\r\n" + Points,
     Outcome::Check, TemperatureMessage},
    {"TemperatureMessageWithComma", head("0.65", "0.01", "3") + "2.4E-3 50\r\n" + Points,
     Outcome::Check, "Temperatures must be from 100,0 K to 4000,0 K", ','},
    {"LaterPointRefused", head("0.65", "0.01", "3") + "2.4E-3 1235\r\n6.1E-3 5000\r\n",
     Outcome::Check, TemperatureMessage},
    {"LastPointWithoutTemperature", head("0.65", "0.01", "3") + "2.4E-3 1235\r\n6.1E-3 1358\r\n"
                                                                "1.85E-2\r\n",
     Outcome::Check, TemperatureMessage},
    {"CheckComesBeforeLaterReadError", head("2000", "abc", "3") + Points, Outcome::Check,
     WavelengthMessage},
    {"UncertaintyZero", head("0.65", "0.01", "3") + "2.4E-3 1235 0\r\n" + Points,
     Outcome::Check, "Uncertainty of the temperature of point 1 must be a positive number of mK"},
    {"UncertaintyNegative", head("0.65", "0.01", "3") + "2.4E-3 1235 0.5\r\n6.1E-3 1358 -2\r\n"
                                                         "1.85E-2 1500\r\n",
     Outcome::Check, "Uncertainty of the temperature of point 2 must be a positive number of mK"},
    // The temperature is checked first.
    {"UncertaintyAfterTemperature", head("0.65", "0.01", "3") + "2.4E-3 50 -1\r\n" + Points,
     Outcome::Check, TemperatureMessage},

    {"DecimalComma", head("0,65", "0.01", "3") + Points, Outcome::Read},
    // As many editors write a UTF-8 file: the mark at the start is no part of the text, one
    // further on is.
    {"ByteOrderMark", "\xEF\xBB\xBF" + Example, Outcome::Accepted},
    {"ByteOrderMarkNotAtTheStart", "\r\n\xEF\xBB\xBF" + Example, Outcome::Read},
    {"TwoByteOrderMarks", "\xEF\xBB\xBF\xEF\xBB\xBF" + Example, Outcome::Read},
    {"CommentTouchingNumber", head("0.65//x", "0.01", "3") + Points, Outcome::Read},
    {"CountWithPoint", head("0.65", "0.01", "3.0") + Points, Outcome::Read},
    {"CountWithExponent", head("0.65", "0.01", "3e0") + Points, Outcome::Read},
    {"CountBeyondInt", head("0.65", "0.01", "99999999999") + Points, Outcome::Read},
    {"ExponentWithoutDigits", head("0.65", "1e", "3") + Points, Outcome::Read},
    {"SignOnly", head("0.65", "-", "3") + Points, Outcome::Read},
    {"InvalidSignal", head("0.65", "0.01", "3") + "2.4E-3x 1235\r\n" + Points, Outcome::Read},
    // Both numbers of a point are read before either is checked.
    {"InvalidTemperatureAfterZeroSignal", head("0.65", "0.01", "3") + "0 T\r\n" + Points,
     Outcome::Read},
    {"ReportLoadedAsRecord", head("0.65", "0.01", "3") + "Record created: 2009-12-31\r\n"
                                                         "  Signal                  T(K)\r\n",
     Outcome::Read},
    // A line may be as long as 64 KiB, line end excluded; the rest of the last point's line
    // is never read.
    {"LongestComment", "0.65 " + std::string(MaxLineLength - 5, 'c') + "\n0.01\n3\n" + Points,
     Outcome::Accepted},
    // A longer one is named with the limit.
    {"LongerComment", "0.65 " + std::string(MaxLineLength - 4, 'c') + "\n0.01\n3\n" + Points,
     Outcome::Read, LongLine(1)},
    {"LongBlankRunBeforeANumber", std::string(MaxLineLength + 1, ' ') + Example, Outcome::Read,
     LongLine(1)},
    // A number as long as a line may be is read, and is none.
    {"LongNumber", head("0.65", std::string(MaxLineLength, '1'), "3") + Points, Outcome::Read},
    {"LongerNumber", head("0.65", std::string(MaxLineLength + 1, '1'), "3") + Points,
     Outcome::Read, LongLine(2)},
    {"LongPointLine",
     head("0.65", "0.01", "3") + "2.4E-3 1235 " + std::string(MaxLineLength, 'c') + "\n" + Points,
     Outcome::Read, LongLine(4)},
    {"EndlessLastLine",
     head("0.65", "0.01", "3") + "2.4E-3 1235\r\n6.1E-3 1358\r\n1.85E-2 1500 "
         + std::string(4 * MaxLineLength, '\0'),
     Outcome::Accepted},
};

class RecordFileTest : public TempDirTest, public testing::WithParamInterface<RecordCase>
{
};

TEST_P(RecordFileTest, AcceptsOrRefusesWithMessage)
{
    const RecordCase &c = GetParam();
    const std::string path = writeFile("record.txt", c.text);
    if (c.outcome == Outcome::Accepted) {
        EXPECT_NO_THROW(readRecordFile(path, c.separator));
        return;
    }
    try {
        readRecordFile(path, c.separator);
        FAIL() << "file accepted";
    } catch (const RecordFileError &e) {
        if (c.outcome == Outcome::Check) {
            EXPECT_EQ(e.kind(), RecordFileError::Kind::Check);
            EXPECT_EQ(std::string(e.what()), c.message);
        } else {
            EXPECT_EQ(e.kind(), RecordFileError::Kind::Read);
            EXPECT_EQ(std::string(e.what()), "Error in reading file " + path
                                                 + (c.message.empty() ? "" : "\r" + c.message));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, RecordFileTest, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<RecordCase> &info) {
                             return std::string(info.param.name);
                         });

class RecordFileValuesTest : public TempDirTest
{
};

TEST_F(RecordFileValuesTest, KeepsExtendedValuesInFileOrder)
{
    const RecordFileData data = readRecordFile(writeFile("Lamp 3.txt", Example), '.');
    EXPECT_EQ(data.MeanWL, 0.65L);
    EXPECT_EQ(data.Bandwidth, 0.01L);
    EXPECT_EQ(data.N, 3);
    EXPECT_EQ(data.S, (std::vector<long double>{2.4E-3L, 6.1E-3L, 1.85E-2L}));
    EXPECT_EQ(data.T, (std::vector<long double>{1235.0L, 1358.0L, 1500.0L}));
}

struct UncertaintyCase
{
    const char *name;
    std::string points; // the three point lines
    std::vector<std::optional<long double>> uT;
    // What is quoted of each point's line that goes on with what looks like a number but is
    // not read as u(T); empty: nothing.
    std::vector<std::string> unread = {"", "", ""};
};

void PrintTo(const UncertaintyCase &c, std::ostream *os)
{
    *os << c.name;
}

const std::optional<long double> None;

// A third number on a point's line is u(T) in mK when nothing but a "//" comment follows it;
// any other third run is a comment, as in files written before uncertainties were read.
const UncertaintyCase UncertaintyCases[] = {
    {"NoneGiven", Points, {None, None, None}},
    {"EveryPoint", "2.4E-3 1235.0 0.5\r\n6.1E-3 1358.0 1.5E0\r\n1.85E-2 1500.0\t12",
     {0.5L, 1.5L, 12.0L}},
    {"FollowedByAComment", "2.4E-3 1235.0 0.5 // u(T) in mK\r\n6.1E-3 1358.0 .7 //\r\n"
                           "1.85E-2 1500.0 3 //",
     {0.5L, 0.7L, 3.0L}},
    // Comments as files written before u(T) was read have them stay comments, but what of
    // them looks like a number is said.
    {"CommentsThatBeginWithANumber",
     "2.4E-3 1235.0 1 of 3 runs\r\n6.1E-3 1358.0 2nd cell\r\n1.85E-2 1500.0 0.5 mK",
     {None, None, None}, {"1 of 3 runs", "2nd cell", "0.5 mK"}},
    {"WordsAndTouchingComments",
     "2.4E-3 1235.0 Cu point\r\n6.1E-3 1358.0 0.5//x\r\n1.85E-2 1500.0 // 0.5",
     {None, None, None}, {"", "0.5//x", ""}},
    {"UnitAfterTheNumber", "2.4E-3 1235.0 5 mK\r\n6.1E-3 1358.0 5mK\r\n1.85E-2 1500.0 5 // mK",
     {None, None, 5.0L}, {"5 mK", "5mK", ""}},
    {"DecimalCommaAndNotANumber",
     "2.4E-3 1235.0 5,0\r\n6.1E-3 1358.0 NaN\r\n1.85E-2 1500.0 -inf",
     {None, None, None}, {"5,0", "NaN", "-inf"}},
    {"FullWidthDigitsAndSigns",
     "2.4E-3 1235.0 \xEF\xBC\x95\r\n6.1E-3 1358.0 \xC2\xB1" "0.5\r\n"
     "1.85E-2 1500.0 .5.",
     {None, None, None}, {"\xEF\xBC\x95", "\xC2\xB1" "0.5", ".5."}},
    // Characters that show nothing beside the number are shown in the quote.
    {"InvisibleCharactersBesideTheNumber",
     "2.4E-3 1235.0 5\xC2\xA0\r\n6.1E-3 1358.0 \xE2\x80\x8B" "5\r\n"
     "1.85E-2 1500.0 \xE2\x80\x8F" "5 // mK",
     {None, None, None}, {"5<U+00A0>", "<U+200B>5", "<U+200F>5 // mK"}},
    {"CommentTouchingTheNumber", "2.4E-3 1235.0 10//c\r\n6.1E-3 1358.0 10 //c\r\n"
                                 "1.85E-2 1500.0 10 c//",
     {None, 10.0L, None}, {"10//c", "", "10 c//"}},
    // A long line is quoted in part.
    {"LongComment",
     "2.4E-3 1235.0 1 " + std::string(100, 'x') + "\r\n6.1E-3 1358.0\r\n1.85E-2 1500.0",
     {None, None, None}, {"1 " + std::string(38, 'x') + "...", "", ""}},
    {"TemperatureOnALineOfItsOwn", "2.4E-3\r\n1235.0 0.25\r\n6.1E-3 1358.0\r\n0.3 1500.0",
     {0.25L, None, None}},
    {"SomePoints", "2.4E-3 1235.0\r\n6.1E-3 1358.0 0.8\n1.85E-2 1500.0", {None, 0.8L, None}},
};

class RecordFileUncertainties : public TempDirTest,
                                public testing::WithParamInterface<UncertaintyCase>
{
};

TEST_P(RecordFileUncertainties, AreTheThirdNumberOfAPointsLine)
{
    const UncertaintyCase &c = GetParam();
    const RecordFileData data =
        readRecordFile(writeFile("r.txt", head("0.65", "0.01", "3") + c.points), '.');
    EXPECT_EQ(data.uT, c.uT);
    std::vector<std::string> unread;
    for (std::size_t point = 0; point < c.unread.size(); ++point) {
        if (!c.unread[point].empty())
            unread.push_back("Point " + std::to_string(point + 1) + ": '" + c.unread[point]
                             + "' after the temperature is not read as u(T)");
    }
    EXPECT_EQ(data.unreadUncertainties, unread);
    // The points themselves are read as before.
    EXPECT_EQ(data.S, (std::vector<long double>{2.4E-3L, 6.1E-3L, c.points.find("0.3 1500")
                                                                     != std::string::npos
                                                                 ? 0.3L
                                                                 : 1.85E-2L}));
    EXPECT_EQ(data.T, (std::vector<long double>{1235.0L, 1358.0L, 1500.0L}));
}

INSTANTIATE_TEST_SUITE_P(Files, RecordFileUncertainties, testing::ValuesIn(UncertaintyCases),
                         [](const testing::TestParamInfo<UncertaintyCase> &info) {
                             return std::string(info.param.name);
                         });

// What is not read as u(T) is said in one message, a line per point and what a u(T) must be.
TEST_F(RecordFileValuesTest, UnreadUncertaintiesAreOneMessage)
{
    EXPECT_EQ(unreadUncertaintiesText(readRecordFile(writeFile("r.txt", Example), '.')), "");
    const RecordFileData data = readRecordFile(
        writeFile("u.txt", head("0.65", "0.01", "3")
                               + "2.4E-3 1235.0 5 mK\r\n6.1E-3 1358.0 1\r\n1.85E-2 1500 5,0"),
        '.');
    EXPECT_EQ(unreadUncertaintiesText(data),
              "Point 1: '5 mK' after the temperature is not read as u(T)\r"
              "Point 3: '5,0' after the temperature is not read as u(T)\r"
              "A u(T) in mK is a number written with a full stop, followed on its line by "
              "nothing or by a // comment; anything else after the temperature is a comment.");
}

TEST_F(RecordFileValuesTest, ReadsNoFurtherThanTheCountSays)
{
    const RecordFileData data =
        readRecordFile(writeFile("r.txt", head("0.65", "0.01", "3") + Points + "9e-2 1600\r\n"),
                       '.');
    EXPECT_EQ(data.N, 3);
    EXPECT_EQ(data.S.size(), 3u);
    EXPECT_EQ(data.T.back(), 1500.0L);
}

// A file far larger than the memory it may take, and a device without end.
TEST_F(RecordFileValuesTest, ReadsOnlyWhatTheFormatNeeds)
{
    const std::string huge = writeFile("huge.txt", Example);
    std::filesystem::resize_file(huge, std::uintmax_t{64} << 30); // sparse: costs no disk
    EXPECT_EQ(readRecordFile(huge, '.').N, 3);

    try {
        readRecordFile("/dev/zero", '.');
        FAIL() << "an endless line read";
    } catch (const RecordFileError &e) {
        EXPECT_EQ(e.kind(), RecordFileError::Kind::Read);
        EXPECT_EQ(std::string(e.what()), "Error in reading file /dev/zero\r" + LongLine(1));
    }
}

// Blank lines are skipped before a number, but not without end: reading stops after 16 MiB,
// which no record file reaches before its last number.
TEST_F(RecordFileValuesTest, ReadsNoMoreThanSixteenMebibytes)
{
    const std::string blanks(MaxReadLength - Example.size(), '\n');
    EXPECT_EQ(readRecordFile(writeFile("within.txt", blanks + Example), '.').N, 3);

    const std::string path = writeFile("beyond.txt", std::string(MaxReadLength, '\n') + Example);
    try {
        readRecordFile(path, '.');
        FAIL() << "read beyond the limit";
    } catch (const RecordFileError &e) {
        EXPECT_EQ(e.kind(), RecordFileError::Kind::Read);
        EXPECT_EQ(std::string(e.what()),
                  "Error in reading file " + path
                      + "\rIts numbers do not end within its first 16 MiB, more than any record"
                        " file or signal list holds");
    }
}

TEST_F(RecordFileValuesTest, MissingFileIsAnOpenFailureNamingThePath)
{
    const std::string path = pathOf("missing.txt");
    try {
        readRecordFile(path, '.');
        FAIL() << "missing file read";
    } catch (const RecordFileError &e) {
        EXPECT_EQ(e.kind(), RecordFileError::Kind::Open);
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file " + path + ". No such file or directory");
    }
}

TEST_F(RecordFileValuesTest, UnreadableFileIsAReadError)
{
    const std::string path = pathOf("folder");
    std::filesystem::create_directory(path);
    try {
        readRecordFile(path, '.');
        FAIL() << "folder read as a file";
    } catch (const RecordFileError &e) {
        EXPECT_EQ(e.kind(), RecordFileError::Kind::Read);
        EXPECT_EQ(std::string(e.what()), "Error in reading file " + path);
    }
}

} // namespace
} // namespace kelvora
