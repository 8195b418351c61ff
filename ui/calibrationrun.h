#pragma once

#include "calibration/liveprogress.h"
#include "calibration/run.h"
#include "core/montecarlo.h"
#include "core/uncertainty.h"
#include "ui/calibrationtext.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QTimer>

#include <exception>
#include <memory>
#include <optional>
#include <vector>

namespace kelvora {

class BackgroundMonteCarlo;
class BackgroundRun;
struct UncertaintySettings;

// The work behind the calibration window: the fit and the Monte Carlo check of the
// uncertainties at the reference points, each on a thread of its own, one at a time. While
// one of them goes on, progressed() comes at display rate for the window to show the latest
// progress; its end comes as fitEnded() or checkEnded() on the window's thread, where the
// window takes what it left. Whatever still goes on is stopped, and waited for, when the run
// goes.
class CalibrationRun : public QObject
{
    Q_OBJECT

public:
    // What of a fit's progress was not shown yet.
    struct FitNews
    {
        std::optional<LMStage> lm;       // once the Levenberg-Marquardt stage has ended
        std::optional<PSOProgress> best; // each time the swarm improved
        RunView view;                    // the latest sweep
    };
    struct FitEnd
    {
        RunOutcome outcome;
        bool stopped = false; // a stop was asked for
    };

    explicit CalibrationRun(QObject *parent = nullptr);
    ~CalibrationRun() override;

    bool fitting() const { return m_fit != nullptr; }
    bool checking() const { return m_check != nullptr; }
    bool busy() const { return fitting() || checking(); }
    // Asks the fit or the check to stop.
    void requestStop();

    void startFit(RunInput input, const FitSettings &settings);
    // While fitting: what is new since the last look.
    FitNews fitNews();
    // The residuals of a fit's lines against the reference temperatures of the fit.
    QList<QPointF> residualPoints(const std::vector<FitLine> &lines) const;
    // The ended fit, taken; its error raised, or after a successful Levenberg-Marquardt
    // stage the refusal of a swarm setting.
    FitEnd takeFit();

    // The uncertainties of the reference points `points` propagated at a fitted triple P,
    // which a check refits from; the values of an earlier check are forgotten. An error of
    // the propagation is raised and leaves none.
    void propagate(const TParamVector &P, std::vector<UncertainPoint> points);
    void forgetUncertainties();
    const std::vector<UncertainPoint> &points() const { return m_points; }
    const std::optional<UncertaintyPropagation> &propagation() const { return m_propagation; }
    // The values of the last completed check, per point; none before a check.
    const std::vector<std::optional<MonteCarloValue>> &checkedValues() const
    {
        return m_checkedValues;
    }
    // A check needs the uncertainty of every point.
    bool canCheck() const;
    // Starts the check by the trials of `settings`, refitting from the propagation's triple
    // as the last fit did.
    void startCheck(const UncertaintySettings &settings);
    // While checking: the trials asked for, and those done.
    int trials() const;
    int trialsDone() const;
    // The ended check, taken; its error raised. A completed check leaves its values.
    MonteCarloOutcome takeCheck();

signals:
    void progressed();
    void fitEnded();
    void checkEnded();

private:
    std::unique_ptr<BackgroundRun> m_fit;
    std::unique_ptr<BackgroundMonteCarlo> m_check;
    QTimer m_displayTimer;
    // The reference temperatures of the fit, the X values of its residuals.
    std::vector<double> m_referenceT;
    // What of the fit's progress was shown already.
    bool m_lmShown = false;
    int m_bestShown = 0;
    std::exception_ptr m_swarmRefusal;
    // The settings of the last fit, whose limits a check's refits keep.
    RunSettings m_fitSettings;
    // The uncertainties of the last successful fit's Levenberg-Marquardt triple.
    TParamVector m_propagatedP;
    std::vector<UncertainPoint> m_points;
    std::optional<UncertaintyPropagation> m_propagation;
    std::vector<std::optional<MonteCarloValue>> m_checkedValues;
};

} // namespace kelvora
