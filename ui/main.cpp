#include "ui/main.h"

#include "certificate/certificatepdf.h"
#include "certificatecontent/certificate.h"
#include "core/global.h"
#include "database/database.h"
#include "frontend/systemlocale.h"
#include "records/folders.h"
#include "records/laboratory.h"
#include "records/operations.h"
#include "records/regularfile.h"
#include "records/reports.h"
#include "records/uncertainties.h"
#include "tables/rows.h"
#include "textio/recordfile.h"
#include "textio/report.h"
#include "textio/textfile.h"
#include "ui/about.h"
#include "ui/boundedit.h"
#include "ui/calibration.h"
#include "ui/certificatedialog.h"
#include "ui/certificatesdialog.h"
#include "ui/chart.h"
#include "ui/dialogs.h"
#include "ui/erase.h"
#include "ui/errorsink.h"
#include "ui/grid.h"
#include "ui/laboratorydialog.h"
#include "ui/radiogroup.h"
#include "ui/uncertaintysettings.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QHeaderView>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSettings>
#include <QShowEvent>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>

#include <algorithm>

namespace kelvora {

namespace {

QString qtext(const std::string &text)
{
    return QString::fromStdString(text);
}

// After a save refused because another program changed the database file.
constexpr const char *KeptText = "Your changes are kept in this window while it stays open.";
constexpr const char *CloseWithoutSavingText =
    "Close Kelvora without saving? The changes made since the last save will be lost.";

bool browsingOrEditing(const Table &table)
{
    return table.state() == TableState::Browse || table.state() == TableState::Edit;
}


} // namespace

TFMain::TFMain(Dialogs &dialogs, const QString &programFile, QWidget *parent)
    : QMainWindow(parent), m_dialogs(dialogs), m_locale(systemTextLocale()),
      m_folders(InitFolders(programFile.toStdString())), m_session(databasePath(m_folders)),
      m_records(m_session.records()),
      m_ui(*this, m_records, m_dialogs, m_locale, qtext(m_folders.OutputDir)),
      m_interpolation(*this, m_ui, m_records, m_dialogs, m_locale, m_folders)
{
    setObjectName(QStringLiteral("FMain"));
    m_records.store.setBusy = [this](bool busy) { m_dialogs.setBusy(busy); };
    m_ui.dbgBB->installEventFilter(this);
    connectControls();
    connectStore();
    // The record list, not the search edit, has the focus when the window first shows.
    m_ui.dbgMain->setFocus();
    // A burst of changes costs one save: each change restarts the timer, which fires when
    // control is back in the event loop.
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(0);
    connect(&m_saveTimer, &QTimer::timeout, this, [this] { flushSave(); });
    m_certificateTimer.setSingleShot(true);
    m_certificateTimer.setInterval(0);
    connect(&m_certificateTimer, &QTimer::timeout, this,
            [this] { react([this] { showCertificate(); }); });
    m_session.changed = [this] {
        if (!m_endRequested)
            m_saveTimer.start();
    };
    FormCreate();
    restoreSizes();
}

TFMain::~TFMain()
{
    m_saveTimer.stop();
    m_certificateTimer.stop();
    m_connections.clear();
    // The bound controls listen to the store, which goes before the window's children do.
    delete takeCentralWidget();
}

void TFMain::FormCreate()
{
    setWindowTitle(QStringLiteral("Kelvora"));
    const std::string &path = m_session.path();
    // A folder that cannot hold the lock file is no reason to stop: the records can be read,
    // and every save tries the lock again and reports what keeps it from being taken.
    const DatabaseLock::Failure lockFailure = m_session.lock();
    if (lockFailure != DatabaseLock::Failure::None
        && lockFailure != DatabaseLock::Failure::CannotCreate) {
        m_dialogs.message(qtext(lockFailure == DatabaseLock::Failure::InUse
                                    ? databaseInUseText(path)
                                    : m_session.lockFailureText()));
        m_endRequested = true;
        return;
    }

    try {
        const OpenOutcome outcome = m_session.open(RecordsSession::Opening::AtStartup);
        if (!outcome.message.empty())
            m_dialogs.message(qtext(outcome.message));
        if (outcome.kind == OpenOutcome::BackupFailed) {
            m_dialogs.message(qtext(CannotCreateBackupText));
            m_endRequested = true;
        }
        // A file another program keeps locked is left to it, and one that a newer version
        // wrote to that version: nothing may be written.
        if (outcome.kind == OpenOutcome::Busy || outcome.kind == OpenOutcome::Newer)
            m_endRequested = true;
    } catch (const std::exception &error) {
        // A file that loads but does not fit the records: keep it untouched and stop.
        m_dialogs.message(qtext(error.what()));
        m_endRequested = true;
    }
    if (!m_ui.pc->isHidden())
        m_ui.pc->setCurrentWidget(m_ui.tsCalibration);
}

void TFMain::connectControls()
{
    connect(m_ui.rgSort, &RadioGroup::clicked, this, [this] { react([this] { rgSortClick(); }); });
    m_ui.edFind->installEventFilter(this);
    const auto click = [this](QPushButton *button, void (TFMain::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { react([this, handler] { (this->*handler)(); }); });
    };
    click(m_ui.btnLoadMain, &TFMain::btnLoadMainClick);
    click(m_ui.btnSaveMain, &TFMain::btnSaveMainClick);
    click(m_ui.btnEraseMain, &TFMain::btnEraseMainClick);
    click(m_ui.btnCompute, &TFMain::btnComputeClick);
    click(m_ui.btnEraseBB, &TFMain::btnEraseBBClick);
    click(m_ui.btnEraseInterp, &TFMain::btnEraseInterpClick);
    click(m_ui.btnCertificate, &TFMain::btnCertificateClick);
    click(m_ui.btnCertificates, &TFMain::btnCertificatesClick);
    click(m_ui.btnLaboratory, &TFMain::btnLaboratoryClick);
    click(m_ui.btnUncertainties, &TFMain::btnUncertaintiesClick);
    click(m_ui.btnAbout, &TFMain::btnAboutClick);
    click(m_ui.btnExit, &TFMain::btnExitClick);
}

void TFMain::connectStore()
{
    Table &cdsMain = m_records.cdsMain;
    Table &cdsBB = m_records.cdsBB;
    Table &cdsInterp = m_records.cdsInterp;
    // Working out whether the record changed since its certificate walks its rows and puts
    // them back as they were: nothing shown changes meanwhile.
    const auto on = [this](auto &event, std::function<void()> reaction) {
        m_connections.push_back(event.subscribe([this, reaction](const auto &...) {
            if (!m_showingCertificate)
                react(reaction);
        }));
    };
    on(cdsMain.dataChanged, [this] { dsMainDataChange(); });
    on(cdsBB.dataChanged, [this] { dsBBDataChange(); });
    on(cdsInterp.dataChanged, [this] { dsInterpDataChange(); });
    on(cdsMain.afterScroll, [this] { cdsMainAfterScroll(); });
    on(cdsBB.afterScroll, [this] { cdsBBAfterScroll(); });
}

void TFMain::react(const std::function<void()> &reaction)
{
    guarded(m_dialogs, reaction);
}

void TFMain::repaintGrid(Grid *grid)
{
    grid->viewport()->update();
    grid->verticalHeader()->viewport()->update();
}

void TFMain::UpdateButtons()
{
    const Table &cdsMain = m_records.cdsMain;
    const bool records = cdsMain.recordCount() > 0;
    m_ui.btnCompute->setEnabled(records && m_records.cdsBB.recordCount() > 0);
    m_ui.btnEraseBB->setEnabled(records);
    m_ui.btnSaveMain->setEnabled(records);
    m_ui.btnEraseMain->setEnabled(records);
    const bool computed = RecordRow(cdsMain).computed();
    m_ui.btnCertificate->setEnabled(records && computed);
    m_ui.btnUncertainties->setEnabled(records);
    m_ui.pc->setVisible(records);
    m_ui.pc->setTabVisible(m_ui.pc->indexOf(m_ui.tsMeasurements), records && computed);
    m_certificateTimer.start();
}

void TFMain::showCertificate()
{
    m_certificateTimer.stop();
    QLabel &label = *m_ui.spCertificate;
    const std::optional<std::int64_t> key = m_records.cdsMain.recordCount() > 0
                                                ? m_records.store.currentRecordKey()
                                                : std::nullopt;
    const std::vector<CertificateEntry> &entries = m_records.store.certificates();
    const auto latest = std::find_if(entries.rbegin(), entries.rend(),
                                     [&key](const CertificateEntry &entry) {
                                         return key && entry.recordKey == *key;
                                     });
    if (latest == entries.rend()) {
        label.clear();
        return;
    }
    const QString number = qtext(latest->number);
    QString text = QStringLiteral("Certificate %1 of %2")
                       .arg(number, qtext(formatIsoDateTime(latest->issued).substr(0, 10)));
    bool changed = false;
    if (latest->state == CertificateState::Withdrawn) {
        text += QStringLiteral(", withdrawn");
    } else if (!ReplacedByOf(entries, *latest).empty()) {
        text += QStringLiteral(", replaced");
    } else {
        const QScopedValueRollback walking(m_showingCertificate, true);
        changed = ChangedSinceIssued(m_records, *latest, sha256Hex);
    }
    if (changed)
        text = QStringLiteral("Changed since certificate %1 was issued").arg(number);
    label.setText(text);
    label.setStyleSheet(changed ? QStringLiteral("color: red") : QString());
}


void TFMain::dsMainDataChange()
{
    const Table &cdsMain = m_records.cdsMain;
    m_ui.dbspRecNoMain->setVisible(browsingOrEditing(cdsMain));
    m_ui.dbspRecordCountMain->setVisible(browsingOrEditing(cdsMain));
    m_ui.p->setVisible(cdsMain.recordCount() > 0);
    repaintGrid(m_ui.dbgMain);
    repaintGrid(m_ui.dbgBB);
    // The marks of the measurements follow the record's reference range.
    repaintGrid(m_ui.dbgInterp);
    UpdateButtons();
}

void TFMain::dsBBDataChange()
{
    const Table &cdsBB = m_records.cdsBB;
    m_ui.dbspRecNoBB->setVisible(browsingOrEditing(cdsBB));
    m_ui.dbspRecordCountBB->setVisible(browsingOrEditing(cdsBB));
    repaintGrid(m_ui.dbgMain);
    repaintGrid(m_ui.dbgBB);
    // Compute follows the number of points, which the record's own notifications miss.
    UpdateButtons();
    m_interpolation.showUncertainties();
}

void TFMain::cdsBBAfterScroll()
{
    dsBBDataChange();
}

void TFMain::dsInterpDataChange()
{
    const Table &cdsInterp = m_records.cdsInterp;
    m_ui.dbspRecNoInterp->setVisible(browsingOrEditing(cdsInterp));
    m_ui.dbspRecordCountInterp->setVisible(browsingOrEditing(cdsInterp));
    const bool rows = cdsInterp.recordCount() > 0;
    m_ui.btnComputeInterp->setEnabled(rows);
    m_ui.btnEraseInterp->setEnabled(rows);
    m_ui.btnSaveInterp->setEnabled(rows);
    m_ui.btnSaveCsv->setEnabled(rows);
    repaintGrid(m_ui.dbgInterp);
    m_ui.chAll->clear();
    m_certificateTimer.start();
}

void TFMain::cdsMainAfterScroll()
{
    Table &cdsMain = m_records.cdsMain;
    m_records.UpdateReferenceRanges();
    m_ui.dbspRecNoMain->setVisible(browsingOrEditing(cdsMain));
    m_ui.dbspRecordCountMain->setVisible(browsingOrEditing(cdsMain));
    m_ui.p->setVisible(cdsMain.recordCount() > 0);
    rgABCClick();
    repaintGrid(m_ui.dbgMain);
    repaintGrid(m_ui.dbgBB);
    if (m_records.cdsInterp.recordCount() > 0 && RecordRow(cdsMain).computed())
        m_interpolation.DrawChart();
    m_certificateTimer.start();
}

void TFMain::FormShow()
{
    setWindowTitle(QStringLiteral("Kelvora"));
    rgSortClick();
}

void TFMain::FormResize()
{
    int others = 0;
    for (int c = 1; c < m_ui.dbgBB->model()->columnCount(); ++c)
        others += m_ui.dbgBB->columnWidth(c);
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int width = m_ui.dbgBB->width() - others - 7 - 4 - scrollBar - 11;
    m_ui.dbgBB->setColumnWidth(0, std::max(width, 10));
}

void TFMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown && !event->spontaneous()) {
        m_shown = true;
        if (const QScreen *shownOn = screen())
            move(shownOn->availableGeometry().center() - frameGeometry().center());
        react([this] { FormShow(); });
    }
}

