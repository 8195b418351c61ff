#include "casename.h"
#include "certificate/certificatepdf.h"
#include "certificate/logo.h"
#include "certificatecontent/certificate.h"
#include "core/errors.h"
#include "core/numfmt.h"
#include "records/laboratory.h"
#include "records/regularfile.h"
#include "tables/rows.h"
#include "tests/certificate_fixture.h"
#include "tests/pdftext.h"
#include "tests/tempdir.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <iterator>
#include <cstdio>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <tuple>
#include <utility>

namespace kelvora::test {
namespace {

using testcase::CaseName;
using testcase::PrintTo;

constexpr double PointsPerMillimetre = 72.0 / 25.4;

const DateTime IssueDate = fromCivil(CivilTime{2026, 3, 5, 9, 0, 0, 0});

// True when `printed` is `value` rounded to the digits printed: within half a unit of its
// last digit, and a little more for the rounding of the value itself.
::testing::AssertionResult printedAs(const std::string &printed, long double value)
{
    long double number = 0;
    if (!parseDecimal(printed, number))
        return ::testing::AssertionFailure() << "'" << printed << "' is not a number";
    // The unit of the last digit printed.
    const std::string digits = printed.substr(0, printed.find_first_of("Ee"));
    const std::size_t point = digits.find('.');
    int exponent = 0;
    if (const std::size_t e = printed.find_first_of("Ee"); e != std::string::npos)
        exponent = std::stoi(printed.substr(e + 1));
    const int decimals =
        point == std::string::npos ? 0 : static_cast<int>(digits.size() - point - 1);
    const long double unit = std::pow(10.0L, exponent - decimals);
    const long double slack = std::abs(value) * 1e-17L;
    if (std::abs(number - value) <= unit / 2 + slack)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "'" << printed << "' is not " << static_cast<double>(value) << " to its digits";
}

// The sections of a certificate's text by their headings, each its lines.
std::map<std::string, std::vector<std::string>> sectionsOf(const std::string &text)
{
    static const std::regex heading(
        R"(^\s*\d\s+(Item and customer|Method|Results|Calibration table|Measurements|)"
        R"(Uncertainty|Sign-off)\s*$)");
    std::map<std::string, std::vector<std::string>> sections;
    std::string current = "Header";
    for (const std::string &line : linesOf(text)) {
        std::smatch m;
        if (std::regex_match(line, m, heading))
            current = m[1];
        else
            sections[current].push_back(line);
    }
    return sections;
}

// The lines of a section that match the pattern, with its groups.
std::vector<std::smatch> rowsOf(const std::vector<std::string> &lines, const std::regex &row)
{
    std::vector<std::smatch> rows;
    for (const std::string &line : lines) {
        std::smatch m;
        if (std::regex_match(line, m, row))
            rows.push_back(m);
    }
    return rows;
}

class CertificatePdfTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        records.store.clock = [this] { return DateTime{m_clock += 1000}; };
        records.store.open();
    }

    void setLaboratory(const LaboratorySettings &laboratory)
    {
        records.store.setSettings(WithLaboratorySettings(records.store.settings(), laboratory));
    }

    // Issues the current record's certificate into `name` in the test's folder.
    std::string writeCertificate(const std::string &name, CertificateChoices choices = {})
    {
        const std::string path = pathOf(name);
        writeOutputFile(
            path, IssueCertificate(records, choices, IssueDate, pdfRendering(), [] {}).bytes,
            ExistingFile::Refuse);
        return path;
    }

    // Writes the document of data filled by hand.
    std::string writeDocument(const std::string &name, const CertificateData &data)
    {
        const std::string path = pathOf(name);
        writeOutputFile(path, renderCertificatePdf(CertificateDocumentOf(data)),
                        ExistingFile::Refuse);
        return path;
    }

    CertificateData collect(CertificateChoices choices = {})
    {
        return CollectCertificateData(records, PlanCertificateIssue(records, IssueDate),
                                      choices);
    }

    RecordStore records;

private:
    std::int64_t m_clock = 1767225600000;
};

