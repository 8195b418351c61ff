#include "cli/fitreport.h"

#include "core/lm.h"
#include "core/numfmt.h"
#include "records/operations.h"
#include "tables/rows.h"

namespace kelvora::cli {

namespace {

void appendParameters(std::string &out, const TParamVector &P)
{
    out += "  A = " + formatGeneral(P[1]) + "\n";
    out += "  B = " + formatGeneral(P[2]) + "\n";
    out += "  C = " + formatGeneral(P[3]) + "\n";
}

void appendFit(std::string &out, long double meanRMS, const std::vector<FitLine> &lines)
{
    out += "  Mean RMS (mK) = " + formatFixed(meanRMS, 9, 4) + "\n";
    for (const FitLine &line : lines)
        out += "  " + line.Text + "\n";
}

std::string statusName(int status)
{
    switch (status) {
    case lmConverged: return "converged";
    case lmNotPositiveDefinite: return "matrix cannot be inverted";
    case lmNoDescent: return "no descent";
    case lmIterationLimit: return "iteration limit";
    }
    return "unknown";
}

void setParameters(Json &object, const TParamVector &P)
{
    object.set("A", Json::extended(P[1]));
    object.set("B", Json::extended(P[2]));
    object.set("C", Json::extended(P[3]));
}

Json fittedTemperatures(const std::vector<FitLine> &lines)
{
    Json temperatures = Json::array();
    for (const FitLine &line : lines)
        temperatures.push(Json::extended(line.T));
    return temperatures;
}

Json boxSide(const TParamVector &bound)
{
    Json side = Json::array();
    for (int j = 1; j <= 3; ++j)
        side.push(Json::extended(bound[j]));
    return side;
}

} // namespace

FitRecord FitRecordOf(RecordStore &records)
{
    FitRecord record;
    const RecordRow stored(records.cdsMain);
    record.MeanWL = stored.meanWL();
    record.Bandwidth = stored.bandwidth();
    record.Input = RunInputOf(records);
    return record;
}

std::string plainFitReport(const FitRecord &record, const RunOutcome &outcome)
{
    const RunInput &input = record.Input;
    std::string out;
    out += "Mean wavelength (um) = " + formatGeneral(record.MeanWL) + "\n";
    out += "Bandwidth (um) = " + formatGeneral(record.Bandwidth) + "\n";
    out += "Reference points: " + std::to_string(input.Points.size()) + "\n";
    for (std::size_t i = 0; i < input.Points.size(); ++i) {
        out += "  " + std::to_string(i + 1) + ": S = " + formatGeneral(input.Points[i].first)
               + "; T = " + formatGeneral(input.Points[i].second) + " K\n";
    }

    out += "\nSaunders-White guess\n";
    appendParameters(out, outcome.Initial);

    const LMStage &lm = outcome.LM;
    out += "\nLevenberg-Marquardt\n";
    out += "  Status = " + std::to_string(lm.Status) + " (" + statusName(lm.Status) + ")\n";
    out += "  Iterations = " + std::to_string(lm.Iter) + "\n";
    if (lm.Status == lmConverged) {
        appendParameters(out, lm.Result);
        appendFit(out, lm.MeanRMS, lm.Lines);
    }

    if (outcome.PSO) {
        const PSOStage &pso = *outcome.PSO;
        out += "\nParticle Swarm Optimization\n";
        const char names[] = {'A', 'B', 'C'};
        for (int j = 1; j <= 3; ++j) {
            out += std::string("  ") + names[j - 1] + " in [" + formatGeneral(outcome.Lo[j])
                   + ", " + formatGeneral(outcome.Hi[j]) + "]\n";
        }
        out += "  Passes = " + std::to_string(pso.PassesRun) + "\n";
        out += "  Improvements = " + std::to_string(pso.Improvements) + "\n";
        out += "  Seed = " + std::to_string(pso.Seed) + "\n";
        appendParameters(out, pso.Result);
        appendFit(out, pso.MeanRMS, pso.Lines);
    }
    return out;
}

Json jsonFitReport(const FitRecord &record, const RunOutcome &outcome)
{
    const RunInput &input = record.Input;
    Json report = Json::object();
    report.set("mean_wavelength", Json::extended(record.MeanWL));
    report.set("bandwidth", Json::extended(record.Bandwidth));
    Json points = Json::array();
    for (const auto &[s, t] : input.Points) {
        Json point = Json::object();
        point.set("S", Json::extended(s)).set("T", Json::extended(t));
        points.push(std::move(point));
    }
    report.set("points", std::move(points));

    Json initial = Json::object();
    setParameters(initial, outcome.Initial);
    report.set("initial", std::move(initial));

    const LMStage &lm = outcome.LM;
    Json lmJson = Json::object();
    lmJson.set("status", lm.Status).set("iterations", lm.Iter).set("message", lm.Message);
    if (lm.Status == lmConverged) {
        setParameters(lmJson, lm.Result);
        lmJson.set("mean_rms_mK", Json::extended(lm.MeanRMS));
        lmJson.set("T_fit", fittedTemperatures(lm.Lines));
    }
    report.set("lm", std::move(lmJson));

    if (outcome.PSO) {
        const PSOStage &pso = *outcome.PSO;
        Json box = Json::object();
        box.set("lo", boxSide(outcome.Lo)).set("hi", boxSide(outcome.Hi));
        report.set("search_box", std::move(box));
        Json psoJson = Json::object();
        psoJson.set("passes_run", pso.PassesRun).set("improvements", pso.Improvements);
        psoJson.set("seed", pso.Seed);
        setParameters(psoJson, pso.Result);
        psoJson.set("mean_rms_mK", Json::extended(pso.MeanRMS));
        psoJson.set("T_fit", fittedTemperatures(pso.Lines));
        report.set("pso", std::move(psoJson));
    }
    return report;
}

} // namespace kelvora::cli
