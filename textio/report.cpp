#include "textio/report.h"

#include "core/global.h"
#include "core/numfmt.h"

namespace kelvora {

namespace {

// Lines of a text file, each ending in CR LF.
class Lines
{
public:
    void add(const std::string &line)
    {
        m_text += line;
        m_text += "\r\n";
    }
    const std::string &text() const { return m_text; }

private:
    std::string m_text;
};

void addParameters(Lines &lines, const std::string &a, const std::string &b,
                   const std::string &c, double meanRMS)
{
    lines.add("A = " + a);
    lines.add("B = " + b);
    lines.add("C = " + c);
    lines.add("Mean RMS = " + formatWidth(meanRMS, 9, 4) + " mK");
}

std::string calibrationRow(const ReportPoint &p)
{
    std::string row = formatScientific(p.S) + ' ';
    for (const double value : {p.T, p.TLM, p.TPSO, p.dTLM, p.dTPSO, p.Difference})
        row += formatWidth(value, 10, 4) + ' ';
    return row;
}

} // namespace

std::string recordReportText(const RecordReport &report)
{
    if (report.points.size() > static_cast<std::size_t>(MaxPoints))
        throw RangeError();

    Lines lines;
    lines.add(report.MeanWL + "  // Mean wavelength (um)");
    lines.add(report.Bandwidth + "  // Bandwidth (um)");
    lines.add(std::to_string(report.points.size()) + "  // Number of reference temperatures");
    lines.add("Record created: " + report.Created);

    if (report.Computed) {
        lines.add("*** CALIBRATION ******************************");
        lines.add("Record processed: " + report.Processed);
        lines.add("Levenberg-Marquardt method:");
        addParameters(lines, report.ALM, report.BLM, report.CLM, report.MeanRMSLM);
        lines.add("Particle Swarm Optimization:");
        addParameters(lines, report.APSO, report.BPSO, report.CPSO, report.MeanRMSPSO);
        lines.add("  Signal                   T(K)       TLM(K)     TPSO (K)   TLM-T (mK) "
                  "TPSO-T (mK) TLM-TPSO (mK)");
        for (const ReportPoint &p : report.points)
            lines.add(calibrationRow(p));
    } else {
        lines.add("  Signal                  T(K)");
        for (const ReportPoint &p : report.points)
            lines.add(formatScientific(p.S) + ' ' + formatScientific(p.T) + ' ');
    }

    if (!report.measurements.empty()) {
        lines.add("*** MEASUREMENTS ******************************");
        lines.add("Number of interpolated points: " + std::to_string(report.measurements.size()));
        lines.add("  Signal               T(K)");
        for (const ReportMeasurement &m : report.measurements)
            lines.add(m.S + ' ' + formatWidth(m.T, 10, 4));
    }
    return lines.text();
}

std::string SafeFileName(const std::string &text)
{
    std::string name = text;
    for (char &c : name) {
        switch (c) {
        case '.': c = '_'; break;
        case '/': c = '-'; break;
        case '\\': c = '~'; break;
        case '*':
        case '?': c = ' '; break;
        case ':': c = '-'; break;
        default: break;
        }
    }
    return name;
}

} // namespace kelvora