bool TFMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui.edFind && event->type() == QEvent::FocusIn) {
        // Entering the edit from another control searches; the window becoming active
        // again (after a message box) does not.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            react([this] { edFindEnter(); });
    } else if (watched == m_ui.dbgBB && event->type() == QEvent::Resize) {
        FormResize();
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TFMain::flushSave()
{
    m_saveTimer.stop();
    if (!m_session.isOpen() || m_endRequested)
        return true;
    try {
        m_session.autosave();
    } catch (const DatabaseChangedError &error) {
        if (!m_saveFailed)
            m_dialogs.message(qtext(error.what()) + QChar(13) + QString::fromUtf8(KeptText));
        m_saveFailed = true;
        return false;
    } catch (const std::exception &error) {
        // Shown once until a save succeeds again, not after every change.
        if (!m_saveFailed)
            m_dialogs.message(qtext(errorText(error)));
        m_saveFailed = true;
        return false;
    }
    ++m_saveCount;
    m_saveFailed = false;
    return true;
}

void TFMain::closeEvent(QCloseEvent *event)
{
    if (!m_session.isOpen() || m_endRequested) {
        m_saveTimer.stop();
        rememberSizes();
        event->accept();
        return;
    }
    // Text typed into a cell counts as entered.
    for (Grid *grid : {m_ui.dbgMain, m_ui.dbgBB, m_ui.dbgInterp})
        grid->commitEditor();
    if (!guarded(m_dialogs, [this] { PostIfEditing(m_records.cdsMain); })) {
        event->ignore();
        return;
    }
    m_saveTimer.stop();
    try {
        m_session.close();
        ++m_saveCount;
    } catch (const DatabaseChangedError &error) {
        // The changes cannot be saved without overwriting another program's: the user
        // decides whether to close without them.
        if (!m_dialogs.confirm(qtext(error.what()) + QStringLiteral("\r\r")
                                   + QString::fromUtf8(CloseWithoutSavingText),
                               Dialogs::Buttons::YesNo)) {
            event->ignore();
            return;
        }
        m_session.closeWithoutSaving();
    } catch (const std::exception &error) {
        m_dialogs.message(qtext(errorText(error)));
        event->ignore();
        return;
    }
    rememberSizes();
    event->accept();
}

// The sizes the user gave the window's parts live beside the program, not with the records.
QString TFMain::sizesFile() const
{
    return qtext(m_folders.ProgramDir) + QStringLiteral("/kelvora.ini");
}

void TFMain::restoreSizes()
{
    const QSettings sizes(sizesFile(), QSettings::IniFormat);
    m_ui.spSeparator->restoreState(
        sizes.value(QStringLiteral("MainWindow/separator")).toByteArray());
}

void TFMain::rememberSizes()
{
    QSettings sizes(sizesFile(), QSettings::IniFormat);
    sizes.setValue(QStringLiteral("MainWindow/separator"), m_ui.spSeparator->saveState());
}

// ---- the operations behind the buttons, radio groups and search edit ----------------------

void TFMain::rgABCClick()
{
    m_interpolation.rgABCClick();
}

void TFMain::rgSortClick()
{
    m_records.setRecordOrder(m_ui.rgSort->itemIndex() == 0 ? RecordOrder::ByName
                                                           : RecordOrder::ByCreation);
}

void TFMain::edFindEnter()
{
    // The search always works in the name order; the radio group keeps its item.
    m_records.setRecordOrder(RecordOrder::ByName);
    m_records.cdsMain.findNearest(m_ui.edFind->text().toStdString());
}

void TFMain::btnLoadMainClick()
{
    m_ui.pc->setCurrentWidget(m_ui.tsCalibration);
    const QString path =
        OpenTextFileDialog(m_dialogs, QStringLiteral("Record"), qtext(m_folders.InputDir));
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
    // What looks like a u(T) but is not read as one is said before the record is named, so
    // that the user may still cancel and correct the file.
    if (const std::string unread = unreadUncertaintiesText(file); !unread.empty())
        m_dialogs.message(qtext(unread));
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
    const bool computed = RecordRow(m_records.cdsMain).computed();
    const QString path =
        SaveTextFileDialog(m_dialogs, QStringLiteral("Record"),
                           qtext(computed ? m_folders.OutputDir : m_folders.InputDir),
                           qtext(ProposedReportName(m_records, m_locale)));
    if (path.trimmed().isEmpty())
        return;
    // The save dialog asked before it named a file that is there.
    writeTextFile(path.toStdString(), recordReportText(report), ExistingFile::Replace);
}

void TFMain::openErase(EraseTarget target)
{
    TFErase dialog(m_records.store, m_dialogs, target, this);
    m_dialogs.exec(dialog);
}

void TFMain::btnEraseMainClick()
{
    openErase(EraseTarget::Records);
}

void TFMain::btnEraseBBClick()
{
    openErase(EraseTarget::ReferencePoints);
}

void TFMain::btnEraseInterpClick()
{
    openErase(EraseTarget::Measurements);
}

void TFMain::btnComputeClick()
{
    if (const std::string refusal = CalibrationRefusal(m_records); !refusal.empty()) {
        m_dialogs.message(qtext(refusal));
        return;
    }
    TFCalibration calibration(m_records, m_dialogs, m_locale, qtext(m_folders.OutputDir),
                              [this] { rgABCClick(); }, this);
    m_dialogs.exec(calibration);
}

void TFMain::btnCertificateClick()
{
    // What is typed in the comments goes into the certificate's remarks.
    PostIfEditing(m_records.cdsMain);
    if (const std::string refusal = RecordCertificateRefusal(m_records); !refusal.empty()) {
        m_dialogs.message(qtext(refusal));
        return;
    }
    const DateTime now = m_records.store.clock();
    TFCertificate dialog(m_records, m_dialogs, m_locale, now, this);
    if (m_dialogs.exec(dialog) != QDialog::Accepted)
        return;
    SetItemDetails(m_records, dialog.item());
    if (const CertificateEntry *unchanged =
            UnchangedCertificate(m_records, dialog.choices(), sha256Hex)) {
        m_dialogs.message(qtext(CertificateUnchangedError(*unchanged).what())
                          + QStringLiteral(".\rCertificates... opens it and exports it again."));
        return;
    }
    if (dialog.output() == TFCertificate::Output::Printer)
        printCertificate(dialog, now);
    else
        saveCertificate(dialog, now);
}

bool TFMain::issueCertificate(const TFCertificate &dialog, DateTime now,
                              IssuedCertificate &issued)
{
    bool saving = false;
    try {
        issued = IssueCertificate(m_records, dialog.choices(), now, pdfRendering(),
                                  [this, &saving] {
                                      saving = true;
                                      m_session.save();
                                  });
    } catch (const std::exception &error) {
        if (!saving)
            throw;
        m_dialogs.message(QStringLiteral("No certificate was issued: the database could not"
                                         " be saved.\r")
                          + qtext(errorText(error)));
        return false;
    }
    ++m_saveCount;
    m_saveFailed = false;
    showCertificate();
    return true;
}

void TFMain::saveCertificate(const TFCertificate &dialog, DateTime now)
{
    const CertificateIssue planned = PlanCertificateIssue(m_records, now);
    const QString path = m_dialogs.saveDocument(QStringLiteral("Save Certificate as PDF"),
                                                qtext(m_folders.OutputDir),
                                                qtext(SafeFileName(planned.number)));
    if (path.trimmed().isEmpty())
        return;
    IssuedCertificate issued;
    if (!issueCertificate(dialog, now, issued))
        return;
    try {
        // The save dialog asked before it named a file that is there.
        writeOutputFile(path.toStdString(), issued.bytes, ExistingFile::Replace);
    } catch (const Error &error) {
        m_dialogs.message(qtext(error.what()) + QStringLiteral("\rCertificate ")
                          + qtext(issued.entry.number)
                          + QStringLiteral(" is issued and registered all the same: Export..."
                                           " in Certificates... writes its file again."));
        return;
    }
    if (dialog.showWhenSaved() && !m_dialogs.showDocument(path))
        m_dialogs.message(QStringLiteral("The certificate is saved in ") + path
                          + QStringLiteral(", but no program to show it could be started."));
}

void TFMain::printCertificate(const TFCertificate &dialog, DateTime now)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setPageLayout(
        certificatePageLayout(LaboratorySettingsOf(m_records.store.settings()).pageSize));
    QPrintDialog printDialog(&printer, this);
    if (m_dialogs.exec(printDialog) != QDialog::Accepted)
        return;
    IssuedCertificate issued;
    if (!issueCertificate(dialog, now, issued))
        return;
    printer.setDocName(qtext(issued.document.runningTitle));
    try {
        paintCertificate(printer, issued.document);
    } catch (const Error &error) {
        m_dialogs.message(qtext(error.what()) + QStringLiteral("\rCertificate ")
                          + qtext(issued.entry.number)
                          + QStringLiteral(" is issued and registered all the same: Open in"
                                           " Certificates... shows it for printing."));
    }
}

