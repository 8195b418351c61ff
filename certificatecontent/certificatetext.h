#pragma once

#include "certificatecontent/certificatedata.h"
#include "records/laboratory.h"

#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace kelvora {

// A certificate as texts, in the order in which they are printed; the page layout is the
// renderer's. Numbers are written with the full stop whatever the system's locale, dates as
// yyyy-mm-dd: a certificate reads the same wherever it is printed.

// Text of one or more lines ("\n" between them).
struct Paragraph
{
    std::string text;
};

// Labels with their values, one pair a line.
struct LabelledValues
{
    std::vector<std::pair<std::string, std::string>> rows;
};

// A table whose header is printed again on every page it continues on.
struct TextTable
{
    std::vector<std::string> header;
    std::vector<bool> numeric; // right-aligned columns
    std::vector<std::vector<std::string>> rows;
};

// The deviation of the fitted from the reference temperature at each reference point.
struct ResidualChart
{
    struct Point
    {
        double T = 0;          // K
        double deviation = 0;  // mK
        std::optional<double> U; // half-width of the error bar, mK
    };
    std::string title;
    std::string axisT;
    std::string axisDeviation;
    std::vector<Point> points;
};

// Signature lines, each with its role above and the signatory's name below.
struct Signatures
{
    std::vector<std::pair<std::string, std::string>> signatories; // role, name
};

using CertificateBlock =
    std::variant<Paragraph, LabelledValues, TextTable, ResidualChart, Signatures>;

struct CertificateSection
{
    std::string heading;
    std::vector<CertificateBlock> blocks;
};

struct CertificateDocument
{
    PageSize pageSize = PageSize::A4;
    std::string laboratoryName;
    std::string laboratoryAddress; // lines separated by "\n"
    std::string logo;              // the bytes of an image file; empty: none
    std::string title;
    LabelledValues issue;          // the certificate number and the date of issue
    std::string notice;            // under them: the certificate this one replaces, or empty
    std::string runningTitle;      // beside the page number at the foot of every page
    std::vector<CertificateSection> sections;
};

CertificateDocument CertificateDocumentOf(const CertificateData &data);

// "This certificate replaces certificate <number> of <yyyy-mm-dd>."
std::string ReplacementNotice(const ReplacedCertificate &replaced);

// "Page n of m".
std::string PageNumberText(int page, int pages);

} // namespace kelvora
