#include "ui/main.h"

#include "records/database.h"
#include "records/folders.h"
#include "ui/boundedit.h"
#include "ui/chart.h"
#include "ui/dialogs.h"
#include "ui/errorsink.h"
#include "ui/grid.h"
#include "ui/outofrange.h"
#include "ui/radiogroup.h"
#include "ui/tablemodel.h"
#include "frontend/systemlocale.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QTabWidget>

#include <algorithm>

namespace kelvora {

TFMain::TFMain(Dialogs &dialogs, const QString &programFile, QWidget *parent)
    : QMainWindow(parent), m_dialogs(dialogs), m_locale(systemTextLocale())
{
    setObjectName(QStringLiteral("FMain"));
    m_records.store.setBusy = [this](bool busy) { m_dialogs.setBusy(busy); };
    buildLayout();
    connectControls();
    connectStore();
    // The record list, not the search edit, has the focus when the window first shows.
    dbgMain->setFocus();
    // A burst of changes costs one save: each change restarts the timer, which fires when
    // control is back in the event loop.
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(0);
    connect(&m_saveTimer, &QTimer::timeout, this, [this] { flushSave(); });
    FormCreate(programFile);
}

TFMain::~TFMain()
{
    m_saveTimer.stop();
    for (const auto &disconnect : m_disconnect)
        disconnect();
    // The bound controls listen to the store, which goes before the window's children do.
    delete takeCentralWidget();
}

void TFMain::FormCreate(const QString &programFile)
{
    InitFolders(programFile.toStdString());
    setWindowTitle(QStringLiteral("Kelvora"));
    m_databasePath = databasePath();

    m_lock = std::make_unique<DatabaseLock>(m_databasePath);
    // A folder that cannot hold the lock file is no reason to stop: the records can be read,
    // and every save tries the lock again and reports what keeps it from being taken.
    if (!m_lock->acquire() && m_lock->failure() != DatabaseLock::Failure::CannotCreate) {
        m_dialogs.message(QString::fromStdString(m_lock->failure() == DatabaseLock::Failure::InUse
                                                     ? databaseInUseText(m_databasePath)
                                                     : m_lock->failureText()));
        m_endRequested = true;
        return;
    }

    StoreData data;
    const OpenOutcome outcome = openDatabaseAtStartup(m_databasePath, data);
    if (!outcome.message.empty())
        m_dialogs.message(QString::fromStdString(outcome.message));
    if (outcome.kind == OpenOutcome::BackupFailed) {
        m_dialogs.message(QString::fromStdString(CannotCreateBackupText));
        m_endRequested = true;
    }
    try {
        m_records.store.load(std::move(data));
    } catch (const std::exception &error) {
        // A file that loads but does not fit the records: keep it untouched and stop.
        m_dialogs.message(QString::fromStdString(error.what()));
        m_endRequested = true;
        m_records.store.clearAll();
    }
    react([this] { m_records.store.open(); });
    m_opened = true;
    if (!pc->isHidden())
        pc->setCurrentWidget(tsCalibration);
}

void TFMain::connectControls()
{
    connect(rgSort, &RadioGroup::clicked, this, [this] { react([this] { rgSortClick(); }); });
    connect(rgABC, &RadioGroup::clicked, this, [this] { react([this] { rgABCClick(); }); });
    edFind->installEventFilter(this);
    const auto click = [this](QPushButton *button, void (TFMain::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { react([this, handler] { (this->*handler)(); }); });
    };
    click(btnLoadMain, &TFMain::btnLoadMainClick);
    click(btnSaveMain, &TFMain::btnSaveMainClick);
    click(btnEraseMain, &TFMain::btnEraseMainClick);
    click(btnCompute, &TFMain::btnComputeClick);
    click(btnEraseBB, &TFMain::btnEraseBBClick);
    click(btnLoadInterp, &TFMain::btnLoadInterpClick);
    click(btnSaveInterp, &TFMain::btnSaveInterpClick);
    click(btnComputeInterp, &TFMain::btnComputeInterpClick);
    click(btnEraseInterp, &TFMain::btnEraseInterpClick);
    click(btnEditUnc, &TFMain::btnEditUncClick);
    click(btnAbout, &TFMain::btnAboutClick);
    click(btnExit, &TFMain::btnExitClick);
}

void TFMain::connectStore()
{
    Table &cdsMain = m_records.cdsMain;
    Table &cdsBB = m_records.cdsBB;
    Table &cdsInterp = m_records.cdsInterp;
    const auto on = [this](auto &event, std::function<void()> reaction) {
        const int id = event.connect([this, reaction](const auto &...) { react(reaction); });
        m_disconnect.push_back([&event, id] { event.disconnect(id); });
    };
    on(cdsMain.dataChanged, [this] { dsMainDataChange(); });
    on(cdsBB.dataChanged, [this] { dsBBDataChange(); });
    on(cdsInterp.dataChanged, [this] { dsInterpDataChange(); });
    on(cdsMain.afterScroll, [this] { cdsMainAfterScroll(); });
    on(cdsBB.afterScroll, [this] { cdsBBAfterScroll(); });
    on(cdsMain.afterPost, [this] { scheduleSave(); });
    on(cdsMain.afterDelete, [this] { scheduleSave(); });
    for (Table *nested : {&cdsBB, &cdsInterp}) {
        const auto changed = [this] {
            // Nested rows are kept in the record's edit buffer until the record is posted.
            m_nestedChanged = true;
            scheduleSave();
        };
        on(nested->afterPost, changed);
        on(nested->afterDelete, changed);
    }
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
    btnCompute->setEnabled(records && m_records.cdsBB.recordCount() > 0);
    btnEraseBB->setEnabled(records);
    btnSaveMain->setEnabled(records);
    btnEraseMain->setEnabled(records);
    pc->setVisible(records);
    pc->setTabVisible(pc->indexOf(tsMeasurements), records && cdsMain.asBoolean("Computed"));
}

namespace {

bool browsingOrEditing(const Table &table)
{
    return table.state() == TableState::Browse || table.state() == TableState::Edit;
}

} // namespace

void TFMain::dsMainDataChange()
{
    const Table &cdsMain = m_records.cdsMain;
    dbspRecNoMain->setVisible(browsingOrEditing(cdsMain));
    dbspRecordCountMain->setVisible(browsingOrEditing(cdsMain));
    p->setVisible(cdsMain.recordCount() > 0);
    repaintGrid(dbgMain);
    repaintGrid(dbgBB);
    UpdateButtons();
}

void TFMain::dsBBDataChange()
{
    const Table &cdsBB = m_records.cdsBB;
    dbspRecNoBB->setVisible(browsingOrEditing(cdsBB));
    dbspRecordCountBB->setVisible(browsingOrEditing(cdsBB));
    repaintGrid(dbgMain);
    repaintGrid(dbgBB);
    // Compute follows the number of points, which the record's own notifications miss.
    UpdateButtons();
}

void TFMain::cdsBBAfterScroll()
{
    dsBBDataChange();
}

void TFMain::dsInterpDataChange()
{
    const Table &cdsInterp = m_records.cdsInterp;
    dbspRecNoInterp->setVisible(browsingOrEditing(cdsInterp));
    dbspRecordCountInterp->setVisible(browsingOrEditing(cdsInterp));
    const bool rows = cdsInterp.recordCount() > 0;
    btnComputeInterp->setEnabled(rows);
    btnEraseInterp->setEnabled(rows);
    btnSaveInterp->setEnabled(rows);
    repaintGrid(dbgInterp);
    chAll->clear();
}

void TFMain::cdsMainAfterScroll()
{
    Table &cdsMain = m_records.cdsMain;
    m_records.UpdateReferenceRanges();
    dbspRecNoMain->setVisible(browsingOrEditing(cdsMain));
    dbspRecordCountMain->setVisible(browsingOrEditing(cdsMain));
    p->setVisible(cdsMain.recordCount() > 0);
    rgABCClick();
    repaintGrid(dbgMain);
    repaintGrid(dbgBB);
    if (m_records.cdsInterp.recordCount() > 0 && cdsMain.asBoolean("Computed"))
        DrawChart();
}

void TFMain::showOutOfRange(int kind)
{
    OutOfRangeKind = kind;
    TFOutOfRange dialog(this);
    m_dialogs.exec(dialog);
}

void TFMain::FormShow()
{
    setWindowTitle(QStringLiteral("Kelvora"));
    rgSortClick();
}

void TFMain::FormResize()
{
    int others = 0;
    for (int c = 1; c <= 6; ++c)
        others += dbgBB->columnWidth(c);
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int width = dbgBB->width() - others - 7 - 4 - scrollBar - 11;
    dbgBB->setColumnWidth(0, std::max(width, 10));
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
    if (watched == edFind && event->type() == QEvent::FocusIn) {
        // Entering the edit from another control searches; the window becoming active
        // again (after a message box) does not.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            react([this] { edFindEnter(); });
    } else if (watched == dbgBB && event->type() == QEvent::Resize) {
        FormResize();
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFMain::scheduleSave()
{
    if (m_opened && !m_endRequested && !m_saving)
        m_saveTimer.start();
}

bool TFMain::flushSave()
{
    m_saveTimer.stop();
    if (!m_opened || m_endRequested)
        return true;
    Table &cdsMain = m_records.cdsMain;
    m_saving = true;
    if (m_nestedChanged && cdsMain.state() == TableState::Edit
        && !m_records.cdsBB.isEditing() && !m_records.cdsInterp.isEditing()) {
        try {
            cdsMain.post();
        } catch (const Error &) {
            // The record cannot be posted as it stands; the user's own post will report why.
        }
    }
    if (!cdsMain.isEditing())
        m_nestedChanged = false;
    m_saving = false;
    try {
        requireLock(*m_lock, m_databasePath);
        saveDatabase(m_databasePath, m_records.store);
    } catch (const std::exception &error) {
        // Shown once until a save succeeds again, not after every change.
        if (!m_saveFailed)
            m_dialogs.message(QString::fromStdString(errorText(error)));
        m_saveFailed = true;
        return false;
    }
    ++m_saveCount;
    m_saveFailed = false;
    return true;
}

void TFMain::closeEvent(QCloseEvent *event)
{
    if (!m_opened || m_endRequested) {
        m_saveTimer.stop();
        event->accept();
        return;
    }
    // Text typed into a cell counts as entered.
    for (Grid *grid : {dbgMain, dbgBB, dbgInterp})
        grid->commitEditor();
    if (!guarded(m_dialogs, [this] { PostIfEditing(m_records.cdsMain); })) {
        event->ignore();
        return;
    }
    m_saveTimer.stop();
    if (!guarded(m_dialogs, [this] {
            requireLock(*m_lock, m_databasePath);
            saveDatabase(m_databasePath, m_records.store);
        })) {
        event->ignore();
        return;
    }
    ++m_saveCount;
    m_opened = false;
    m_records.store.close();
    m_lock->release();
    event->accept();
}

} // namespace kelvora
