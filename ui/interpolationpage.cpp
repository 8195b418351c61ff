#include "ui/interpolationpage.h"

#include "records/regularfile.h"
#include "records/reports.h"
#include "records/uncertainties.h"
#include "tables/recordstore.h"
#include "tables/rows.h"
#include "textio/report.h"
#include "textio/signals.h"
#include "textio/textfile.h"
#include "ui/chart.h"
#include "ui/charteditor.h"
#include "ui/dialogs.h"
#include "ui/errorsink.h"
#include "ui/mainlayout.h"
#include "ui/outofrange.h"
#include "ui/radiogroup.h"
#include "ui/tablefield.h"
#include "ui/uncertaintychart.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>

#include <variant>

namespace kelvora {

namespace {

// (T, S) of every row of a reference or measurement table, in its order; an empty value
// counts as 0.
std::vector<ChartPoint> chartPointsOf(const Table &table, TableField signal,
                                      TableField temperature)
{
    const int s = signal.indexIn(table);
    const int t = temperature.indexIn(table);
    const auto number = [](const Value &value) {
        const double *v = std::get_if<double>(&value);
        return v != nullptr ? *v : 0.0;
    };
    std::vector<ChartPoint> points;
    const int rows = table.displayRowCount();
    for (int row = 0; row < rows; ++row)
        points.push_back({number(table.valueAt(row, t)), number(table.valueAt(row, s))});
    return points;
}

} // namespace

InterpolationPage::InterpolationPage(QWidget &window, MainLayout &ui, RecordStore &records,
                                     Dialogs &dialogs, const TextLocale &locale,
                                     const ProgramFolders &folders)
    : m_window(window), m_ui(ui), m_records(records), m_dialogs(dialogs), m_locale(locale),
      m_folders(folders)
{
    m_ui.chAll->setPictureName([this] { return pictureName(); });
    connectControls();
}

void InterpolationPage::connectControls()
{
    connect(m_ui.rgABC, &RadioGroup::clicked, this,
            [this] { guarded(m_dialogs, [this] { rgABCClick(); }); });
    const auto click = [this](QPushButton *button, void (InterpolationPage::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] {
            guarded(m_dialogs, [this, handler] { (this->*handler)(); });
        });
    };
    click(m_ui.btnLoadInterp, &InterpolationPage::btnLoadInterpClick);
    click(m_ui.btnSaveInterp, &InterpolationPage::btnSaveInterpClick);
    click(m_ui.btnComputeInterp, &InterpolationPage::btnComputeInterpClick);
    click(m_ui.btnSaveCsv, &InterpolationPage::btnSaveCsvClick);
    click(m_ui.btnEditUnc, &InterpolationPage::btnEditUncClick);
}

FitMethod InterpolationPage::chosenMethod() const
{
    return m_ui.rgABC->itemIndex() == 1 ? FitMethod::ParticleSwarm
                                        : FitMethod::LevenbergMarquardt;
}

void InterpolationPage::rgABCClick()
{
    ParameterTexts texts;
    if (m_records.cdsMain.recordCount() > 0)
        texts = ParameterTextsOf(m_records, chosenMethod(), m_locale);
    m_ui.edA->setText(QString::fromStdString(texts.A));
    m_ui.edB->setText(QString::fromStdString(texts.B));
    m_ui.edC->setText(QString::fromStdString(texts.C));
    for (QLineEdit *edit : {m_ui.edA, m_ui.edB, m_ui.edC})
        edit->setCursorPosition(0);
    showUncertainties();
}

void InterpolationPage::showUncertainties()
{
    // Reading the points moves the reference cursor, whose reactions come back here.
    if (m_showingUncertainties)
        return;
    const QScopedValueRollback busy(m_showingUncertainties, true);
    const Table &cdsMain = m_records.cdsMain;
    const RecordRow record(cdsMain);
    std::optional<UncertaintyPropagation> propagation;
    TParamVector P;
    if (cdsMain.recordCount() > 0 && record.computed()
        && m_records.cdsBB.state() == TableState::Browse) {
        P = FittedTriple(m_records, chosenMethod());
        propagation = PropagationOf(m_records, P);
    }
    if (!propagation) {
        m_ui.chU->draw({}, 0, 0);
        m_ui.lbUncertainty->clear();
        m_ui.lbUncertainty->setToolTip({});
        return;
    }
    const UncertaintySettings settings = UncertaintySettingsOf(m_records);
    m_ui.chU->draw(UncertaintyCurve(*propagation, P, record.TMin(), record.TMax(), settings.w),
                   record.TMin(), record.TMax());
    QString remark;
    QString whole;
    if (!propagation->hasPointUncertainties()) {
        remark = QStringLiteral("No U: u(T) of a reference point is missing");
        whole = QStringLiteral("Give u(T) of every reference point on the Calibration page.");
    } else if (const auto ratio = propagation->birgeRatio()) {
        whole = QString::fromStdString(BirgeRatioRemark(*ratio, m_locale.decimalSeparator));
        remark =
            QString::fromStdString(BirgeRatioShortRemark(*ratio, m_locale.decimalSeparator));
    }
    m_ui.lbUncertainty->setText(remark);
    m_ui.lbUncertainty->setToolTip(whole);
    // A warning stands out.
    QPalette colours = m_ui.lbUncertainty->palette();
    colours.setColor(QPalette::WindowText, remark != whole
                                                ? QColor(Qt::red)
                                                : m_window.palette().color(QPalette::WindowText));
    m_ui.lbUncertainty->setPalette(colours);
}

