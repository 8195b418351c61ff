#include "textio/signals.h"

#include "tempdir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace kelvora {
namespace {

using test::TempDirTest;

enum class Outcome { Accepted, CountRefused, Refused, ReadError };

struct SignalListCase
{
    const char *name;
    std::string text;
    Outcome outcome;
    std::vector<long double> signals = {};
    // Refused: the message; ReadError: the line after the first that says why, if any.
    std::string message = {};
    char separator = '.';
};

void PrintTo(const SignalListCase &c, std::ostream *os)
{
    *os << c.name;
}

std::string listOf(int count)
{
    std::string text = std::to_string(count) + "\r\n";
    for (int i = 1; i <= count; ++i)
        text += std::to_string(i) + "e-4\r\n";
    return text;
}

const SignalListCase Cases[] = {
    {"Example", "2      // number of signals\r\n3.1E-3\r\n7.9E-3\r\n", Outcome::Accepted,
     {3.1E-3L, 7.9E-3L}},
    {"CommentsAndBlankLines", "\r\n 2 signals\n\n3.1E-3 first\r\n\t7.9E-3\tsecond\r\n",
     Outcome::Accepted, {3.1E-3L, 7.9E-3L}},
    {"CountOne", "1\r\n0.5\r\n", Outcome::Accepted, {0.5L}},
    {"LinesAfterLastSignalIgnored", "1\r\n0.5\r\nnot a number\r\n", Outcome::Accepted, {0.5L}},
    {"ShortListFilledWithZeros", "5\r\n1e-3\r\n2e-3\r\n3e-3\r\n", Outcome::Accepted,
     {1e-3L, 2e-3L, 3e-3L, 0.0L, 0.0L}},
    {"ZeroAndNegativeSignals", "3\r\n0\r\n-1.5\r\n-0\r\n", Outcome::Accepted,
     {0.0L, -1.5L, 0.0L}},
    // As many editors write a UTF-8 file.
    {"ByteOrderMark", "\xEF\xBB\xBF" "2\r\n3.1E-3\r\n7.9E-3\r\n", Outcome::Accepted,
     {3.1E-3L, 7.9E-3L}},
    {"ByteOrderMarkAlone", "\xEF\xBB\xBF", Outcome::CountRefused},
    // Signals that a double holds as they are, and those it would make 0, hold without their
    // precision or not hold at all: refused naming the signal and its value.
    {"SmallestNormalAndLargestDouble",
     "3\r\n2.2250738585072014e-308\r\n-1.7976931348623157e308\r\n0\r\n", Outcome::Accepted,
     {2.2250738585072014e-308L, -1.7976931348623157e308L, 0.0L}},
    {"SignalZeroOnceStored", "2\r\n1e-3\r\n1e-4000\r\n", Outcome::Refused, {},
     "Signal 2 is too small to be stored: 1E-4000 (the smallest is 2.2250738585072E-308)"},
    {"SignalSubnormalOnceStored", "1\r\n-1e-320\r\n", Outcome::Refused, {},
     "Signal 1 is too small to be stored: -1E-320 (the smallest is 2.2250738585072E-308)"},
    {"SignalBeyondDoubles", "3\r\n1\r\n2\r\n1.8e308\r\n", Outcome::Refused, {},
     "Signal 3 is too large to be stored: 1.8E308 (the largest is 1.79769313486232E308)"},
    {"SignalMessageWithComma", "1\r\n2.5e-320\r\n", Outcome::Refused, {},
     "Signal 1 is too small to be stored: 2,5E-320 (the smallest is 2,2250738585072E-308)",
     ','},
    {"CountZero", "0\r\n1e-3\r\n", Outcome::CountRefused},
    {"CountNegative", "-1\r\n1e-3\r\n", Outcome::CountRefused},
    {"Count1001", listOf(1001), Outcome::CountRefused},
    {"Count65537", "65537\r\n1e-3\r\n", Outcome::CountRefused},
    {"EmptyFile", "", Outcome::CountRefused},
    {"CountWithPoint", "2.0\r\n1e-3\r\n2e-3\r\n", Outcome::ReadError},
    {"InvalidSignal", "2\r\n1e-3\r\n2,5e-3\r\n", Outcome::ReadError},
    {"SignalTouchingComment", "1\r\n1e-3//x\r\n", Outcome::ReadError},
    {"ResultsFileLoadedAsList",
     "Number of interpolated temperatures: 1\r\n  Signal                  Temperature(K)\r\n",
     Outcome::ReadError},
    {"LongestComment", "1 " + std::string(MaxLineLength - 2, 'c') + "\n0.5\n",
     Outcome::Accepted, {0.5L}},
    {"LongerComment", "1 " + std::string(MaxLineLength - 1, 'c') + "\n0.5\n",
     Outcome::ReadError, {}, "Its line 1 is longer than 64 KiB, the most a line may hold"},
    {"LongerSignalLine", "2\n0.25 " + std::string(MaxLineLength - 4, 'c') + "\n0.5\n",
     Outcome::ReadError, {}, "Its line 2 is longer than 64 KiB, the most a line may hold"},
    {"EndlessLastLine", "2\n0.5\n0.25 " + std::string(4 * MaxLineLength, 'x'),
     Outcome::Accepted, {0.5L, 0.25L}},
};

class SignalListTest : public TempDirTest, public testing::WithParamInterface<SignalListCase>
{
};

TEST_P(SignalListTest, ReadsOrRefuses)
{
    const SignalListCase &c = GetParam();
    const std::string path = writeFile("signals.txt", c.text);
    if (c.outcome == Outcome::Accepted) {
        EXPECT_EQ(readSignalList(path, c.separator), c.signals);
        return;
    }
    try {
        readSignalList(path, c.separator);
        FAIL() << "list accepted";
    } catch (const RecordFileError &e) {
        switch (c.outcome) {
        case Outcome::CountRefused:
            EXPECT_EQ(e.kind(), RecordFileError::Kind::Check);
            EXPECT_EQ(std::string(e.what()), "Number of signals must be from 1 to 1000\r"
                                             "Check the first line in the file " + path);
            break;
        case Outcome::Refused:
            EXPECT_EQ(e.kind(), RecordFileError::Kind::Check);
            EXPECT_EQ(std::string(e.what()), c.message);
            break;
        default:
            EXPECT_EQ(e.kind(), RecordFileError::Kind::Read);
            EXPECT_EQ(std::string(e.what()), "Error in reading file " + path
                                                 + (c.message.empty() ? "" : "\r" + c.message));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, SignalListTest, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<SignalListCase> &info) {
                             return std::string(info.param.name);
                         });

class SignalListFileTest : public TempDirTest
{
};

TEST_F(SignalListFileTest, ReadsAThousandSignals)
{
    const std::vector<long double> signals = readSignalList(writeFile("s.txt", listOf(1000)), '.');
    ASSERT_EQ(signals.size(), 1000u);
    EXPECT_EQ(signals.front(), 1e-4L);
    EXPECT_EQ(signals.back(), 1000e-4L);
}

TEST_F(SignalListFileTest, AnEndlessDeviceIsAReadingFailure)
{
    try {
        readSignalList("/dev/zero", '.');
        FAIL() << "an endless line read";
    } catch (const RecordFileError &e) {
        EXPECT_EQ(e.kind(), RecordFileError::Kind::Read);
        EXPECT_EQ(std::string(e.what()), "Error in reading file /dev/zero\rIts line 1 is longer "
                                         "than 64 KiB, the most a line may hold");
    }
}

// A pipe that brings blank lines without end, as `yes ''` does: reading stops after 16 MiB.
TEST_F(SignalListFileTest, EndlessBlankLinesAreAReadingFailure)
{
    const std::string fifo = pathOf("endless");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    std::thread writer([&fifo] {
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        const std::string lines(64 * 1024, '\n');
        while (fd >= 0 && ::write(fd, lines.data(), lines.size()) > 0) {
        }
        ::close(fd);
    });
    std::string message;
    try {
        readSignalList(fifo, '.');
    } catch (const RecordFileError &e) {
        message = e.what();
    }
    writer.join();
    std::signal(SIGPIPE, previous);
    EXPECT_EQ(message, "Error in reading file " + fifo
                           + "\rIts numbers do not end within its first 16 MiB, more than any "
                             "record file or signal list holds");
}

TEST_F(SignalListFileTest, MissingFileIsAReadingFailure)
{
    const std::string path = pathOf("missing.txt");
    try {
        readSignalList(path, '.');
        FAIL() << "missing file read";
    } catch (const RecordFileError &e) {
        EXPECT_EQ(e.kind(), RecordFileError::Kind::Open);
        EXPECT_EQ(std::string(e.what()), "Error in reading file " + path);
    }
}

TEST(InterpolationResultsTest, WritesCountHeaderAndRows)
{
    const std::string text = interpolationResultsText({{2.4e-3, 1235.0}, {-1.5e-7, 0.0},
                                                       {1.85e-2, 1499.99996}});
    EXPECT_EQ(text, "Number of interpolated temperatures: 3\r\n"
                    "  Signal                  Temperature(K)\r\n"
                    " 2.40000000000000E-0003  1235.0000\r\n"
                    "-1.50000000000000E-0007     0.0000\r\n"
                    " 1.85000000000000E-0002  1500.0000\r\n");
}

TEST(InterpolationResultsTest, WritesEveryRow)
{
    const std::vector<std::pair<double, double>> rows(25, {1e-3, 1000.0});
    const std::string text = interpolationResultsText(rows);
    EXPECT_EQ(text.rfind("Number of interpolated temperatures: 25\r\n", 0), 0u);
    std::size_t lines = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", at + 2))
        ++lines;
    EXPECT_EQ(lines, 27u);
}

} // namespace
} // namespace kelvora
