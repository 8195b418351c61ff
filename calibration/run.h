#pragma once

#include "core/global.h"
#include "core/pso.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kelvora {

// The settings a run is given must lie within these limits; the front ends refuse others
// before a run starts. MaxIter: 1 to MaxIterLimit (0 or below would set no limit at all).
// Tol: above 0 (0 or below never converges) and below 1. NRestarts: 0 to MaxRestarts (below
// 0 the swarm would not run and leave the Levenberg-Marquardt triple as its result).
// SearchRange: MinSearchRange to MaxSearchRange.
inline constexpr int MaxIterLimit = 1000000;
inline constexpr int MaxRestarts = 1000000;
inline constexpr long double MinSearchRange = 1.0L;
inline constexpr long double MaxSearchRange = 1000.0L;

struct RunSettings
{
    int MaxIter = 50;
    long double Tol = 1e-9L;
    int NRestarts = 10;
    long double SearchRange = 2.0L;
    bool LMOnly = false;
    // A fixed seed of the random generator instead of the clock.
    std::optional<std::uint32_t> Seed;
    // Threads the swarm's passes run on side by side (1: one after another on the thread
    // that runs the calibration). The results are the same whatever the number.
    int Threads = DefaultPSOThreads();
    // The separator of the fitted temperatures' lines.
    char DecimalSeparator = '.';
};

// What a run reads from the record: the start values AS, BS, CS and the reference points
// (S, T) in entry order, as the record stores them.
struct RunInput
{
    double AS = 0.0;
    double BS = 0.0;
    double CS = 0.0;
    std::vector<std::pair<double, double>> Points;
};

// One reference point's fitted temperature T (K) and deviation D = T - Ti (mK), with the
// line the result memos show for it.
struct FitLine
{
    int Index = 0;
    long double T = 0.0L;
    long double D = 0.0L;
    std::string Text;
};

struct LMStage
{
    int Status = 0;
    int Iter = 0;
    // Empty on success; otherwise the text shown to the user.
    std::string Message;
    // On success the fitted vector; after a failure the fitter's last accepted values.
    TParamVector Result;
    // Only set on success.
    long double MeanRMS = 0.0L;
    std::vector<FitLine> Lines;
};

struct PSOStage
{
    int PassesRun = 0;
    std::uint32_t Improvements = 0;
    bool Stopped = false;
    // The seed of the swarm's generator, given or drawn from the clock.
    std::uint32_t Seed = 0;
    TParamVector Result;
    long double MeanRMS = 0.0L;
    std::vector<FitLine> Lines;
};

// The best particle of the swarm fit so far, as the progress display shows it.
struct PSOProgress
{
    TParamVector Best;
    long double MeanRMS = 0.0L; // the overall best fitness, mK
    std::vector<FitLine> Lines;
};

// What a display of the run hooks into, besides the swarm fitter's own calls (whose Stop is
// the run's only stop flag). Every call comes from the thread that called RunCalibration,
// however many threads the swarm uses.
class RunHost : public PSOHost
{
public:
    // After the Levenberg-Marquardt fit, whatever its status.
    virtual void LMFinished(const LMStage &) {}
    // After the search box is built, before the swarm fit of `problem` begins.
    virtual void PSOStarting(const PSOProblem & /*problem*/) {}
    virtual void PSOFinished(const PSOStage &) {}
};

struct RunOutcome
{
    TParamVector Initial; // the start vector: AS, BS, CS and zeros
    ReferenceSet reference; // the points fitted, in the record's order
    LMStage LM;
    // The search box, when the swarm ran.
    TParamVector Lo;
    TParamVector Hi;
    // Absent after a Levenberg-Marquardt failure or when only that fit was asked for.
    std::optional<PSOStage> PSO;
};

// The refusal of a search box whose lower bound lies above its upper bound in a dimension:
// a Levenberg-Marquardt result with A or C not positive, or a search range below 1.
inline constexpr const char *EmptySearchBoxText =
    "Particle Swarm Optimization: the search box around the Levenberg-Marquardt result "
    "is empty\rPlease check your data";

// One calibration run on a record: fills the reference set, fits by Levenberg-Marquardt
// from the record's start values and, when that succeeds, by particle swarm in the box
// around its result. RangeError when the record has no points or more than MaxPoints; an
// empty search box raises Error EmptySearchBoxText after the Levenberg-Marquardt stage;
// floating-point faults of the fits propagate as FloatError. A run works only on its own
// values: any number of runs may go on at once on different threads.
RunOutcome RunCalibration(const RunInput &input, const RunSettings &settings, RunHost &host);

// The held results of a run: what the calibration window keeps after a successful run and
// Save in Database writes into the record.
struct RunResults
{
    ReferenceSet reference; // the points fitted
    TParamVector LMResult;
    long double LMMeanRMS = 0.0L; // mK
    TParamVector PSOResult;
    long double PSOMeanRMS = 0.0L; // mK
    std::uint32_t Seed = 0; // the seed the swarm ran with
    // Set by Save in Database.
    bool ResultsSaved = false;
};

// The results a run holds when both its fits ended: none after a failed Levenberg-Marquardt
// fit or a run of that fit alone.
std::optional<RunResults> resultsOf(const RunOutcome &outcome);

// The user's text for an unsuccessful Levenberg-Marquardt status (1, 2 or 3).
std::string LMFailureMessage(int status);

// "2: T = 1234.568 K; d = -0.12 mK"; a deviation that rounds to zero is "0.00" whatever its
// sign, as the grid shows it.
std::string FitLineText(int index, long double t, long double d, char decimalSeparator = '.');

// Fitted temperatures and deviations of P over the reference set.
std::vector<FitLine> FitLines(const TParamVector &P, const ReferenceSet &reference,
                              char decimalSeparator = '.');

// A / w .. A * w, B / w and B * w in order of size, C / w .. C * w; elements 4..10 zero.
void BuildSearchBox(const TParamVector &P, long double w, TParamVector &lo, TParamVector &hi);

// The swarm's best as a display shows it: the best position with its fitted temperatures
// over the reference set.
PSOProgress progressOf(const PSOBest &best, const ReferenceSet &reference,
                       char decimalSeparator = '.');

// The search range a record starts with: 2.0 with at least four points, else 1.5.
long double DefaultSearchRange(int nPoints);

} // namespace kelvora
