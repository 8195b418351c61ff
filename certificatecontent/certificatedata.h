#pragma once

#include "certificatecontent/certificateissue.h"
#include "core/datetime.h"
#include "core/global.h"
#include "records/interpolation.h"
#include "records/laboratory.h"
#include "tables/recordstore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvora {

// Everything a calibration certificate states, taken from a computed record: the numbers are
// the record's, and every temperature and signal the certificate adds is computed from the
// parameters as it prints them (15 significant digits), so that a reader who recomputes them
// from the printed A, B and C finds the printed values.

// The default and the bounds of the calibration table's step, in kelvins.
inline constexpr int DefaultTableStep = 50;
inline constexpr int MaxTableStep = 10000;
inline constexpr int MaxTableRows = 2000;

// What the user chooses for a certificate.
struct CertificateChoices
{
    // The fit whose parameters the certificate states; empty: the one with the lower mean RMS
    // deviation (Levenberg-Marquardt when both are equal).
    std::optional<FitMethod> method;
    int step = DefaultTableStep; // whole kelvins between the rows of the calibration table
};

struct CertificatePoint
{
    double S = 0;
    double T = 0;
    double fittedT = 0;        // with the stated parameters, as the calibration saved it
    double deviation = 0;      // fittedT - T, mK
    std::optional<double> u;   // standard uncertainty of T, mK, where given
};

struct CalibrationRow
{
    long double T = 0;         // a whole multiple of the step, K
    long double S = 0;
    std::optional<double> U;   // expanded uncertainty (k = 2) of T at S, mK, where evaluated
};

struct CertificateMeasurement
{
    double S = 0;
    std::optional<long double> T; // empty when the signal gives no temperature
    std::string fault;            // why not, then
    bool signalOutside = false;   // outside the reference signals' range
    bool temperatureOutside = false; // outside the range of validity
    std::optional<double> U;      // expanded uncertainty (k = 2), mK, where evaluated
};

// The certificate that a new one replaces.
struct ReplacedCertificate
{
    std::string number;
    DateTime issued;
};

struct CertificateData
{
    LaboratorySettings laboratory;
    std::string number;
    DateTime issued;
    std::optional<ReplacedCertificate> replaces;

    ItemDetails item;
    std::string recordName;
    double meanWL = 0;
    double bandwidth = 0;
    std::optional<DateTime> calibrated; // when the calibration results were saved

    FitMethod method = FitMethod::LevenbergMarquardt;
    bool methodChosen = false;  // by the user rather than by the lower mean RMS deviation
    ParameterTexts parameters;  // A, B, C as stated: the record's, to 15 significant digits
    TParamVector P;             // the same, as numbers
    double meanRMS = 0;         // of the stated fit, mK
    double otherMeanRMS = 0;    // of the other fit, mK

    double TMin = 0, TMax = 0;  // the range of validity: the reference temperatures'
    double SMin = 0, SMax = 0;
    std::vector<CertificatePoint> points;
    int step = DefaultTableStep;
    std::vector<CalibrationRow> table;
    std::vector<CertificateMeasurement> measurements;
    std::string remarks;        // the record's comments

    // Present only where they have been evaluated for the record.
    std::optional<std::uint32_t> swarmSeed; // the seed the swarm's result was found with
    std::optional<double> birgeRatio;
};

// True when the certificate states an uncertainty anywhere.
bool HasUncertainties(const CertificateData &data);

// Why no certificate can be issued for the current record whatever the choices, or empty: no
// record, or one without calibration results or reference points.
std::string RecordCertificateRefusal(RecordStore &records);
// Why no certificate can be issued for the current record with these choices, or empty: the
// refusal above, or a step that puts no row, or too many, in the calibration table.
std::string CertificateRefusal(RecordStore &records, const CertificateChoices &choices);

// The certificate of the current record, which must not be refused. A temperature of the
// calibration table that gives no signal raises the floating-point error. The cursors of the
// nested tables stay where they were.
CertificateData CollectCertificateData(RecordStore &records, const CertificateIssue &issue,
                                       const CertificateChoices &choices);

// Where the evaluations that a record may carry enter the certificate: the swarm's seed, the
// standard uncertainty of each reference temperature, the expanded uncertainty of each row of
// the calibration table and of each measurement, and the Birge ratio of the fit. U and the
// Birge ratio are propagated at the stated parameters when every reference point has its
// u(T); without any u(T) nothing is added and the certificate says that no uncertainty was
// evaluated.
void AddEvaluatedUncertainties(CertificateData &data, RecordStore &records);

} // namespace kelvora
