#include "ui/calibration.h"

#include "records/operations.h"
#include "records/uncertainties.h"
#include "tables/recordstore.h"
#include "tables/rows.h"
#include "textio/report.h"
#include "ui/appearance.h"
#include "ui/boundedit.h"
#include "ui/calibrationtext.h"
#include "ui/charteditor.h"
#include "ui/dialogs.h"
#include "ui/errorsink.h"
#include "ui/layoutparts.h"
#include "ui/residualchart.h"
#include "ui/sizing.h"
#include "ui/spinedit.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScatterSeries>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace kelvora {

namespace {

// A read-only box wide enough for each of `widest`.
QLineEdit *readOnlyBox(QWidget *parent, const char *name, const QStringList &widest)
{
    QLineEdit *edit = creamEdit(parent, name);
    fitEditWidth(*edit, widest);
    return edit;
}

QComboBox *settingCombo(QWidget *parent, const char *name, const QStringList &items,
                        const QString &current)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // What is typed is what runs: no completion to the first preset that begins with it.
    combo->setCompleter(nullptr);
    combo->addItems(items);
    combo->setCurrentText(current);
    return combo;
}

// A memo of result lines; a line wider than the memo scrolls.
QPlainTextEdit *resultMemo(QWidget *parent, const char *name)
{
    auto *memo = new QPlainTextEdit(parent);
    memo->setObjectName(QLatin1String(name));
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return memo;
}

// A panel of one method: its bold coloured heading, its settings, its progress, and the
// memo of the best fitted temperatures under a banner.
QWidget *methodPanel(QWidget *parent, const QString &heading, const QColor &colour,
                     QGroupBox *settings, QGroupBox *progress, QPlainTextEdit *memo)
{
    auto *panel = new QWidget(parent);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto *title = new QLabel(shownText(heading), panel);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    QPalette colours = title->palette();
    colours.setColor(QPalette::WindowText, colour);
    title->setPalette(colours);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    settings->setParent(panel);
    progress->setParent(panel);
    layout->addWidget(settings);
    layout->addWidget(progress);

    layout->addWidget(bannerGroup(panel, QStringLiteral("Best Fitted Temperatures"), memo), 1);
    return panel;
}

} // namespace

TFCalibration::TFCalibration(RecordStore &records, Dialogs &dialogs, const TextLocale &locale,
                             const QString &pictureFolder, std::function<void()> afterSave,
                             QWidget *parent)
    : QDialog(parent), m_records(records), m_dialogs(dialogs),
      m_decimalSeparator(locale.decimalSeparator), m_pictureFolder(pictureFolder),
      m_afterSave(std::move(afterSave)),
      m_pictureName(QString::fromStdString(SafeFileName(RecordRow(records.cdsMain).name())))
{
    const int NPoints = m_records.cdsBB.recordCount();
    if (NPoints < 1 || NPoints > MaxPoints)
        throw RangeError();

    setObjectName(QStringLiteral("FCalibration"));
    setWindowTitle(QStringLiteral("Calculation of Sakuma-Hattori Parameters"));
    setWindowIcon(KelvoraIcon());
    const QWidget *content = buildLayout(locale);
    edExt->setValue(DefaultSearchRange(NPoints));

    const QSize needed = fittedMinimumSize(*content, QSize(995, 600))
                             .expandedTo(QSize(titleBarWidthFor(windowTitle(), font()), 0));
    fitWindowToScreen(*this, needed, needed);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    connect(&m_run, &CalibrationRun::progressed, this,
            [this] { guarded(m_dialogs, [this] { showLatestProgress(); }); });
    connect(&m_run, &CalibrationRun::fitEnded, this, &TFCalibration::runFinished);
    connect(&m_run, &CalibrationRun::checkEnded, this, &TFCalibration::monteCarloFinished);
    EnableRunControls(true);
}

TFCalibration::~TFCalibration() = default;

