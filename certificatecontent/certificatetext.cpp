#include "certificatecontent/certificatetext.h"

#include "core/numfmt.h"

#include <cstdio>

namespace kelvora {

namespace {

// A Birge ratio above this says that the stated uncertainties do not explain the scatter.
constexpr double BirgeLimit = 2.0;

std::string isoDate(DateTime t)
{
    const CivilTime c = toCivil(t);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", c.year, c.month, c.day);
    return text;
}

std::string fixed(double value, const char *pattern)
{
    return formatPattern(value, pattern);
}

std::string temperature(double value)
{
    return fixed(value, "0.0000");
}

std::string millikelvins(double value)
{
    return fixed(value, "0.00");
}

std::string expanded(double value)
{
    return fixed(value, "0.0");
}

std::string signal(double value)
{
    return formatGeneral(value, 12);
}

std::string orDash(const std::string &text)
{
    return text.empty() ? "\u2013" : text;
}

std::string methodName(FitMethod method)
{
    return method == FitMethod::ParticleSwarm ? "particle swarm optimisation"
                                              : "the Levenberg-Marquardt method";
}

CertificateSection itemSection(const CertificateData &data)
{
    LabelledValues item;
    item.rows = {
        {"Customer", orDash(data.item.customer)},
        {"Make", orDash(data.item.make)},
        {"Model", orDash(data.item.model)},
        {"Serial number", orDash(data.item.serial)},
        {"Record", data.recordName},
        {"Mean wavelength", formatGeneral(data.meanWL) + " \u00b5m"},
        {"Bandwidth", formatGeneral(data.bandwidth) + " \u00b5m"},
        {"Date of calibration", data.calibrated ? isoDate(*data.calibrated) : "\u2013"},
    };
    return {"1  Item and customer", {item}};
}

std::string methodText(const CertificateData &data)
{
    const bool swarm = data.method == FitMethod::ParticleSwarm;
    std::string text =
        "The instrument was calibrated by the multiple-point method on the Sakuma-Hattori"
        " equation from " + std::to_string(data.points.size()) + " reference points between "
        + temperature(data.TMin) + " K and " + temperature(data.TMax)
        + " K. Its parameters A, B and C were fitted to the reference temperatures by the"
          " Levenberg-Marquardt method, starting from the Saunders-White estimate of the"
          " instrument's spectral data, and by particle swarm optimisation in a search box"
          " around that result";
    if (data.swarmSeed)
        text += " (seed " + std::to_string(*data.swarmSeed) + ")";
    text += ". This certificate states the parameters found by " + methodName(data.method);
    const std::string stated = fixed(data.meanRMS, "0.0000");
    const std::string other = fixed(data.otherMeanRMS, "0.0000");
    const std::string otherName = swarm ? "the Levenberg-Marquardt fit" : "the swarm's fit";
    if (data.methodChosen)
        text += ", as chosen by the laboratory";
    else if (data.meanRMS < data.otherMeanRMS)
        text += ", the fit with the lower mean RMS deviation";
    else
        text += ", as both fits have the same mean RMS deviation";
    if (data.meanRMS == data.otherMeanRMS)
        return text + " (" + stated + " mK).";
    if (stated == other)
        return text + " (" + stated + " mK for both to the digits shown).";
    return text + " (" + stated + " mK; " + otherName + ": " + other + " mK).";
}

TextTable pointsTable(const CertificateData &data, bool uncertainties)
{
    TextTable table;
    table.header = {"No.", "Signal S", "T (K)", "Fitted T (K)", "Fitted \u2212 T (mK)"};
    table.numeric = {true, true, true, true, true};
    if (uncertainties) {
        table.header.push_back("u(T) (mK)");
        table.numeric.push_back(true);
    }
    int n = 0;
    for (const CertificatePoint &point : data.points) {
        std::vector<std::string> row{std::to_string(++n), signal(point.S),
                                     temperature(point.T), temperature(point.fittedT),
                                     millikelvins(point.deviation)};
        if (uncertainties)
            row.push_back(point.u ? millikelvins(*point.u) : "\u2013");
        table.rows.push_back(std::move(row));
    }
    return table;
}

CertificateSection resultsSection(const CertificateData &data)
{
    const bool uncertainties = HasUncertainties(data);
    LabelledValues parameters;
    parameters.rows = {
        {"A", data.parameters.A + " \u00b5m"},
        {"B", data.parameters.B + " \u00b5m\u00b7K"},
        {"C", data.parameters.C + " (in units of the signal)"},
        {"Mean RMS deviation", fixed(data.meanRMS, "0.0000") + " mK"},
    };
    Paragraph equation{
        "S(T) = C / (exp(c\u2082 / (A\u00b7T + B)) \u2212 1), and inversely\n"
        "T(S) = c\u2082 / (A\u00b7ln(C/S + 1)) \u2212 B/A,"
        " with c\u2082 = 14387.752 \u00b5m\u00b7K,\n"
        "T the temperature in kelvins and S the signal of the instrument."};
    ResidualChart chart;
    chart.title = "Deviation of the fitted from the reference temperatures";
    chart.axisT = "Reference temperature T (K)";
    chart.axisDeviation = "Fitted \u2212 T (mK)";
    for (const CertificatePoint &point : data.points) {
        ResidualChart::Point p{point.T, point.deviation, std::nullopt};
        if (point.u)
            p.U = 2 * *point.u;
        chart.points.push_back(p);
    }
    return {"3  Results",
            {Paragraph{"The parameters of the Sakuma-Hattori equation:"}, parameters,
             equation,
             Paragraph{"The reference points, with the temperature that the equation gives"
                       " for each signal:"},
             pointsTable(data, uncertainties), chart}};
}

CertificateSection tableSection(const CertificateData &data)
{
    const bool uncertainties = HasUncertainties(data);
    Paragraph intro{
        "The signal that the equation gives at every multiple of " + std::to_string(data.step)
        + " K within the range of validity of this calibration, " + temperature(data.TMin)
        + " K to " + temperature(data.TMax) + " K: the range of the reference temperatures"
        ", with signals from " + signal(data.SMin) + " to " + signal(data.SMax)
        + ". The equation is not valid outside this range."};
    TextTable table;
    table.header = {"T (K)", "Signal S"};
    table.numeric = {true, true};
    if (uncertainties) {
        table.header.push_back("U (k = 2) (mK)");
        table.numeric.push_back(true);
    }
    for (const CalibrationRow &row : data.table) {
        std::vector<std::string> cells{fixed(static_cast<double>(row.T), "0"),
                                       formatGeneral(row.S, 12)};
        if (uncertainties)
            cells.push_back(row.U ? expanded(*row.U) : "\u2013");
        table.rows.push_back(std::move(cells));
    }
    return {"4  Calibration table", {intro, table}};
}

std::string measurementRemark(const CertificateMeasurement &m)
{
    if (!m.fault.empty())
        return "no temperature: " + m.fault;
    if (m.signalOutside && m.temperatureOutside)
        return "signal and temperature out of range";
    if (m.signalOutside)
        return "signal out of range";
    if (m.temperatureOutside)
        return "temperature out of range";
    return {};
}

CertificateSection measurementsSection(const CertificateData &data)
{
    if (data.measurements.empty())
        return {"5  Measurements", {Paragraph{"The record holds no measurements."}}};
    const bool uncertainties = HasUncertainties(data);
    TextTable table;
    table.header = {"No.", "Signal S", "T (K)"};
    table.numeric = {true, true, true};
    if (uncertainties) {
        table.header.push_back("U (k = 2) (mK)");
        table.numeric.push_back(true);
    }
    table.header.push_back("Remark");
    table.numeric.push_back(false);
    bool outside = false;
    int n = 0;
    for (const CertificateMeasurement &m : data.measurements) {
        std::vector<std::string> row{std::to_string(++n), signal(m.S),
                                     m.T ? temperature(static_cast<double>(*m.T)) : "\u2013"};
        if (uncertainties)
            row.push_back(m.U ? expanded(*m.U) : "\u2013");
        row.push_back(measurementRemark(m));
        outside = outside || m.signalOutside || m.temperatureOutside;
        table.rows.push_back(std::move(row));
    }
    CertificateSection section{
        "5  Measurements",
        {Paragraph{"The temperatures of the signals measured with the instrument, given by"
                   " the equation with the stated parameters:"},
         table}};
    if (outside)
        section.blocks.push_back(Paragraph{
            "A signal or temperature out of range lies outside the range of the reference"
            " points. The uncertainty of a temperature computed for such a signal can be"
            " higher than within the range."});
    return section;
}

CertificateSection uncertaintySection(const CertificateData &data)
{
    if (!HasUncertainties(data))
        return {"6  Uncertainty",
                {Paragraph{"No measurement uncertainty was evaluated for this calibration, and"
                           " this certificate states none. The mean RMS deviation of the fit ("
                           + fixed(data.meanRMS, "0.0000")
                           + " mK) describes only the scatter of the reference points about"
                             " the fitted equation; it is not an uncertainty of the"
                             " temperatures stated."}}};
    std::string text =
        "The expanded uncertainties U stated in this certificate are the combined standard"
        " uncertainties multiplied by the coverage factor k = 2, which for a normal"
        " distribution corresponds to a coverage probability of approximately 95 %. They"
        " were evaluated in accordance with the Guide to the Expression of Uncertainty in"
        " Measurement, propagating the standard uncertainties u(T) of the reference"
        " temperatures through the fitted equation.";
    if (data.birgeRatio) {
        char ratio[32];
        std::snprintf(ratio, sizeof ratio, "%.2f", *data.birgeRatio);
        text += std::string(" The Birge ratio of the fit is ") + ratio + ".";
        if (*data.birgeRatio > BirgeLimit)
            text += " It exceeds 2: the stated uncertainties of the reference temperatures do"
                    " not explain the scatter of the reference points about the fitted"
                    " equation, and the uncertainties stated here may be too small.";
    }
    return {"6  Uncertainty", {Paragraph{text}}};
}

CertificateSection signOffSection(const CertificateData &data)
{
    CertificateSection section{"7  Sign-off", {}};
    if (data.remarks.find_first_not_of(" \t\r\n") != std::string::npos) {
        std::string remarks = data.remarks;
        // The comments' own line breaks, whichever the system wrote.
        for (std::size_t at = remarks.find('\r'); at != std::string::npos;
             at = remarks.find('\r', at)) {
            if (at + 1 < remarks.size() && remarks[at + 1] == '\n')
                remarks.erase(at, 1);
            else
                remarks[at] = '\n';
        }
        section.blocks.push_back(LabelledValues{{{"Remarks", remarks}}});
    }
    section.blocks.push_back(Signatures{{{"Calibrated by", data.laboratory.calibratedBy},
                                         {"Approved by", data.laboratory.approvedBy}}});
    return section;
}

} // namespace

std::string ReplacementNotice(const ReplacedCertificate &replaced)
{
    return "This certificate replaces certificate " + replaced.number + " of "
           + isoDate(replaced.issued) + ".";
}

std::string PageNumberText(int page, int pages)
{
    return "Page " + std::to_string(page) + " of " + std::to_string(pages);
}

CertificateDocument CertificateDocumentOf(const CertificateData &data)
{
    CertificateDocument document;
    document.pageSize = data.laboratory.pageSize;
    document.laboratoryName = data.laboratory.name;
    document.laboratoryAddress = data.laboratory.address;
    document.logo = data.laboratory.logo;
    document.title = "Calibration Certificate";
    document.issue.rows = {{"Certificate number", data.number},
                           {"Date of issue", isoDate(data.issued)}};
    if (data.replaces)
        document.notice = ReplacementNotice(*data.replaces);
    document.runningTitle = "Calibration Certificate " + data.number;
    document.sections = {
        itemSection(data),
        {"2  Method", {Paragraph{methodText(data)}}},
        resultsSection(data),
        tableSection(data),
        measurementsSection(data),
        uncertaintySection(data),
        signOffSection(data),
    };
    return document;
}

} // namespace kelvora
