// The operations behind the main window's buttons, radio groups and search edit.

// Before any Qt header: Qt's keyword macros ("signals") would break its declarations.
#include "records/operations.h"

#include "ui/main.h"

#include "core/global.h"
#include "records/folders.h"
#include "textio/recordfile.h"
#include "textio/report.h"
#include "textio/signals.h"
#include "ui/about.h"
#include "ui/calibration.h"
#include "ui/chart.h"
#include "ui/charteditor.h"
#include "ui/dialogs.h"
#include "ui/erase.h"
#include "ui/radiogroup.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QTabWidget>

#include <variant>

namespace kelvora {

namespace {

QString qtext(const std::string &text)
{
    return QString::fromStdString(text);
}

// (T, S) of every row of a reference or measurement table, in its order; an empty value
// counts as 0.
std::vector<ChartPoint> chartPointsOf(const Table &table)
{
    const int s = table.schema().fieldIndex("S");
    const int t = table.schema().fieldIndex("T");
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

void TFMain::rgSortClick()
{
    m_records.cdsMain.setOrder(rgSort->itemIndex());
}

void TFMain::edFindEnter()
{
    // The search always works in the name order; the radio group keeps its item.
    Table &cdsMain = m_records.cdsMain;
    cdsMain.setOrder(0);
    cdsMain.findNearest(edFind->text().toStdString());
}

void TFMain::rgABCClick()
{
    ParameterTexts texts;
    if (m_records.cdsMain.recordCount() > 0)
        texts = ParameterTextsOf(m_records, rgABC->itemIndex(), m_locale);
    edA->setText(qtext(texts.A));
    edB->setText(qtext(texts.B));
    edC->setText(qtext(texts.C));
    for (QLineEdit *edit : {edA, edB, edC})
        edit->setCursorPosition(0);
}

void TFMain::DrawChart()
{
    const Table &cdsMain = m_records.cdsMain;
    const bool swarm = rgABC->itemIndex() == 1;
    TParamVector P;
    P[1] = cdsMain.asFloat(swarm ? "APSO" : "ALM");
    P[2] = cdsMain.asFloat(swarm ? "BPSO" : "BLM");
    P[3] = cdsMain.asFloat(swarm ? "CPSO" : "CLM");
    chAll->draw(P, chartPointsOf(m_records.cdsBB), chartPointsOf(m_records.cdsInterp));
}

void TFMain::btnLoadMainClick()
{
    pc->setCurrentWidget(tsCalibration);
    const QString path = OpenTextFileDialog(m_dialogs, QStringLiteral("Record"), qtext(InputDir));
    if (path.trimmed().isEmpty())
        return;
    RecordFileData file;
    try {
        file = readRecordFile(path.toStdString(), m_locale.decimalSeparator);
    } catch (const RecordFileError &error) {
        if (error.kind() == RecordFileError::Kind::Open)
            throw; // the system's own text, as every unhandled error
        m_dialogs.message(qtext(error.what()));
        return;
    }
    const std::optional<QString> name =
        m_dialogs.query(QStringLiteral("New Record"), QStringLiteral("Record Name "),
                        QFileInfo(path).completeBaseName());
    if (!name)
        return;
    ImportRecord(m_records, file, name->toStdString());
}

void TFMain::btnSaveMainClick()
{
    const RecordReport report = CollectRecordReport(m_records, m_locale);
    const bool computed = m_records.cdsMain.asBoolean("Computed");
    const QString path =
        SaveTextFileDialog(m_dialogs, QStringLiteral("Record"),
                           qtext(computed ? OutputDir : InputDir),
                           qtext(ProposedReportName(m_records, m_locale)));
    if (path.trimmed().isEmpty())
        return;
    writeTextFile(path.toStdString(), recordReportText(report));
}

void TFMain::openErase(int target)
{
    EraseTarget = target;
    TFErase dialog(m_records.store, m_dialogs, this);
    m_dialogs.exec(dialog);
}

void TFMain::btnEraseMainClick()
{
    openErase(0);
}

void TFMain::btnEraseBBClick()
{
    openErase(1);
}

void TFMain::btnEraseInterpClick()
{
    openErase(2);
}

void TFMain::btnComputeClick()
{
    const int n = m_records.cdsBB.recordCount();
    if (n < MinCalibrationPoints) {
        m_dialogs.message(qtext(NotEnoughPointsText(n)));
        return;
    }
    TFCalibration calibration(m_records, m_dialogs, m_locale, [this] { rgABCClick(); }, this);
    m_dialogs.exec(calibration);
}

void TFMain::btnLoadInterpClick()
{
    const QString path = OpenTextFileDialog(m_dialogs, QStringLiteral("Signals"),
                                            qtext(InputDir + "/Signals"));
    if (path.trimmed().isEmpty())
        return;
    std::vector<long double> values;
    try {
        values = readSignalList(path.toStdString());
    } catch (const RecordFileError &error) {
        m_dialogs.message(qtext(error.what()));
        return;
    }
    LoadSignals(m_records, values, [this] { showOutOfRange(1); });
}

void TFMain::btnSaveInterpClick()
{
    const std::vector<std::pair<double, double>> rows = CollectMeasurements(m_records);
    const QString path =
        SaveTextFileDialog(m_dialogs, QStringLiteral("Results"),
                           qtext(OutputDir + "/Interpolation"),
                           qtext(ProposedResultsName(m_records, m_locale)));
    if (path.trimmed().isEmpty())
        return;
    writeTextFile(path.toStdString(), interpolationResultsText(rows));
}

void TFMain::btnComputeInterpClick()
{
    const ParameterTexts texts{edA->text().toStdString(), edB->text().toStdString(),
                               edC->text().toStdString()};
    InterpolateMeasurements(m_records, texts, m_locale.decimalSeparator,
                            [this] { showOutOfRange(2); });
    DrawChart();
}

void TFMain::btnEditUncClick()
{
    ChartEditor editor(chAll->chart(), m_dialogs, this);
    m_dialogs.exec(editor);
}

void TFMain::btnAboutClick()
{
    TFAbout about(this);
    m_dialogs.exec(about);
}

void TFMain::btnExitClick()
{
    close();
}

} // namespace kelvora
