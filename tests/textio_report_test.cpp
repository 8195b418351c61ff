#include "textio/report.h"

#include "core/errors.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kelvora {
namespace {

struct ReportCase
{
    const char *name;
    RecordReport report;
    std::string expected;
};

void PrintTo(const ReportCase &c, std::ostream *os)
{
    *os << c.name;
}

RecordReport uncomputed()
{
    RecordReport r;
    r.MeanWL = "0.65";
    r.Bandwidth = "0.01";
    r.Created = "2009-12-31 10:15:20";
    r.points = {{2.4e-3, 1235.0}, {6.1e-3, 1358.0}, {1.85e-2, 1500.0}};
    return r;
}

RecordReport computed()
{
    RecordReport r = uncomputed();
    r.Computed = true;
    r.Processed = "2010-01-05 08:00:01";
    r.ALM = "0.649876543210987";
    r.BLM = "0.0123";
    r.CLM = "1.5E-7";
    r.APSO = "0.64987654321";
    r.BPSO = "0.0124";
    r.CPSO = "1.6E-7";
    r.MeanRMSLM = 0.01234;
    r.MeanRMSPSO = 12.3456789;
    r.points = {{2.4e-3, 1235.0, 1235.0002, 1234.9999, 0.2, -0.1, 0.3},
                {6.1e-3, 1358.0, 1357.9998, 1358.0001, -0.2, 0.1, -0.3}};
    r.measurements = {{"1.5E-7", 0.0}, {"0.0061", 1358.00012}};
    return r;
}

std::string calibrationPart(const std::string &processed)
{
    return "*** CALIBRATION ******************************\r\n"
           "Record processed: " + processed + "\r\n"
           "Levenberg-Marquardt method:\r\n"
           "A = 0.649876543210987\r\n"
           "B = 0.0123\r\n"
           "C = 1.5E-7\r\n"
           "Mean RMS =    0.0123 mK\r\n"
           "Particle Swarm Optimization:\r\n"
           "A = 0.64987654321\r\n"
           "B = 0.0124\r\n"
           "C = 1.6E-7\r\n"
           "Mean RMS =   12.3457 mK\r\n"
           "  Signal                   T(K)       TLM(K)     TPSO (K)   TLM-T (mK) TPSO-T (mK) "
           "TLM-TPSO (mK)\r\n";
}

// The first four lines for a count of reference points and a decimal separator.
std::string opening(int count, char separator = '.')
{
    return std::string("0") + separator + "65  // Mean wavelength (um)\r\n0" + separator
           + "01  // Bandwidth (um)\r\n" + std::to_string(count)
           + "  // Number of reference temperatures\r\nRecord created: 2009-12-31 10:15:20\r\n";
}

const ReportCase Cases[] = {
    {"Uncomputed", uncomputed(),
     opening(3) + "  Signal                  T(K)\r\n"
                  " 2.40000000000000E-0003  1.23500000000000E+0003 \r\n"
                  " 6.10000000000000E-0003  1.35800000000000E+0003 \r\n"
                  " 1.85000000000000E-0002  1.50000000000000E+0003 \r\n"},
    {"NoPoints",
     [] {
         RecordReport r = uncomputed();
         r.points.clear();
         return r;
     }(),
     opening(0) + "  Signal                  T(K)\r\n"},
    {"UncomputedWithMeasurements",
     [] {
         RecordReport r = uncomputed();
         r.points.resize(1);
         r.measurements = {{"2.5E-3", 1241.5}};
         return r;
     }(),
     opening(1) + "  Signal                  T(K)\r\n"
                  " 2.40000000000000E-0003  1.23500000000000E+0003 \r\n"
                  "*** MEASUREMENTS ******************************\r\n"
                  "Number of interpolated points: 1\r\n"
                  "  Signal               T(K)\r\n"
                  "2.5E-3  1241.5000\r\n"},
    {"ComputedWithMeasurements", computed(),
     opening(2) + calibrationPart("2010-01-05 08:00:01")
         + " 2.40000000000000E-0003  1235.0000  1235.0002  1234.9999     0.2000    -0.1000     "
           "0.3000 \r\n"
           " 6.10000000000000E-0003  1358.0000  1357.9998  1358.0001    -0.2000     0.1000    "
           "-0.3000 \r\n"
           "*** MEASUREMENTS ******************************\r\n"
           "Number of interpolated points: 2\r\n"
           "  Signal               T(K)\r\n"
           "1.5E-7     0.0000\r\n"
           "0.0061  1358.0001\r\n"},
    // Field texts keep the user's separator, the tables the full stop; a wide value widens
    // its column; an empty processing time leaves the line bare.
    {"ComputedWithCommaAndWideValue",
     [] {
         RecordReport r = computed();
         r.MeanWL = "0,65";
         r.Bandwidth = "0,01";
         r.Processed.clear();
         r.points.resize(1);
         r.points[0].dTLM = 123456.78;
         r.measurements.clear();
         return r;
     }(),
     opening(1, ',') + calibrationPart("")
         + " 2.40000000000000E-0003  1235.0000  1235.0002  1234.9999 123456.7800    -0.1000     "
           "0.3000 \r\n"},
};

class RecordReportTest : public testing::TestWithParam<ReportCase>
{
};

TEST_P(RecordReportTest, WritesLayoutByteForByte)
{
    EXPECT_EQ(recordReportText(GetParam().report), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Reports, RecordReportTest, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<ReportCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(RecordReportLimitTest, MoreThanTwentyPointsIsARangeError)
{
    RecordReport r = uncomputed();
    r.points.resize(20);
    EXPECT_NO_THROW(recordReportText(r));
    r.points.resize(21);
    EXPECT_THROW(recordReportText(r), RangeError);
}

TEST(SafeFileNameTest, ReplacesCharactersAFileNameCannotHold)
{
    const std::pair<const char *, const char *> cases[] = {
        {"Lamp 3.1_12/31/2009 10:15:20 AM", "Lamp 3_1_12-31-2009 10-15-20 AM"},
        {"a/b:c?_01.02.2010 08:05:00", "a-b-c _01_02_2010 08-05-00"},
        {"x\\y*z", "x~y z"},
        {"Name_2009-12-31 10:15:20_", "Name_2009-12-31 10-15-20_"},
        {"plain name", "plain name"},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(SafeFileName(text), expected) << text;
}

} // namespace
} // namespace kelvora
