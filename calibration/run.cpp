#include "calibration/run.h"

#include "core/lm.h"
#include "core/numfmt.h"

namespace kelvora {

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

std::vector<FitLine> FitLines(const TParamVector &P, const ReferenceSet &reference,
                              char decimalSeparator)
{
    std::vector<FitLine> lines;
    lines.reserve(static_cast<std::size_t>(reference.NPoints));
    for (int i = 1; i <= reference.NPoints; ++i) {
        const long double t = SHTemperature(P, reference.RefS[i]);
        const long double d = (t - reference.RefT[i]) * 1000.0L;
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

PSOProgress progressOf(const PSOBest &best, const ReferenceSet &reference,
                       char decimalSeparator)
{
    PSOProgress progress;
    progress.Best = best.particle.P;
    progress.MeanRMS = best.OverallBest;
    progress.Lines = FitLines(progress.Best, reference, decimalSeparator);
    return progress;
}

long double DefaultSearchRange(int nPoints)
{
    return nPoints >= 4 ? 2.0L : 1.5L;
}

namespace {

// The three parameters of the Sakuma-Hattori equation.
constexpr int FittedParameters = 3;

LMStage runLevenbergMarquardt(const RunOutcome &run, const RunSettings &settings)
{
    LMProblem problem;
    problem.reference = run.reference;
    problem.Params = run.Initial;
    problem.NParams = FittedParameters;
    problem.MaxIter = settings.MaxIter;
    problem.Tol = settings.Tol;
    const LMOutcome fit = LevMarFit(problem);
    LMStage stage;
    stage.Status = fit.Status;
    stage.Iter = fit.Iter;
    stage.Result = fit.Params;
    if (fit.Status != lmConverged) {
        stage.Message = LMFailureMessage(fit.Status);
        return stage;
    }
    stage.MeanRMS = MeanRMSmK(stage.Result, run.reference);
    stage.Lines = FitLines(stage.Result, run.reference, settings.DecimalSeparator);
    return stage;
}

PSOStage runParticleSwarm(const PSOProblem &problem, const LMStage &lm,
                          const RunSettings &settings, RunHost &host)
{
    PSOSettings pso;
    pso.Seed = settings.Seed;
    pso.Threads = settings.Threads;
    const PSOOutcome fit = PSOFit(problem, host, pso);
    PSOStage stage;
    stage.PassesRun = fit.PassesRun;
    stage.Improvements = fit.best.Improvements;
    stage.Stopped = fit.Stopped;
    stage.Seed = fit.Seed;
    // Without a single improvement the swarm found nothing better than its start, and the
    // result is the Levenberg-Marquardt one it was built around.
    stage.Result = fit.best.Improvements > 0 ? fit.best.particle.P : lm.Result;
    stage.MeanRMS = MeanRMSmK(stage.Result, problem.reference);
    stage.Lines = FitLines(stage.Result, problem.reference, settings.DecimalSeparator);
    return stage;
}

} // namespace

RunOutcome RunCalibration(const RunInput &input, const RunSettings &settings, RunHost &host)
{
    RunOutcome outcome;
    outcome.Initial[1] = input.AS;
    outcome.Initial[2] = input.BS;
    outcome.Initial[3] = input.CS;
    for (const auto &[s, t] : input.Points)
        outcome.reference.append(s, t);
    if (outcome.reference.NPoints < 1)
        throw RangeError();

    outcome.LM = runLevenbergMarquardt(outcome, settings);
    host.LMFinished(outcome.LM);
    if (outcome.LM.Status != lmConverged || settings.LMOnly)
        return outcome;

    BuildSearchBox(outcome.LM.Result, settings.SearchRange, outcome.Lo, outcome.Hi);
    for (int j = 1; j <= FittedParameters; ++j) {
        if (outcome.Lo[j] > outcome.Hi[j])
            throw Error(EmptySearchBoxText);
    }
    const PSOProblem problem{outcome.reference, settings.NRestarts, outcome.Lo, outcome.Hi};
    host.PSOStarting(problem);
    outcome.PSO = runParticleSwarm(problem, outcome.LM, settings, host);
    host.PSOFinished(*outcome.PSO);
    return outcome;
}

std::optional<RunResults> resultsOf(const RunOutcome &outcome)
{
    if (outcome.LM.Status != lmConverged || !outcome.PSO)
        return std::nullopt;
    RunResults results;
    results.reference = outcome.reference;
    results.LMResult = outcome.LM.Result;
    results.LMMeanRMS = outcome.LM.MeanRMS;
    results.PSOResult = outcome.PSO->Result;
    results.PSOMeanRMS = outcome.PSO->MeanRMS;
    results.Seed = outcome.PSO->Seed;
    return results;
}

} // namespace kelvora