// 100 signals across the reference range of the 20-point record and a little beyond it.
std::vector<long double> hundredSignals()
{
    TParamVector truth;
    truth[1] = 0.65L;
    truth[2] = 0.15L;
    truth[3] = 3e6L;
    std::vector<long double> signals;
    for (int i = 0; i < 100; ++i)
        signals.push_back(SHSignal(truth, 580.0L + 19.5L * i));
    return signals;
}

// Every number a certificate prints of the record, read back from the PDF: A, B, C, every
// reference point, every measurement, and every row of the calibration table against the
// equation worked out again from the printed A, B and C.
TEST_F(CertificatePdfTest, PrintsTheRecordsNumbersAndATableThatTheEquationGives)
{
    importComputedRecord(records, "Lamp 20", 20, hundredSignals());
    CertificateChoices choices;
    choices.method = FitMethod::LevenbergMarquardt; // the triple the measurements were done with
    const std::string path = writeCertificate("lamp.pdf", choices);
    const auto sections = sectionsOf(pdfText(path));
    const RecordRow main(records.cdsMain);

    const std::regex parameter(R"(\s*([ABC])\s+(\S+)\s.*)");
    std::map<std::string, std::string> printed;
    for (const std::smatch &m : rowsOf(sections.at("Results"), parameter))
        printed[m[1]] = m[2];
    ASSERT_EQ(printed.size(), 3u);
    const std::pair<const char *, double> parameters[] = {
        {"A", main.ALM()}, {"B", main.BLM()}, {"C", main.CLM()}};
    for (const auto &[name, stored] : parameters) {
        EXPECT_TRUE(printedAs(printed[name], stored)) << name;
        // 15 significant digits, unless the value has fewer.
        EXPECT_EQ(printed[name], formatGeneral(stored, 15)) << name;
    }

    const std::regex point(
        R"(\s*(\d+)\s+(\S+)\s+(\d+\.\d{4})\s+(\d+\.\d{4})\s+(-?\d+\.\d{2})\s*)");
    const auto points = rowsOf(sections.at("Results"), point);
    ASSERT_EQ(points.size(), 20u);
    Table &bb = records.cdsBB;
    for (const std::smatch &m : points) {
        bb.setRecNo(std::stoi(m[1]));
        const std::string where = "point " + m[1].str();
        const ReferencePointRow stored(bb);
        EXPECT_TRUE(printedAs(m[2], stored.S())) << where;
        EXPECT_TRUE(printedAs(m[3], stored.T())) << where;
        EXPECT_TRUE(printedAs(m[4], stored.TLM())) << where;
        EXPECT_TRUE(printedAs(m[5], stored.dTLM())) << where;
    }

    long double A = 0, B = 0, C = 0;
    ASSERT_TRUE(parseDecimal(printed["A"], A) && parseDecimal(printed["B"], B)
                && parseDecimal(printed["C"], C));
    const auto rows =
        rowsOf(sections.at("Calibration table"), std::regex(R"(\s*(\d+)\s+(\S+)\s*)"));
    // 600 K to 2500 K every 50 K.
    ASSERT_EQ(rows.size(), 39u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int T = 600 + 50 * static_cast<int>(i);
        EXPECT_EQ(std::stoi(rows[i][1]), T);
        EXPECT_TRUE(printedAs(rows[i][2], signalAt(A, B, C, T))) << T << " K";
    }

    const std::regex measurement(R"(\s*(\d+)\s+(\S+)\s+(\S+)\s*(.*))");
    const auto measured = rowsOf(sections.at("Measurements"), measurement);
    ASSERT_EQ(measured.size(), 100u);
    Table &interp = records.cdsInterp;
    int outside = 0;
    for (const std::smatch &m : measured) {
        interp.setRecNo(std::stoi(m[1]));
        const std::string where = "measurement " + m[1].str();
        const double S = MeasurementRow(interp).S();
        const double T = MeasurementRow(interp).T();
        EXPECT_TRUE(printedAs(m[2], S)) << where;
        EXPECT_TRUE(printedAs(m[3], T)) << where;
        const bool out = S < main.SMin() || S > main.SMax() || T < main.TMin() || T > main.TMax();
        EXPECT_EQ(m[4].str().find("out of range") != std::string::npos, out) << where;
        outside += out;
    }
    EXPECT_GT(outside, 0);
    EXPECT_LT(outside, 100);
}

