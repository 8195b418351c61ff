#include "calibration/run.h"

#include "core/lm.h"
#include "core/numfmt.h"

namespace kelvora {

bool RunHost::StopRequested()
{
    return kelvora::StopRequested;
}

std::string LMFailureMessage(int status)
{
    const char *reason = status == lmNotPositiveDefinite ? "Matrix cannot be inverted"
                                                         : "Convergence was not achieved";
    return std::string("Levenberg-Marquardt: ") + reason + "\r" + "Please check your data";
}

std::string FitLineText(int index, long double t, long double d, char decimalSeparator)
{
    std::string deviation = formatFixed(d, 6, 2, decimalSeparator);
    // A deviation that rounds to zero reads as the grid's display format shows the stored
    // one: without a sign.
    if (deviation.front() == '-'
        && deviation.find_first_not_of(std::string("-0") + decimalSeparator) == std::string::npos)
        deviation.erase(0, 1);
    return std::to_string(index) + ": T = " + formatFixed(t, 9, 3, decimalSeparator)
           + " K; d = " + deviation + " mK";
}

std::vector<FitLine> FitLines(const TParamVector &P, char decimalSeparator)
{
    std::vector<FitLine> lines;
    lines.reserve(static_cast<std::size_t>(NPoints));
    for (int i = 1; i <= NPoints; ++i) {
        const long double t = SHTemperature(P, RefS[i]);
        const long double d = (t - RefT[i]) * 1000.0L;
        lines.push_back({i, t, d, FitLineText(i, t, d, decimalSeparator)});
    }
    return lines;
}

void BuildSearchBox(const TParamVector &P, long double w, TParamVector &lo, TParamVector &hi)
{
    if (w == 0.0L)
        throw FloatError(FloatError::Kind::DivisionByZero);
    lo.fill(0.0L);
    hi.fill(0.0L);
    // Only B is ordered by size: A and C are taken as positive.
    lo[1] = P[1] / w;
    hi[1] = P[1] * w;
    const long double b1 = P[2] / w;
    const long double b2 = P[2] * w;
    lo[2] = b1 < b2 ? b1 : b2;
    hi[2] = b1 < b2 ? b2 : b1;
    lo[3] = P[3] / w;
    hi[3] = P[3] * w;
}

PSOProgress CurrentPSOProgress(char decimalSeparator)
{
    PSOProgress progress;
    progress.Best = SwarmSnapshot[BestIndex].P;
    progress.MeanRMS = OverallBest;
    progress.Lines = FitLines(progress.Best, decimalSeparator);
    return progress;
}

long double DefaultSearchRange(int nPoints)
{
    return nPoints >= 4 ? 2.0L : 1.5L;
}

namespace {

void fillReferenceSet(const RunInput &input)
{
    const auto count = input.Points.size();
    if (count < 1 || count > static_cast<std::size_t>(MaxPoints))
        throw RangeError();
    NPoints = static_cast<int>(count);
    for (int i = 1; i <= NPoints; ++i) {
        const auto &[s, t] = input.Points[static_cast<std::size_t>(i - 1)];
        RefS[i] = s;
        RefT[i] = t;
    }
}

LMStage runLevenbergMarquardt(const RunSettings &settings)
{
    const LMOutcome fit = LevMarFit(NParams, NPoints, settings.MaxIter, RefS, RefT,
                                    settings.Tol);
    LMStage stage;
    stage.Status = fit.Status;
    stage.Iter = fit.Iter;
    stage.Result = Params;
    if (fit.Status != lmConverged) {
        // The held results keep what they held before this run.
        stage.Message = LMFailureMessage(fit.Status);
        return stage;
    }
    LMResult = Params;
    LMMeanRMS = MeanRMSmK(LMResult);
    stage.MeanRMS = LMMeanRMS;
    stage.Lines = FitLines(LMResult, settings.DecimalSeparator);
    for (const FitLine &line : stage.Lines)
        RefTLM[line.Index] = line.T;
    return stage;
}

PSOStage runParticleSwarm(const TParamVector &lo, const TParamVector &hi,
                          const RunSettings &settings, RunHost &host)
{
    PSOSettings pso;
    pso.Seed = settings.Seed;
    pso.Threads = settings.Threads;
    const PSOOutcome fit = PSOFit(settings.NRestarts, lo, hi, host, pso);
    PSOStage stage;
    stage.PassesRun = fit.PassesRun;
    stage.Improvements = fit.Improvements;
    stage.Stopped = fit.Stopped;
    stage.Seed = fit.Seed;
    // Without a single improvement the snapshot belongs to an earlier fit (or to none):
    // the swarm then found nothing better than its start, and the result is the
    // Levenberg-Marquardt one it was built around.
    PSOResult = fit.Improvements > 0 ? SwarmSnapshot[BestIndex].P : LMResult;
    PSOMeanRMS = MeanRMSmK(PSOResult);
    stage.Result = PSOResult;
    stage.MeanRMS = PSOMeanRMS;
    stage.Lines = FitLines(PSOResult, settings.DecimalSeparator);
    for (const FitLine &line : stage.Lines)
        RefTPSO[line.Index] = line.T;
    return stage;
}

} // namespace

RunOutcome RunCalibration(const RunInput &input, const RunSettings &settings, RunHost &host)
{
    ResultsSaved = false;
    StopRequested = false;
    NParams = 3;

    RunOutcome outcome;
    outcome.Initial[1] = input.AS;
    outcome.Initial[2] = input.BS;
    outcome.Initial[3] = input.CS;
    Params = outcome.Initial;
    fillReferenceSet(input);

    outcome.LM = runLevenbergMarquardt(settings);
    host.LMFinished(outcome.LM);
    if (outcome.LM.Status != lmConverged || settings.LMOnly)
        return outcome;

    BuildSearchBox(LMResult, settings.SearchRange, outcome.Lo, outcome.Hi);
    for (int j = 1; j <= NParams; ++j) {
        if (outcome.Lo[j] > outcome.Hi[j])
            throw Error(EmptySearchBoxText);
    }
    host.PSOStarting(outcome.Lo, outcome.Hi);
    outcome.PSO = runParticleSwarm(outcome.Lo, outcome.Hi, settings, host);
    host.PSOFinished(*outcome.PSO);
    return outcome;
}

} // namespace kelvora
