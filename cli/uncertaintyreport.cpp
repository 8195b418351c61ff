#include "cli/uncertaintyreport.h"

#include "core/errors.h"
#include "core/numfmt.h"
#include "records/uncertainties.h"

#include <cstdio>

namespace kelvora::cli {

namespace {

Json kelvins(const std::optional<long double> &value)
{
    return value ? Json::extended(*value) : Json();
}

std::string millikelvins(const std::optional<long double> &value)
{
    return value ? formatFixed(*value * 1000.0L, 15, 3) : std::string("-");
}

} // namespace

SignalUncertainties signalUncertainties(const std::vector<UncertainPoint> &points,
                                        const TParamVector &P,
                                        const std::vector<long double> &signals, long double w,
                                        const MonteCarloRequest &request)
{
    SignalUncertainties u;
    u.signals = signals;
    std::optional<UncertaintyPropagation> propagation;
    try {
        propagation.emplace(P, points);
        u.birgeRatio = propagation->birgeRatio();
    } catch (const Error &e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    u.values = UncertaintiesAt(propagation, P, signals, w);
    if (request.trials > 0) {
        if (!propagation || !propagation->hasPointUncertainties()) {
            std::fprintf(stderr, "The Monte Carlo check needs u(T) of every reference point\n");
        } else {
            MonteCarloProblem problem;
            problem.points = points;
            problem.fitted = P;
            problem.MaxIter = request.MaxIter;
            problem.Tol = request.Tol;
            problem.trials = request.trials;
            problem.seed = request.seed;
            problem.signalValues = signals;
            problem.threads = request.threads;
            MonteCarloHost host;
            u.monteCarlo = RunMonteCarlo(problem, host);
            if (u.monteCarlo->failed > 0)
                std::fprintf(stderr, "Monte Carlo: %d of %d trials failed to fit\n",
                             u.monteCarlo->failed, u.monteCarlo->trials);
        }
    }
    return u;
}

Json jsonInterpolated(const SignalUncertainties &u)
{
    Json list = Json::array();
    for (std::size_t j = 0; j < u.signals.size(); ++j) {
        const std::optional<InterpolatedUncertainty> &value = u.values[j];
        Json item = Json::object();
        item.set("S", Json::extended(u.signals[j]));
        item.set("T", value ? Json::extended(value->T) : Json());
        item.set("u_ref", value ? kelvins(value->uRef) : Json());
        item.set("u_sig", value ? Json::extended(value->uSig) : Json());
        item.set("u_c", value ? kelvins(value->uC) : Json());
        item.set("U", value ? kelvins(value->U) : Json());
        item.set("u_fit", value ? kelvins(value->uFit) : Json());
        if (u.monteCarlo) {
            const std::optional<MonteCarloValue> &mc = u.monteCarlo->values[j];
            item.set("u_mc", mc ? Json::extended(mc->u) : Json());
            item.set("mc_low", mc ? Json::extended(mc->low) : Json());
            item.set("mc_high", mc ? Json::extended(mc->high) : Json());
        }
        list.push(std::move(item));
    }
    return list;
}

Json jsonBirgeRatio(const SignalUncertainties &u)
{
    return kelvins(u.birgeRatio);
}

void addUncertainties(Json &report, const SignalUncertainties &u)
{
    report.set("interpolated", jsonInterpolated(u));
    report.set("birge_ratio", jsonBirgeRatio(u));
    if (u.monteCarlo) {
        report.set("mc_trials", u.monteCarlo->trials);
        report.set("mc_failed", u.monteCarlo->failed);
    }
}

std::string plainUncertainties(const SignalUncertainties &u)
{
    std::string out = "Uncertainties (mK; U with k = 2)\n";
    out += "  No  S  T (K)  U  u_ref  u_sig  u_c  u_fit";
    if (u.monteCarlo)
        out += "  u_mc  mc_low (K)  mc_high (K)";
    out += "\n";
    for (std::size_t j = 0; j < u.signals.size(); ++j) {
        const std::optional<InterpolatedUncertainty> &value = u.values[j];
        out += "  " + std::to_string(j + 1) + "  " + formatGeneral(u.signals[j], 12) + "  ";
        if (!value) {
            out += "no temperature\n";
            continue;
        }
        out += formatFixed(value->T, 15, 4) + "  " + millikelvins(value->U) + "  "
               + millikelvins(value->uRef) + "  " + millikelvins(value->uSig) + "  "
               + millikelvins(value->uC) + "  " + millikelvins(value->uFit);
        if (u.monteCarlo) {
            const std::optional<MonteCarloValue> &mc = u.monteCarlo->values[j];
            out += "  " + (mc ? millikelvins(mc->u) + "  " + formatFixed(mc->low, 15, 4) + "  "
                                    + formatFixed(mc->high, 15, 4)
                              : std::string("-  -  -"));
        }
        out += "\n";
    }
    if (u.monteCarlo) {
        out += "Monte Carlo: " + std::to_string(u.monteCarlo->trials) + " trials, "
               + std::to_string(u.monteCarlo->failed) + " failed to fit\n";
    }
    if (u.birgeRatio)
        out += BirgeRatioRemark(*u.birgeRatio) + "\n";
    return out;
}

} // namespace kelvora::cli