// Each page says which it is and of how many, with the certificate's number; a table that
// goes on over a page starts again with its header.
TEST_F(CertificatePdfTest, EveryPageIsNumberedAndContinuedTablesRepeatTheirHeader)
{
    importComputedRecord(records, "Lamp 20", 20, hundredSignals());
    CertificateChoices choices;
    choices.step = 10; // 191 rows
    const std::string path = writeCertificate("lamp.pdf", choices);
    const int pages = pdfPageCount(path);
    ASSERT_GE(pages, 5);
    const std::regex tableRow(R"(\s*\d{3,4}\s+\S+\s*)");
    const std::regex tableHeader(R"(\s*T \(K\)\s+Signal S\s*)");
    const std::regex measurementRow(R"(\s*\d+\s+\S+\s+\d+\.\d{4}(\s+[a-z].*)?\s*)");
    const std::regex measurementHeader(R"(\s*No\.\s+Signal S\s+T \(K\)\s+Remark\s*)");
    int tablePages = 0;
    int measurementPages = 0;
    for (int page = 1; page <= pages; ++page) {
        const std::string text = pdfText(path, page);
        EXPECT_NE(text.find(PageNumberText(page, pages)), std::string::npos) << page;
        EXPECT_NE(text.find("Calibration Certificate KV-2026-0001"), std::string::npos) << page;
        for (const auto &[row, header, count] :
             {std::tuple{&tableRow, &tableHeader, &tablePages},
              std::tuple{&measurementRow, &measurementHeader, &measurementPages}}) {
            bool headerSeen = false;
            bool rowsSeen = false;
            for (const std::string &line : linesOf(text)) {
                headerSeen = headerSeen || std::regex_match(line, *header);
                if (std::regex_match(line, *row)) {
                    EXPECT_TRUE(headerSeen) << "a row before its header on page " << page;
                    rowsSeen = true;
                }
            }
            *count += rowsSeen;
        }
    }
    EXPECT_GE(tablePages, 3);
    EXPECT_GE(measurementPages, 2);
}

TEST_F(CertificatePdfTest, DeclaresPdfA1bAndEmbedsEveryFont)
{
    importComputedRecord(records, "Lamp", 7, {0.2L});
    const std::string path = writeCertificate("lamp.pdf");
    const std::string bytes = readWholeFile(path);
    EXPECT_NE(bytes.find("pdfaid:part=\"1\""), std::string::npos);
    EXPECT_NE(bytes.find("pdfaid:conformance=\"B\""), std::string::npos);
    EXPECT_NE(bytes.find("/GTS_PDFA1"), std::string::npos);
    EXPECT_EQ(pdfInfo(path, "Title"), "Calibration Certificate KV-2026-0001");

    // pdffonts: a header of two lines, then a line per font whose "emb" column says yes.
    const std::vector<std::string> fonts = linesOf(toolOutput({"pdffonts", path}));
    ASSERT_GE(fonts.size(), 4u) << "a regular and a bold face";
    const std::size_t emb = fonts[0].find("emb");
    ASSERT_NE(emb, std::string::npos);
    for (std::size_t i = 2; i < fonts.size(); ++i)
        EXPECT_EQ(fonts[i].substr(emb, 3), "yes") << fonts[i];
}

