#pragma once

#include "calibration/run.h"
#include "core/datetime.h"
#include "ui/calibrationrun.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace kelvora {

class Dialogs;
class RecordStore;
class ResidualChart;
class SpinEdit;

// "Calculation of Sakuma-Hattori Parameters": the settings of both fits, their progress and
// results side by side around a chart of the residuals, and saving the results into the
// current record.
//
// A run goes on a thread of its own (CalibrationRun); the window shows its latest progress
// at display rate and never touches the fitter's state while it runs. Save in Database, and
// the question on closing, are offered only while the window holds the results of a
// successful run of its own: results of another record, or of none, are never written.
class TFCalibration : public QDialog
{
    Q_OBJECT

public:
    // For the current record of `records`, which needs 1 to 20 reference points (RangeError
    // otherwise). The chart saves its pictures in `pictureFolder`; `afterSave` runs after
    // results were written into the record.
    TFCalibration(RecordStore &records, Dialogs &dialogs, const TextLocale &locale,
                  const QString &pictureFolder, std::function<void()> afterSave,
                  QWidget *parent = nullptr);
    ~TFCalibration() override;

    // The handlers of the buttons.
    void btnRunClick();
    void btnStopClick();
    void btnEditUncClick();
    void btnSaveInDBClick();
    void btnCloseClick();
    // Checks the propagated uncertainties of the reference temperatures by the Monte Carlo
    // trials of the record's settings, refitting from the Levenberg-Marquardt result, on a
    // thread of its own with the progress bar and Stop.
    void btnMonteCarloClick();

    // Run, Edit Graph, Save in Database and Close get `enabled`, Stop the opposite; Save in
    // Database only while the window holds results to save.
    void EnableRunControls(bool enabled);
    // Writes the held results into the current record.
    void SaveResults();

    bool running() const { return m_run.fitting(); }
    bool checking() const { return m_run.checking(); }
    // The results of the window's last successful run on its record, while it holds them.
    const std::optional<RunResults> &heldResults() const { return m_results; }
    bool holdsResults() const { return m_results.has_value(); }
    // Tests and benchmarks type a seed as a user does (nothing: from the clock).
    void setSeedForTesting(std::optional<std::uint32_t> seed);

    // Esc, Close and the title bar: ask about unsaved results, then close. During a run they
    // ask whether to stop it; on Yes the window closes as soon as the run has ended.
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    // Enter starts a run only when Run has the focus.
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The window's content, which scrolls on a screen too small for it.
    QWidget *buildLayout(const TextLocale &locale);
    // Asks about unsaved results and saves them on Yes.
    void FormClose();
    // A close requested during a run: asks whether to stop the run and close once it has
    // ended.
    void closeWhenRunEnds();
    void showLatestProgress();
    void showLevenbergMarquardt(const LMStage &stage);
    void ShowPSOProgress(const PSOProgress &best);
    void showSweep(const RunView &view);
    void runFinished();
    void endRun();
    bool busy() const { return m_run.busy(); }
    // The uncertainties at the reference points for the triple P, without a Monte Carlo
    // check yet.
    void showUncertainties(const TParamVector &P);
    void writeUncertainties();
    bool canCheck() const;
    void monteCarloFinished();
    void endMonteCarlo();

    RecordStore &m_records;
    Dialogs &m_dialogs;
    char m_decimalSeparator;
    const QString m_pictureFolder;
    std::function<void()> m_afterSave;
    // The name a picture of the chart is proposed under: the record's.
    QString m_pictureName;

    // The fit and the check, with the uncertainties of the last successful fit.
    CalibrationRun m_run;
    std::optional<RunResults> m_results;
    bool m_closePending = false;

    QComboBox *comboMaxNIter;
    QComboBox *comboTolerance;
    QLineEdit *edNILM;
    QLineEdit *edALM;
    QLineEdit *edBLM;
    QLineEdit *edCLM;
    QLineEdit *edMeanRMSLM;
    QPlainTextEdit *mLM;
    QComboBox *comboNRestarts;
    SpinEdit *edExt;
    QLineEdit *edSeed;
    QLineEdit *edRestartNo;
    QLineEdit *edNSucc;
    QLineEdit *edAPSO;
    QLineEdit *edBPSO;
    QLineEdit *edCPSO;
    QLineEdit *edMeanRMSPSO;
    QLineEdit *edSeedUsed;
    QPlainTextEdit *mPSO;
    ResidualChart *chApprox;
    QLabel *sbInfo;
    QProgressBar *pbRun;
    QPushButton *btnRun;
    QPushButton *btnStop;
    QPushButton *btnEditUnc;
    QPushButton *btnSaveInDB;
    QPushButton *btnClose;
    QPushButton *btnMonteCarlo;
    QPlainTextEdit *mUnc;
    QLabel *lbBirge;
};

} // namespace kelvora