QWidget *TFCalibration::buildLayout(const TextLocale &locale)
{
    const QStringList general = widestParameterTexts(locale);
    const QStringList meanRMS = widestMeanRMSTexts(locale);
    // Iterations, passes, improvements and seeds: whole numbers of up to ten digits.
    const QStringList counts = widestWholeNumbers(10);
    auto *content = new QWidget(this);
    auto *outer = new QVBoxLayout(content);
    outer->setContentsMargins(4, 4, 4, 0);
    outer->setSpacing(4);
    auto *body = new QHBoxLayout();
    body->setSpacing(6);

    comboMaxNIter = settingCombo(this, "comboMaxNIter",
                                 {QStringLiteral("20"), QStringLiteral("50"),
                                  QStringLiteral("100"), QStringLiteral("1000"),
                                  QStringLiteral("10000")},
                                 QStringLiteral("50"));
    comboTolerance = settingCombo(this, "comboTolerance",
                                  {QStringLiteral("1e-9"), QStringLiteral("1e-12"),
                                   QStringLiteral("1e-19"), QStringLiteral("1e-38")},
                                  QStringLiteral("1e-9"));
    edNILM = readOnlyBox(this, "edNILM", counts);
    edALM = readOnlyBox(this, "edALM", general);
    edBLM = readOnlyBox(this, "edBLM", general);
    edCLM = readOnlyBox(this, "edCLM", general);
    edMeanRMSLM = readOnlyBox(this, "edMeanRMSLM", meanRMS);
    mLM = resultMemo(this, "mLM");
    QGroupBox *lmSettings = editGroup(
        this, QStringLiteral("Settings"),
        {{QStringLiteral("Max. Number \rof Iterations "), comboMaxNIter},
         {QStringLiteral("Tolerance "), comboTolerance}});
    QGroupBox *lmProgress = editGroup(
        this, QStringLiteral("Progress"),
        {{QStringLiteral("Actual Number \rof Iterations "), edNILM},
         {QStringLiteral("A "), edALM},
         {QStringLiteral("B "), edBLM},
         {QStringLiteral("C "), edCLM},
         {QStringLiteral("Mean RMS (mK)  "), edMeanRMSLM}});
    QWidget *lmPanel = methodPanel(this, QStringLiteral("Levenberg-Marquardt\r(LM) Method"),
                                   NavyColor, lmSettings, lmProgress, mLM);

    comboNRestarts = settingCombo(this, "comboNRestarts",
                                  {QStringLiteral("1"), QStringLiteral("5"),
                                   QStringLiteral("10"), QStringLiteral("20"),
                                   QStringLiteral("50"), QStringLiteral("100"),
                                   QStringLiteral("1000")},
                                  QStringLiteral("10"));
    edExt = new SpinEdit(SearchRangeMin, SearchRangeMax, 0.1L, SearchRangeDecimals,
                         m_decimalSeparator, this);
    edExt->setObjectName(QStringLiteral("edExt"));
    edSeed = new QLineEdit(this);
    edSeed->setObjectName(QStringLiteral("edSeed"));
    edSeed->setPlaceholderText(QStringLiteral("from the clock"));
    edSeed->setToolTip(QStringLiteral("Seed of the random generator, 0 to 4294967295: the same "
                                      "seed repeats a fit; empty takes a new one from the clock"));
    fitEditWidth(*edSeed, QStringList(counts) << edSeed->placeholderText());
    edRestartNo = readOnlyBox(this, "edRestartNo", counts);
    edNSucc = readOnlyBox(this, "edNSucc", counts);
    edAPSO = readOnlyBox(this, "edAPSO", general);
    edBPSO = readOnlyBox(this, "edBPSO", general);
    edCPSO = readOnlyBox(this, "edCPSO", general);
    edMeanRMSPSO = readOnlyBox(this, "edMeanRMSPSO", meanRMS);
    edSeedUsed = readOnlyBox(this, "edSeedUsed", counts);
    edSeedUsed->setToolTip(QStringLiteral("The seed the result was found with"));
    mPSO = resultMemo(this, "mPSO");
    QGroupBox *psoSettings = editGroup(this, QStringLiteral("Settings"),
                                       {{QStringLiteral("Number of Restarts "), comboNRestarts},
                                        {QStringLiteral("Search Range "), edExt},
                                        {QStringLiteral("Seed "), edSeed}});
    QGroupBox *psoProgress = editGroup(
        this, QStringLiteral("Progress"),
        {{QStringLiteral("Restart # "), edRestartNo},
         {QStringLiteral("Number of Successful\r Interations"), edNSucc},
         {QStringLiteral("A "), edAPSO},
         {QStringLiteral("B "), edBPSO},
         {QStringLiteral("C "), edCPSO},
         {QStringLiteral("Mean RMS (mK)  "), edMeanRMSPSO},
         {QStringLiteral("Seed Used "), edSeedUsed}});
    QWidget *psoPanel =
        methodPanel(this, QStringLiteral("Particle Swarm Optimization \r(PSO)  Method"),
                    Qt::red, psoSettings, psoProgress, mPSO);

    auto *centre = new QWidget(this);
    auto *centreLayout = new QVBoxLayout(centre);
    centreLayout->setContentsMargins(0, 0, 0, 0);
    centreLayout->setSpacing(2);
    chApprox = new ResidualChart(centre);
    chApprox->setDialogs(&m_dialogs, m_pictureFolder);
    chApprox->setPictureName([this] { return m_pictureName; });
    centreLayout->addWidget(chApprox, 1);
    sbInfo = new QLabel(centre);
    sbInfo->setObjectName(QStringLiteral("sbInfo"));
    QFont bold = sbInfo->font();
    bold.setBold(true);
    sbInfo->setFont(bold);
    QPalette red = sbInfo->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    sbInfo->setPalette(red);
    pbRun = new QProgressBar(centre);
    pbRun->setObjectName(QStringLiteral("pbRun"));
    pbRun->setRange(0, 1);
    pbRun->setValue(0);
    pbRun->setTextVisible(true);
    pbRun->setFormat(QString());
    pbRun->setToolTip(QStringLiteral("Pass and sweep of the particle swarm"));
    // Wide enough for its text with the passes of the largest number of restarts offered.
    pbRun->setMinimumWidth(
        widestTextWidth(pbRun->font(), {progressText(1001, 1001, 30000, 30000)})
        + 2 * pbRun->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 16);
    mUnc = resultMemo(centre, "mUnc");
    // A header and six points in sight; more scroll.
    mUnc->setFixedHeight(mUnc->fontMetrics().lineSpacing() * 7
                         + mUnc->style()->pixelMetric(QStyle::PM_ScrollBarExtent)
                         + 2 * mUnc->frameWidth() + 8);
    centreLayout->addWidget(bannerGroup(
        centre, QStringLiteral("Uncertainties at the Reference Points (LM)"), mUnc));
    lbBirge = new QLabel(centre);
    lbBirge->setObjectName(QStringLiteral("lbBirge"));
    // One line, its whole text in the tool tip, so that the window keeps its height.
    lbBirge->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    centreLayout->addWidget(lbBirge);
    centreLayout->addWidget(sbInfo);
    centreLayout->addWidget(pbRun);

    body->addWidget(lmPanel);
    body->addWidget(centre, 1);
    body->addWidget(psoPanel);
    outer->addLayout(body, 1);

    btnRun = makeButton(this, "btnRun", QStringLiteral("&Run"), QStringLiteral("Start fitting"),
                       QStyle::SP_MediaPlay);
    btnStop = makeButton(this, "btnStop", QStringLiteral("S&top"),
                        QStringLiteral("Interrupt fitting"), QStyle::SP_MediaStop);
    btnEditUnc = makeButton(this, "btnEditUnc", QStringLiteral("Edit &Graph"),
                           QStringLiteral("Open Graph Editor"), QStyle::SP_FileDialogInfoView);
    btnSaveInDB = makeButton(this, "btnSaveInDB", QStringLiteral("&Save in Database"),
                            QStringLiteral("Save fitting results in the database"),
                            QStyle::SP_DialogSaveButton);
    btnClose = makeButton(this, "btnClose", QStringLiteral("&Close"),
                         QStringLiteral("Close window"), QStyle::SP_DialogCloseButton);
    btnMonteCarlo = makeButton(this, "btnMonteCarlo", QStringLiteral("&Monte Carlo"),
                               QStringLiteral("Check the uncertainties by Monte Carlo trials"),
                               QStyle::SP_BrowserReload);
    auto *buttons = new QHBoxLayout();
    buttons->setContentsMargins(2, 4, 2, 4);
    buttons->setSpacing(8);
    buttons->addWidget(btnRun);
    buttons->addWidget(btnStop);
    buttons->addWidget(btnMonteCarlo);
    buttons->addStretch(1);
    buttons->addWidget(btnEditUnc);
    buttons->addWidget(btnSaveInDB);
    buttons->addWidget(btnClose);
    outer->addLayout(buttons);

    auto *statusBar = new QFrame(this);
    statusBar->setObjectName(QStringLiteral("RzStatusBar1"));
    statusBar->setFrameShape(QFrame::StyledPanel);
    auto *statusLayout = new QHBoxLayout(statusBar);
    statusLayout->setContentsMargins(4, 1, 4, 1);
    statusLayout->setSpacing(16);
    Table &cdsMain = m_records.cdsMain;
    auto *name = new BoundPane(cdsMain, RecordField::Name, QStringLiteral("Record Name: "));
    name->setObjectName(QStringLiteral("dbspName"));
    auto *created =
        new BoundPane(cdsMain, RecordField::Created, QStringLiteral("Created:"), locale);
    created->setObjectName(QStringLiteral("dbspCreated"));
    auto *points = new BoundPane(m_records.cdsBB, ReferencePointField::RecordCount,
                                 QStringLiteral("Number of Reference Temperatures:"));
    points->setObjectName(QStringLiteral("dbspRecordCount"));
    for (BoundPane *pane : {name, created, points})
        statusLayout->addWidget(pane);
    statusLayout->addWidget(new QLabel(statusBar), 1);
    outer->addWidget(statusBar);
    auto *frame = new QVBoxLayout(this);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->addWidget(scrolledWhenTooSmall(content));

    const auto click = [this](QPushButton *button, void (TFCalibration::*handler)()) {
        // No button is the dialog's default: Enter in a settings box starts nothing.
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this,
                [this, handler] { guarded(m_dialogs, [this, handler] { (this->*handler)(); }); });
    };
    click(btnRun, &TFCalibration::btnRunClick);
    click(btnStop, &TFCalibration::btnStopClick);
    click(btnEditUnc, &TFCalibration::btnEditUncClick);
    click(btnSaveInDB, &TFCalibration::btnSaveInDBClick);
    click(btnClose, &TFCalibration::btnCloseClick);
    click(btnMonteCarlo, &TFCalibration::btnMonteCarloClick);
    return content;
}