QString InterpolationPage::pictureName() const
{
    if (m_records.cdsMain.recordCount() == 0)
        return {};
    return QString::fromStdString(SafeFileName(RecordRow(m_records.cdsMain).name()));
}

void InterpolationPage::DrawChart()
{
    const RecordRow record(m_records.cdsMain);
    const bool swarm = chosenMethod() == FitMethod::ParticleSwarm;
    TParamVector P;
    P[1] = swarm ? record.APSO() : record.ALM();
    P[2] = swarm ? record.BPSO() : record.BLM();
    P[3] = swarm ? record.CPSO() : record.CLM();
    m_ui.chAll->draw(P,
                     chartPointsOf(m_records.cdsBB, ReferencePointField::S,
                                   ReferencePointField::T),
                     chartPointsOf(m_records.cdsInterp, MeasurementField::S, MeasurementField::T));
}

void InterpolationPage::btnLoadInterpClick()
{
    const QString path =
        OpenTextFileDialog(m_dialogs, QStringLiteral("Signals"),
                           QString::fromStdString(m_folders.InputDir + "/Signals"));
    if (path.trimmed().isEmpty())
        return;
    std::vector<long double> values;
    try {
        values = readSignalList(path.toStdString(), m_locale.decimalSeparator);
    } catch (const RecordFileError &error) {
        m_dialogs.message(QString::fromStdString(error.what()));
        return;
    }
    LoadSignals(m_records, values, [this] { showOutOfRange(OutOfRangeSignals); });
}

void InterpolationPage::btnSaveInterpClick()
{
    const std::vector<std::pair<double, double>> rows = CollectMeasurements(m_records);
    const QString path =
        SaveTextFileDialog(m_dialogs, QStringLiteral("Results"),
                           QString::fromStdString(m_folders.OutputDir + "/Interpolation"),
                           QString::fromStdString(ProposedResultsName(m_records, m_locale)));
    if (path.trimmed().isEmpty())
        return;
    // The save dialog asked before it named a file that is there.
    writeTextFile(path.toStdString(), interpolationResultsText(rows), ExistingFile::Replace);
}

void InterpolationPage::btnSaveCsvClick()
{
    const QString path = m_dialogs.saveFile(
        QStringLiteral("Save Results with Uncertainties"),
        QString::fromStdString(m_folders.OutputDir + "/Interpolation"),
        QFileInfo(QString::fromStdString(ProposedResultsName(m_records, m_locale)))
                .completeBaseName()
            + QStringLiteral(".csv"));
    if (path.trimmed().isEmpty())
        return;
    // The save dialog asked before it named a file that is there.
    writeTextFile(path.toStdString(), UncertaintyResultsCsv(m_records), ExistingFile::Replace);
}

void InterpolationPage::btnComputeInterpClick()
{
    const ParameterTexts texts{m_ui.edA->text().toStdString(), m_ui.edB->text().toStdString(),
                               m_ui.edC->text().toStdString()};
    InterpolateMeasurements(m_records, texts, m_locale.decimalSeparator,
                            [this] { showOutOfRange(OutOfRangeTemperatures); });
    DrawChart();
}

void InterpolationPage::btnEditUncClick()
{
    ChartEditor editor(m_ui.chAll->chart(), m_dialogs,
                       QString::fromStdString(m_folders.OutputDir), pictureName(), &m_window);
    m_dialogs.exec(editor);
}

void InterpolationPage::showOutOfRange(int kind)
{
    TFOutOfRange dialog(kind, &m_window);
    m_dialogs.exec(dialog);
}

} // namespace kelvora
