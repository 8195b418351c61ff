#pragma once

#include <QFont>
#include <QMainWindow>
#include <QTimer>

#include "core/datetime.h"
#include "records/databaselock.h"
#include "records/recordstore.h"

#include <functional>
#include <memory>
#include <vector>
#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace kelvora {

class BoundEdit;
class BoundMemo;
class BoundPane;
class Dialogs;
class Grid;
class MainChart;
class Navigator;
class RadioGroup;
class TableModel;

// Tahoma 8 point, or the system's sans-serif where Tahoma is missing.
QFont KelvoraFont();

// The main window: the record list on the left, the current record on the right with its
// reference points (Calibration page) and its measurements with the chart (Interpolation
// page). It owns the record store, opens the database when it is created and saves it
// after every change and when it closes.
class TFMain : public QMainWindow
{
    Q_OBJECT

public:
    // `programFile`: the full path of the program file; the program's folders lie beside it.
    TFMain(Dialogs &dialogs, const QString &programFile, QWidget *parent = nullptr);
    ~TFMain() override;

    RecordStore &records() { return m_records; }
    Dialogs &dialogs() { return m_dialogs; }
    const TextLocale &textLocale() const { return m_locale; }
    // True when the start-up refused to go on (the database is used by another copy, or a
    // damaged file could not be backed up): the program ends without saving.
    bool endRequested() const { return m_endRequested; }

    // Writes the store to the database file now, if a change is waiting. False when the
    // save failed (the failure has been shown).
    bool flushSave();
    bool savePending() const { return m_saveTimer.isActive(); }
    // Saves of the database file done since the window was created.
    int saveCount() const { return m_saveCount; }

    // Handlers and reactions, as the controls and the store call them.
    void FormShow();
    void FormResize();
    void UpdateButtons();
    void dsMainDataChange();
    void dsBBDataChange();
    void dsInterpDataChange();
    void cdsMainAfterScroll();
    void cdsBBAfterScroll();
    void rgSortClick();
    void edFindEnter();
    void rgABCClick();
    void DrawChart();
    void btnLoadMainClick();
    void btnSaveMainClick();
    void btnEraseMainClick();
    void btnEraseBBClick();
    void btnEraseInterpClick();
    void btnComputeClick();
    void btnLoadInterpClick();
    void btnSaveInterpClick();
    void btnComputeInterpClick();
    void btnEditUncClick();
    void btnAboutClick();
    void btnExitClick();

    // The controls, named as their object names.
    QLabel *spNotice = nullptr;
    QWidget *pLeft = nullptr;
    QLineEdit *edFind = nullptr;
    RadioGroup *rgSort = nullptr;
    Grid *dbgMain = nullptr;
    BoundMemo *m = nullptr;
    Navigator *dbnMain = nullptr;
    BoundPane *dbspRecNoMain = nullptr;
    BoundPane *dbspRecordCountMain = nullptr;
    QPushButton *btnLoadMain = nullptr;
    QPushButton *btnSaveMain = nullptr;
    QPushButton *btnEraseMain = nullptr;

    QWidget *p = nullptr;
    QTabWidget *pc = nullptr;
    QWidget *tsCalibration = nullptr;
    QWidget *tsMeasurements = nullptr;
    Grid *dbgBB = nullptr;
    Navigator *dbnBB = nullptr;
    BoundPane *dbspRecNoBB = nullptr;
    BoundPane *dbspRecordCountBB = nullptr;
    QLabel *spFileName = nullptr;
    QPushButton *btnCompute = nullptr;
    QPushButton *btnEraseBB = nullptr;

    Grid *dbgInterp = nullptr;
    Navigator *dbnIterp = nullptr;
    BoundPane *dbspRecNoInterp = nullptr;
    BoundPane *dbspRecordCountInterp = nullptr;
    QPushButton *btnLoadInterp = nullptr;
    QPushButton *btnSaveInterp = nullptr;
    QPushButton *btnComputeInterp = nullptr;
    QPushButton *btnEraseInterp = nullptr;
    MainChart *chAll = nullptr;
    QPushButton *btnEditUnc = nullptr;
    RadioGroup *rgABC = nullptr;
    QLineEdit *edA = nullptr;
    QLineEdit *edB = nullptr;
    QLineEdit *edC = nullptr;
    BoundEdit *RzDBEdit7 = nullptr;  // SMin
    BoundEdit *RzDBEdit8 = nullptr;  // SMax
    BoundEdit *RzDBEdit9 = nullptr;  // TMin
    BoundEdit *RzDBEdit13 = nullptr; // TMax

    QPushButton *btnAbout = nullptr;
    QPushButton *btnExit = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildLayout();
    QWidget *buildLeftPanel();
    QWidget *buildHeader();
    QWidget *buildCalibrationPage();
    QWidget *buildMeasurementsPage();
    QWidget *buildInterpolationControls();
    void connectControls();
    void connectStore();
    void FormCreate(const QString &programFile);
    void openErase(int target);
    void showOutOfRange(int kind);
    void scheduleSave();
    void repaintGrid(Grid *grid);
    // Runs a store reaction: an error is shown instead of breaking the store operation.
    void react(const std::function<void()> &reaction);

    Dialogs &m_dialogs;
    RecordStore m_records;
    TextLocale m_locale;
    std::string m_databasePath;
    std::unique_ptr<DatabaseLock> m_lock;
    std::unique_ptr<TableModel> m_mainModel;
    std::unique_ptr<TableModel> m_bbModel;
    std::unique_ptr<TableModel> m_interpModel;
    QTimer m_saveTimer;
    bool m_nestedChanged = false;
    bool m_saveFailed = false;
    bool m_endRequested = false;
    bool m_opened = false;
    bool m_shown = false;
    bool m_saving = false;
    int m_saveCount = 0;
    // Undo the connections to the store's events.
    std::vector<std::function<void()>> m_disconnect;
};

} // namespace kelvora