void TFCalibration::EnableRunControls(bool enabled)
{
    btnRun->setEnabled(enabled);
    btnEditUnc->setEnabled(enabled);
    btnSaveInDB->setEnabled(enabled && m_results);
    btnClose->setEnabled(enabled);
    btnStop->setEnabled(!enabled);
    btnMonteCarlo->setEnabled(enabled && canCheck());
}

void TFCalibration::btnRunClick()
{
    if (busy())
        return;
    m_results.reset();
    m_run.forgetUncertainties();
    mLM->clear();
    mPSO->clear();
    mUnc->clear();
    lbBirge->clear();
    sbInfo->setText(QStringLiteral("Levenberg-Marquardt fitting is in progress..."));
    EnableRunControls(false);

    edSeedUsed->clear();
    FitSettings settings;
    RunInput input;
    try {
        settings = fitSettingsOf({comboMaxNIter->currentText(), comboTolerance->currentText(),
                                  comboNRestarts->currentText(), edExt->typedText(),
                                  edSeed->text()},
                                 m_decimalSeparator);
        input = RunInputOf(m_records);
    } catch (...) {
        sbInfo->clear();
        EnableRunControls(true);
        throw;
    }

    pbRun->setRange(0, 1);
    pbRun->setValue(0);
    pbRun->setFormat(QStringLiteral("Levenberg-Marquardt"));
    m_run.startFit(std::move(input), settings);
}

