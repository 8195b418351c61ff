#include "ui/calibrationrun.h"

#include "calibration/backgroundmontecarlo.h"
#include "calibration/backgroundrun.h"
#include "records/uncertainties.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace kelvora {

namespace {

// The display shows the latest progress 25 times a second.
constexpr int DisplayIntervalMs = 40;

} // namespace

CalibrationRun::CalibrationRun(QObject *parent) : QObject(parent)
{
    m_displayTimer.setInterval(DisplayIntervalMs);
    connect(&m_displayTimer, &QTimer::timeout, this, &CalibrationRun::progressed);
}

CalibrationRun::~CalibrationRun() = default;

void CalibrationRun::requestStop()
{
    if (m_fit)
        m_fit->progress().requestStop();
    if (m_check)
        m_check->requestStop();
}

void CalibrationRun::startFit(RunInput input, const FitSettings &settings)
{
    m_swarmRefusal = settings.swarmRefusal;
    m_fitSettings = settings.run;
    m_referenceT.clear();
    for (const auto &point : input.Points)
        m_referenceT.push_back(point.second);
    m_lmShown = false;
    m_bestShown = 0;
    m_fit = std::make_unique<BackgroundRun>(std::move(input), settings.run, [this] {
        QMetaObject::invokeMethod(this, [this] { emit fitEnded(); }, Qt::QueuedConnection);
    });
    m_displayTimer.start();
}

CalibrationRun::FitNews CalibrationRun::fitNews()
{
    FitNews news;
    news.view = m_fit->progress().latest();
    if (news.view.lm && !m_lmShown) {
        m_lmShown = true;
        news.lm = news.view.lm;
    }
    if (news.view.best && news.view.bestCount != m_bestShown) {
        m_bestShown = news.view.bestCount;
        news.best = news.view.best;
    }
    return news;
}

QList<QPointF> CalibrationRun::residualPoints(const std::vector<FitLine> &lines) const
{
    QList<QPointF> points;
    for (const FitLine &line : lines) {
        const auto i = static_cast<std::size_t>(line.Index - 1);
        if (i < m_referenceT.size())
            points.append(QPointF(m_referenceT[i], static_cast<double>(line.D)));
    }
    return points;
}

CalibrationRun::FitEnd CalibrationRun::takeFit()
{
    m_displayTimer.stop();
    const std::unique_ptr<BackgroundRun> fit = std::move(m_fit);
    FitEnd end;
    end.stopped = fit->progress().stopWasRequested();
    end.outcome = fit->result();
    if (end.outcome.LM.Message.empty() && m_swarmRefusal)
        std::rethrow_exception(std::exchange(m_swarmRefusal, nullptr));
    return end;
}

void CalibrationRun::propagate(const TParamVector &P, std::vector<UncertainPoint> points)
{
    m_propagatedP = P;
    m_points = std::move(points);
    forgetUncertainties();
    m_propagation.emplace(P, m_points);
}

void CalibrationRun::forgetUncertainties()
{
    m_checkedValues.clear();
    m_propagation.reset();
}

bool CalibrationRun::canCheck() const
{
    return m_propagation && m_propagation->hasPointUncertainties();
}

void CalibrationRun::startCheck(const UncertaintySettings &settings)
{
    MonteCarloProblem problem;
    problem.points = m_points;
    problem.fitted = m_propagatedP;
    problem.MaxIter = m_fitSettings.MaxIter;
    problem.Tol = m_fitSettings.Tol;
    problem.trials = std::clamp(settings.trials, 2, MaxMonteCarloTrials);
    problem.seed = settings.seed;
    for (const UncertainPoint &point : m_points)
        problem.signalValues.push_back(point.S);
    problem.threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 64u));
    m_checkedValues.clear();
    m_check = std::make_unique<BackgroundMonteCarlo>(std::move(problem), [this] {
        QMetaObject::invokeMethod(this, [this] { emit checkEnded(); }, Qt::QueuedConnection);
    });
    m_displayTimer.start();
}

int CalibrationRun::trials() const
{
    return m_check->trials();
}

int CalibrationRun::trialsDone() const
{
    return m_check->done();
}

MonteCarloOutcome CalibrationRun::takeCheck()
{
    m_displayTimer.stop();
    const std::unique_ptr<BackgroundMonteCarlo> check = std::move(m_check);
    MonteCarloOutcome outcome = check->result();
    if (!outcome.stopped)
        m_checkedValues = outcome.values;
    return outcome;
}

} // namespace kelvora