// A PNG of the given size on a transparent ground with a filled circle.
std::string logoPng(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setBrush(QColor(0, 90, 160));
    painter.drawEllipse(image.rect().adjusted(2, 2, -2, -2));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

struct PictureCase
{
    const char *name;
    bool logo;
    int images;
};

const PictureCase PictureCases[] = {{"WithoutLogo", false, 0}, {"WithLogo", true, 1}};

class CertificatePictures : public CertificatePdfTest,
                            public ::testing::WithParamInterface<PictureCase>
{
};

// The only picture a certificate holds is the laboratory's logo: the chart is lines and text.
TEST_P(CertificatePictures, TheChartIsNoPicture)
{
    LaboratorySettings laboratory;
    if (GetParam().logo)
        laboratory.logo = logoPng(400, 200);
    setLaboratory(laboratory);
    importComputedRecord(records, "Lamp", 7);
    const std::string path = writeCertificate("lamp.pdf");
    // pdfimages -list: two header lines, then a line per picture.
    const auto images = linesOf(toolOutput({"pdfimages", "-list", path}));
    ASSERT_GE(images.size(), 2u);
    EXPECT_EQ(images.size() - 2, static_cast<std::size_t>(GetParam().images));
    EXPECT_NE(pdfText(path).find("Deviation of the fitted from the reference"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Logos, CertificatePictures, ::testing::ValuesIn(PictureCases),
                         CaseName);

TEST(LogoTest, OnlyAPictureOfAtMostTwoMegabytesAndFourThousandPixelsIsALogo)
{
    EXPECT_EQ(logoRefusal(logoPng(64, 32)), "");
    EXPECT_NE(logoRefusal("not a picture").find("holds no picture"), std::string::npos);
    EXPECT_NE(logoRefusal(std::string(2 * 1024 * 1024 + 1, 'x')).find("larger than 2 MB"),
              std::string::npos);
    EXPECT_EQ(logoRefusal(logoPng(4000, 10)), "");
    for (const auto &[width, height] : {std::pair(4001, 10), std::pair(10, 4001)})
        EXPECT_EQ(logoRefusal(logoPng(width, height)),
                  "The logo's picture is larger than 4000 x 4000 pixels")
            << width << " x " << height;
}

// A logo of the most pixels, its noise beyond any compression, in a file just under the
// largest: the certificate embeds it no finer than 300 pixels an inch of its printed box and
// stays under 1 MB.
TEST_F(CertificatePdfTest, TheLargestLogoKeepsTheCertificateUnderOneMegabyte)
{
    QImage noise(4000, 4000, QImage::Format_Mono);
    std::mt19937 random(24);
    for (int y = 0; y < noise.height(); ++y) {
        uchar *line = noise.scanLine(y);
        for (qsizetype x = 0; x < noise.bytesPerLine(); ++x)
            line[x] = static_cast<uchar>(random());
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(noise.save(&buffer, "PNG"));
    ASSERT_GT(png.size(), 1900 * 1024);
    ASSERT_LE(png.size(), 2 * 1024 * 1024);
    LaboratorySettings laboratory;
    laboratory.logo = png.toStdString();
    ASSERT_EQ(logoRefusal(laboratory.logo), "");
    setLaboratory(laboratory);
    importComputedRecord(records, "Lamp", 7);

    const std::string path = writeCertificate("lamp.pdf");
    EXPECT_LT(std::filesystem::file_size(path), 1000u * 1000u);
    // pdfimages -list: two header lines, then the picture with its x-ppi and y-ppi.
    const auto images = linesOf(toolOutput({"pdfimages", "-list", path}));
    ASSERT_EQ(images.size(), 3u);
    std::istringstream columns(images[2]);
    std::vector<std::string> fields{std::istream_iterator<std::string>(columns), {}};
    ASSERT_GE(fields.size(), 14u) << images[2];
    for (const std::size_t ppi : {12, 13}) {
        EXPECT_LE(std::stoi(fields[ppi]), 301) << images[2];
        EXPECT_GE(std::stoi(fields[ppi]), 290) << images[2];
    }
}

// A u(T) of 4e307 mK at every point: error bars far beyond any axis a double spans. The
// deviation axis spans the deviations alone (its labels are short numbers), the bars run to
// the chart's frame, and the certificate is written.
TEST_F(CertificatePdfTest, AnEnormousUncertaintyLeavesTheChartBounded)
{
    importComputedRecord(records, "Lamp", 7);
    Table &bb = records.cdsBB;
    ForEachRow(bb, [&bb] {
        bb.edit();
        ReferencePointRowEditor(bb).setUT(4e307);
        bb.post();
    });
    const std::string path = writeCertificate("lamp.pdf");
    EXPECT_LT(std::filesystem::file_size(path), 1000u * 1000u);
    const std::string text = pdfText(path);
    const std::size_t chart = text.find("Deviation of the fitted from the reference");
    ASSERT_NE(chart, std::string::npos);
    const std::size_t axis = text.find("Reference temperature T (K)", chart);
    ASSERT_NE(axis, std::string::npos);
    const std::string labels = text.substr(chart, axis - chart);
    EXPECT_FALSE(std::regex_search(labels, std::regex(R"(\d{8})"))) << labels;
    // The deviation axis's labels, each on a line of its own.
    int deviationLabels = 0;
    for (const std::string &line : linesOf(labels))
        deviationLabels += std::regex_match(line, std::regex(R"(\s*-?\d{1,7}\s*)")) ? 1 : 0;
    EXPECT_GE(deviationLabels, 3) << labels;
    EXPECT_TRUE(std::regex_search(labels, std::regex(R"(\b1200\b)"))) << labels;
}

struct PaperCase
{
    const char *name;
    PageSize size;
    const char *pdfinfo;
};

const PaperCase PaperCases[] = {{"A4", PageSize::A4, "595 x 842 pts (A4)"},
                                {"Letter", PageSize::Letter, "612 x 792 pts (letter)"}};

class CertificatePaper : public CertificatePdfTest,
                         public ::testing::WithParamInterface<PaperCase>
{
};

// Long texts wrap within the margins on either paper: no word of any page reaches beyond
// them, nor into the foot of the page but the page number's line.
TEST_P(CertificatePaper, NothingReachesBeyondTheMargins)
{
    LaboratorySettings laboratory;
    laboratory.pageSize = GetParam().size;
    laboratory.name = "The Laboratory of Radiation Thermometry and Blackbody Sources of a Long "
                      "Name";
    laboratory.address = "Building 12, Room 3.14\nA Street Whose Name Goes On and On Beyond "
                         "Any Reasonable Length for an Address Line Anywhere\nThermopolis";
    laboratory.logo = logoPng(300, 300);
    laboratory.calibratedBy = std::string(60, 'W');
    laboratory.approvedBy = "A. Metrologist, Head of the Temperature Laboratory";
    setLaboratory(laboratory);
    importComputedRecord(records, std::string(100, 'N'), 20, hundredSignals());
    SetItemDetails(records, {std::string(200, 'Q'), std::string(100, 'M'), "KT-16",
                             std::string(100, '9')});
    records.cdsMain.edit();
    std::string remarks = std::string(400, 'R') + "\r\n";
    for (int i = 0; i < 60; ++i)
        remarks += "Remark line " + std::to_string(i) + " with a few words in it.\r\n";
    RecordRowEditor(records.cdsMain).setRem(remarks);
    records.cdsMain.post();

    const std::string path = writeCertificate("long.pdf");
    EXPECT_EQ(pdfInfo(path, "Page size"), GetParam().pdfinfo);
    const auto pages = pdfWords(path);
    ASSERT_EQ(static_cast<int>(pages.size()), pdfPageCount(path));
    const double mm = PointsPerMillimetre;
    const double tolerance = 0.5;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const PdfPage &page = pages[p];
        const double left = 20 * mm - tolerance;
        const double right = page.width - 20 * mm + tolerance;
        const double top = 18 * mm - tolerance;
        const double foot = page.height - 24 * mm + tolerance; // the flow's bottom
        for (const PdfWord &word : page.words) {
            const std::string where = "'" + word.text + "' on page " + std::to_string(p + 1);
            EXPECT_GE(word.xMin, left) << where;
            EXPECT_LE(word.xMax, right) << where;
            EXPECT_GE(word.yMin, top) << where;
            // Below the flow only the running title and the page number.
            if (word.yMax > foot) {
                EXPECT_GT(word.yMin, foot + 8) << where;
                EXPECT_LT(word.yMax, page.height - 8 * mm) << where;
            }
        }
    }
    // The long words are all there, broken into lines (and maybe pages).
    std::map<char, std::size_t> letters;
    for (const PdfPage &page : pages) {
        for (const PdfWord &word : page.words) {
            if (word.text.find_first_not_of(word.text.front()) == std::string::npos)
                letters[word.text.front()] += word.text.size();
        }
    }
    EXPECT_EQ(letters['R'], 400u);
    EXPECT_EQ(letters['Q'], 200u);
    EXPECT_EQ(letters['N'], 100u);
    const std::string text = pdfText(path);
    for (int i = 0; i < 60; ++i) {
        const std::string line = "Remark line " + std::to_string(i) + " with a few words";
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
}

// The longest texts the laboratory's and the item's fields accept, the address as many short
// lines as it may hold: the header goes on on the next page rather than into the foot, where
// every page carries its running title and page number alone.
TEST_P(CertificatePaper, TheLongestAcceptedTextsLeaveTheFootToItself)
{
    LaboratorySettings laboratory;
    laboratory.pageSize = GetParam().size;
    laboratory.name.clear();
    while (laboratory.name.size() + 10 <= static_cast<std::size_t>(MaxLaboratoryNameLength))
        laboratory.name += "Radiation ";
    laboratory.name.resize(static_cast<std::size_t>(MaxLaboratoryNameLength), 'R');
    std::vector<std::string> addressLines;
    for (int line = 1; (line * 5) - 1 <= MaxAddressLength; ++line) {
        char text[8];
        std::snprintf(text, sizeof text, "L%03d", line);
        addressLines.emplace_back(text);
        laboratory.address += (line > 1 ? "\n" : "") + addressLines.back();
    }
    laboratory.logo = logoPng(300, 300);
    laboratory.calibratedBy = std::string(static_cast<std::size_t>(MaxLaboratoryNameLength), 'W');
    laboratory.approvedBy = std::string(static_cast<std::size_t>(MaxLaboratoryNameLength), 'A');
    setLaboratory(laboratory);
    const auto longest = [](RecordField field, char letter) {
        return std::string(static_cast<std::size_t>(textLimit(field)), letter);
    };
    importComputedRecord(records, longest(RecordField::Name, 'N'), 20, hundredSignals());
    SetItemDetails(records, {longest(RecordField::Customer, 'Q'), longest(RecordField::Make, 'K'),
                             longest(RecordField::Model, 'D'), longest(RecordField::Serial, '9')});

    const std::string path = writeCertificate("longest.pdf");
    const std::string number = RecordRow(records.cdsMain).certNo();
    const auto pages = pdfWords(path);
    ASSERT_GE(pages.size(), 2u);
    std::map<std::string, int> printed;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const double foot = pages[p].height - 24 * PointsPerMillimetre + 0.5;
        std::string footer;
        for (const PdfWord &word : pages[p].words) {
            ++printed[word.text];
            if (word.yMax <= foot)
                continue;
            EXPECT_GT(word.yMin, foot + 8) << "'" << word.text << "' on page " << p + 1;
            footer += (footer.empty() ? "" : " ") + word.text;
        }
        EXPECT_EQ(footer, "Calibration Certificate " + number + " Page " + std::to_string(p + 1)
                              + " of " + std::to_string(pages.size()));
    }
    for (const std::string &line : addressLines)
        EXPECT_EQ(printed[line], 1) << line;
}

INSTANTIATE_TEST_SUITE_P(Papers, CertificatePaper, ::testing::ValuesIn(PaperCases), CaseName);

struct EvaluationCase
{
    const char *name;
    bool evaluated;
};

const EvaluationCase EvaluationCases[] = {{"Evaluated", true}, {"NotEvaluated", false}};

class CertificateUncertainties : public CertificatePdfTest,
                                 public ::testing::WithParamInterface<EvaluationCase>
{
};

// Uncertainties filled in by hand where a record's evaluation would put them are printed in
// their rows; without them the certificate says that none was evaluated and has no column
// for them.
TEST_P(CertificateUncertainties, ArePrintedWhereEvaluatedAndNowhereElse)
{
    importComputedRecord(records, "Lamp", 7, {0.2L, 0.5L});
    CertificateData data = collect();
    if (GetParam().evaluated) {
        for (std::size_t i = 0; i < data.points.size(); ++i)
            data.points[i].u = 10.0 + static_cast<double>(i);
        for (std::size_t i = 0; i < data.table.size(); ++i)
            data.table[i].U = 40.0 + static_cast<double>(i);
        data.measurements[1].U = 77.25;
        data.birgeRatio = 2.5;
        data.swarmSeed = 2024;
    }
    const std::string path = writeDocument("lamp.pdf", data);
    const auto sections = sectionsOf(pdfText(path));
    const auto joined = [&sections](const std::string &section) {
        std::string text;
        for (const std::string &line : sections.at(section))
            text += line + "\n";
        return text;
    };
    const std::string uncertainty = joined("Uncertainty");
    if (!GetParam().evaluated) {
        EXPECT_NE(uncertainty.find("No measurement uncertainty was evaluated"),
                  std::string::npos);
        for (const char *section : {"Results", "Calibration table", "Measurements"})
            EXPECT_EQ(joined(section).find("(k = 2)"), std::string::npos) << section;
        EXPECT_EQ(joined("Method").find("seed"), std::string::npos);
        return;
    }
    EXPECT_NE(uncertainty.find("coverage factor k = 2"), std::string::npos);
    EXPECT_NE(uncertainty.find("Birge ratio of the fit is 2.50"), std::string::npos);
    EXPECT_NE(joined("Method").find("(seed 2024)"), std::string::npos);

    const auto points = rowsOf(
        sections.at("Results"),
        std::regex(R"(\s*(\d+)\s+\S+(\s+\d+\.\d{4}){2}\s+-?\d+\.\d{2}\s+(\S+)\s*)"));
    ASSERT_EQ(points.size(), data.points.size());
    for (const std::smatch &m : points)
        EXPECT_TRUE(printedAs(m[3], 9.0 + std::stoi(m[1]))) << m[0];
    const auto rows =
        rowsOf(sections.at("Calibration table"), std::regex(R"(\s*(\d+)\s+\S+\s+(\S+)\s*)"));
    ASSERT_EQ(rows.size(), data.table.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_TRUE(printedAs(rows[i][2], 40.0 + static_cast<double>(i))) << rows[i][0];
    const auto measured = rowsOf(sections.at("Measurements"),
                                 std::regex(R"(\s*(\d+)\s+\S+\s+\S+\s+(\S+).*)"));
    ASSERT_EQ(measured.size(), 2u);
    EXPECT_EQ(measured[0][2], "\u2013");
    EXPECT_TRUE(printedAs(measured[1][2], 77.25));
}

INSTANTIATE_TEST_SUITE_P(Uncertainties, CertificateUncertainties,
                         ::testing::ValuesIn(EvaluationCases), CaseName);

TEST_F(CertificatePdfTest, AFileThatCannotBeWrittenIsReportedAndNoneIsLeft)
{
    importComputedRecord(records, "Lamp", 7);
    const std::string path = pathOf("missing/lamp.pdf");
    try {
        writeCertificate("missing/lamp.pdf");
        ADD_FAILURE() << "written into a missing folder";
    } catch (const Error &error) {
        EXPECT_EQ(std::string(error.what()).rfind("Cannot create file " + path + ". ", 0), 0u)
            << error.what();
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(std::filesystem::is_empty(dir())) << "no temporary file is left";
}

// The SHA-256 of a file as coreutils' sha256sum gives it.
std::string sha256sumOf(const std::string &path)
{
    return toolOutput({"sha256sum", path}).substr(0, 64);
}

// A certificate issued after its record changed names the one it replaces under its header,
// and its SHA-256 in the register is that of the PDF file's bytes.
TEST_F(CertificatePdfTest, ANewCertificateOfAChangedRecordSaysWhichItReplaces)
{
    importComputedRecord(records, "Lamp", 7);
    const std::string first = writeCertificate("first.pdf");
    EXPECT_EQ(records.store.certificates().back().sha256, sha256sumOf(first));
    EXPECT_EQ(flowingText(pdfText(first)).find("replaces"), std::string::npos);
    records.cdsMain.edit();
    RecordRowEditor(records.cdsMain).setRem("Recalibrated");
    records.cdsMain.post();
    const std::string second = writeCertificate("second.pdf");
    const std::string text = flowingText(pdfText(second, 1));
    EXPECT_NE(text.find("Certificate number KV-2026-0002 Date of issue 2026-03-05 This"
                        " certificate replaces certificate KV-2026-0001 of 2026-03-05."),
              std::string::npos)
        << text;
    EXPECT_EQ(records.store.certificates().back().sha256, sha256sumOf(second));
}

} // namespace
} // namespace kelvora::test