void TFCalibration::setSeedForTesting(std::optional<std::uint32_t> seed)
{
    edSeed->setText(seed ? QString::number(*seed) : QString());
}

void TFCalibration::btnStopClick()
{
    m_run.requestStop();
}

void TFCalibration::btnEditUncClick()
{
    ChartEditor editor(chApprox->chart(), m_dialogs, m_pictureFolder, m_pictureName, this);
    m_dialogs.exec(editor);
}

void TFCalibration::btnSaveInDBClick()
{
    if (!m_results)
        return;
    SaveResults();
    m_results->ResultsSaved = true;
    sbInfo->setText(QStringLiteral("Results saved in the database"));
}

void TFCalibration::btnCloseClick()
{
    close();
}

void TFCalibration::SaveResults()
{
    kelvora::SaveResults(m_records, *m_results, m_records.store.clock());
    if (m_afterSave)
        m_afterSave();
}

void TFCalibration::FormClose()
{
    if (!m_results || m_results->ResultsSaved)
        return;
    if (m_dialogs.confirm(QStringLiteral("Results were not saved in the database and will be "
                                         "lost.\rDo you wish to save results before you close "
                                         "the window?"),
                          Dialogs::Buttons::YesNo))
        SaveResults();
}

void TFCalibration::closeWhenRunEnds()
{
    if (!m_closePending) {
        if (!m_dialogs.confirm(QStringLiteral("Fitting is in progress.\rDo you wish to stop it "
                                              "and close the window?"),
                               Dialogs::Buttons::YesNo))
            return;
        m_closePending = true;
        if (!busy()) {
            // The run ended while the question was shown.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_closePending = false;
                    close();
                },
                Qt::QueuedConnection);
            return;
        }
        btnStopClick();
    }
    sbInfo->setText(QStringLiteral("The window will close when the run has ended"));
}

