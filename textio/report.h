#pragma once

#include <string>
#include <vector>

namespace kelvora {

// One reference point of the report.
struct ReportPoint
{
    double S = 0;
    double T = 0;
    double TLM = 0;
    double TPSO = 0;
    double dTLM = 0;
    double dTPSO = 0;
    double Difference = 0;
};

// One measurement of the report: the signal as its field text, the temperature (0 if empty).
struct ReportMeasurement
{
    std::string S;
    double T = 0;
};

// What the report of one record shows. The texts are the fields' own texts, already written
// with the user's decimal separator and date format; empty fields are empty texts or 0.
struct RecordReport
{
    std::string MeanWL;
    std::string Bandwidth;
    std::string Created;
    std::string Processed;
    std::string ALM, BLM, CLM;
    std::string APSO, BPSO, CPSO;
    double MeanRMSLM = 0;
    double MeanRMSPSO = 0;
    bool Computed = false;
    std::vector<ReportPoint> points;
    std::vector<ReportMeasurement> measurements;
};

// The report as text, every line ending in CR LF. More than 20 points raise RangeError.
std::string recordReportText(const RecordReport &report);

// The text with the characters a file name cannot hold replaced: . by _, / by -, \ by ~,
// * and ? by a blank, : by -.
std::string SafeFileName(const std::string &text);

} // namespace kelvora