void TFMain::btnCertificatesClick()
{
    if (!m_documentCopies)
        m_documentCopies = std::make_unique<QTemporaryDir>(
            QDir::temp().filePath(QStringLiteral("kelvora-certificates-XXXXXX")));
    TFCertificates dialog(m_records.store.certificates(), m_session.path(), m_dialogs, m_locale,
                          m_documentCopies->path(), qtext(m_folders.OutputDir), this);
    m_dialogs.exec(dialog);
}

void TFMain::btnLaboratoryClick()
{
    Store &store = m_records.store;
    TFLaboratory dialog(LaboratorySettingsOf(store.settings()), m_dialogs, store.clock(),
                        qtext(m_folders.InputDir), this);
    if (m_dialogs.exec(dialog) != QDialog::Accepted)
        return;
    store.setSettings(WithLaboratorySettings(store.settings(), dialog.settings()));
    if (m_session.changed)
        m_session.changed();
    m_certificateTimer.start();
}

void TFMain::btnUncertaintiesClick()
{
    TFUncertaintySettings dialog(UncertaintySettingsOf(m_records), m_dialogs,
                                 m_locale.decimalSeparator, this);
    if (m_dialogs.exec(dialog) != QDialog::Accepted)
        return;
    SetUncertaintySettings(m_records, dialog.settings());
    m_interpolation.showUncertainties();
    if (m_session.changed)
        m_session.changed();
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