void TFCalibration::reject()
{
    if (busy()) {
        closeWhenRunEnds();
        return;
    }
    // Closing cannot be refused: a failed save is shown, and the window closes.
    guarded(m_dialogs, [this] { FormClose(); });
    QDialog::reject();
}

void TFCalibration::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        // Enter presses the button that has the focus, as Space does.
        auto *button = qobject_cast<QPushButton *>(focusWidget());
        if (button != nullptr && button->isEnabled())
            button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFCalibration::closeEvent(QCloseEvent *event)
{
    if (busy()) {
        closeWhenRunEnds();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TFCalibration::showLevenbergMarquardt(const LMStage &stage)
{
    if (stage.Status != 0)
        return;
    edNILM->setText(QString::number(stage.Iter));
    edALM->setText(parameterText(stage.Result[1], m_decimalSeparator));
    edBLM->setText(parameterText(stage.Result[2], m_decimalSeparator));
    edCLM->setText(parameterText(stage.Result[3], m_decimalSeparator));
    edMeanRMSLM->setText(meanRMSText(stage.MeanRMS, m_decimalSeparator));
    chApprox->clear();
    mLM->setPlainText(fitLinesText(stage.Lines));
    chApprox->showResiduals(chApprox->seLM, m_run.residualPoints(stage.Lines));
    chApprox->drawZeroLine();
    // A close waiting for the end of the run keeps saying so.
    if (!m_closePending)
        sbInfo->setText(QStringLiteral("Particle Swarm Optimization is in progress..."));
}

void TFCalibration::ShowPSOProgress(const PSOProgress &best)
{
    edAPSO->setText(parameterText(best.Best[1], m_decimalSeparator));
    edBPSO->setText(parameterText(best.Best[2], m_decimalSeparator));
    edCPSO->setText(parameterText(best.Best[3], m_decimalSeparator));
    edMeanRMSPSO->setText(meanRMSText(best.MeanRMS, m_decimalSeparator));
    mPSO->setPlainText(fitLinesText(best.Lines));
    chApprox->showResiduals(chApprox->sePSO, m_run.residualPoints(best.Lines));
}

void TFCalibration::showSweep(const RunView &view)
{
    if (view.restartNo < 0)
        return;
    edRestartNo->setText(QString::number(view.restartNo));
    edNSucc->setText(QString::number(view.improvements));
    if (view.passes <= 0 || view.sweepsPerPass <= 0)
        return;
    // Counted in sweeps; the bar's range is an int.
    const int perPass = view.sweepsPerPass;
    const long long total = static_cast<long long>(view.passes) * perPass;
    const int scale = static_cast<int>(std::max<long long>(1, total / 1'000'000'000 + 1));
    pbRun->setRange(0, static_cast<int>(total / scale));
    pbRun->setValue(static_cast<int>(
        (static_cast<long long>(view.restartNo) * perPass + view.sweep) / scale));
    pbRun->setFormat(progressText(view.restartNo + 1, view.passes, view.sweep, perPass));
}

void TFCalibration::showLatestProgress()
{
    if (m_run.checking())
        pbRun->setValue(m_run.trialsDone());
    if (!m_run.fitting())
        return;
    const CalibrationRun::FitNews news = m_run.fitNews();
    if (news.lm)
        showLevenbergMarquardt(*news.lm);
    if (news.best)
        ShowPSOProgress(*news.best);
    showSweep(news.view);
}

void TFCalibration::runFinished()
{
    guarded(m_dialogs, [this] { endRun(); });
    if (m_closePending) {
        m_closePending = false;
        close();
    }
}

void TFCalibration::endRun()
{
    showLatestProgress();
    CalibrationRun::FitEnd end;
    try {
        end = m_run.takeFit();
        if (!end.outcome.LM.Message.empty()) {
            sbInfo->clear();
            pbRun->setFormat(QString());
            m_dialogs.message(QString::fromStdString(end.outcome.LM.Message));
            EnableRunControls(true);
            return;
        }
    } catch (...) {
        sbInfo->clear();
        EnableRunControls(true);
        throw;
    }

    const PSOStage &pso = *end.outcome.PSO;
    // Without a single improvement the boxes show nothing of this run: they take the
    // result the run holds.
    if (pso.Improvements == 0)
        ShowPSOProgress({pso.Result, pso.MeanRMS, pso.Lines});
    mPSO->setPlainText(fitLinesText(pso.Lines));
    chApprox->showResiduals(chApprox->sePSO, m_run.residualPoints(pso.Lines));
    edSeedUsed->setText(QString::number(pso.Seed));
    m_results = resultsOf(end.outcome);
    showUncertainties(end.outcome.LM.Result);
    EnableRunControls(true);
    sbInfo->setText(end.stopped ? QStringLiteral("Fitting is interrupted.")
                                : QStringLiteral("Fitting is completed."));
}

// ---- the uncertainties of the fit and their Monte Carlo check -----------------------------

void TFCalibration::showUncertainties(const TParamVector &P)
{
    std::vector<UncertainPoint> points = UncertainPointsOf(m_records);
    try {
        m_run.propagate(P, std::move(points));
    } catch (const Error &error) {
        mUnc->clear();
        const QString text = QString::fromStdString(error.what());
        lbBirge->setText(text);
        lbBirge->setToolTip(text);
        return;
    }
    writeUncertainties();
}

void TFCalibration::writeUncertainties()
{
    const std::optional<UncertaintyPropagation> &propagation = m_run.propagation();
    if (!propagation)
        return;
    mUnc->setPlainText(uncertaintyTableText(m_run.points(), *propagation, m_run.checkedValues(),
                                            m_decimalSeparator));
    const UncertaintyRemark remark = uncertaintyRemark(*propagation, m_decimalSeparator);
    lbBirge->setText(remark.line);
    lbBirge->setToolTip(remark.whole);
}

bool TFCalibration::canCheck() const
{
    return m_results && m_run.canCheck();
}

void TFCalibration::btnMonteCarloClick()
{
    if (busy() || !canCheck())
        return;
    m_run.startCheck(UncertaintySettingsOf(m_records));
    writeUncertainties();
    EnableRunControls(false);
    sbInfo->setText(QStringLiteral("Monte Carlo check is in progress..."));
    pbRun->setRange(0, m_run.trials());
    pbRun->setValue(0);
    pbRun->setFormat(QStringLiteral("Trial %v of %m"));
}

void TFCalibration::monteCarloFinished()
{
    guarded(m_dialogs, [this] { endMonteCarlo(); });
    if (m_closePending) {
        m_closePending = false;
        close();
    }
}

void TFCalibration::endMonteCarlo()
{
    pbRun->setValue(m_run.trialsDone());
    EnableRunControls(true);
    const MonteCarloOutcome outcome = m_run.takeCheck();
    if (outcome.stopped) {
        sbInfo->setText(QStringLiteral("Monte Carlo check is interrupted."));
        return;
    }
    writeUncertainties();
    sbInfo->setText(QStringLiteral("Monte Carlo check is completed: %1 of %2 trials failed "
                                   "to fit.")
                        .arg(outcome.failed)
                        .arg(outcome.trials));
}

} // namespace kelvora
