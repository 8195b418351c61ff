#pragma once

#include "core/datetime.h"

#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QSplitter;
class QTabWidget;

namespace kelvora {

class BoundEdit;
class BoundMemo;
class BoundPane;
class Dialogs;
class Grid;
class MainChart;
class UncertaintyChart;
class Navigator;
class RadioGroup;
class RecordStore;
class TableModel;

// The controls of the main window and where they sit: the record list on the left, the
// current record on the right with its reference points (Calibration page) and its
// measurements with the chart (Interpolation page). The constructor builds them into the
// window, bound to the records' tables; each control's object name is its name here. The
// chart saves its pictures in `pictureFolder`.
class MainLayout
{
public:
    MainLayout(QMainWindow &window, RecordStore &records, Dialogs &dialogs,
               const TextLocale &locale, const QString &pictureFolder);
    ~MainLayout();
    MainLayout(const MainLayout &) = delete;
    MainLayout &operator=(const MainLayout &) = delete;

    QLabel *spNotice = nullptr;
    // The current record's latest certificate, and whether the record changed since.
    QLabel *spCertificate = nullptr;
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
    // U of an interpolated temperature over the reference range, and what to make of it.
    UncertaintyChart *chU = nullptr;
    QLabel *lbUncertainty = nullptr;
    QPushButton *btnSaveCsv = nullptr;
    QPushButton *btnEditUnc = nullptr;
    RadioGroup *rgABC = nullptr;
    QLineEdit *edA = nullptr;
    QLineEdit *edB = nullptr;
    QLineEdit *edC = nullptr;
    BoundEdit *RzDBEdit7 = nullptr;  // SMin
    BoundEdit *RzDBEdit8 = nullptr;  // SMax
    BoundEdit *RzDBEdit9 = nullptr;  // TMin
    BoundEdit *RzDBEdit13 = nullptr; // TMax

    QPushButton *btnCertificate = nullptr;
    QPushButton *btnCertificates = nullptr;
    QPushButton *btnLaboratory = nullptr;
    QPushButton *btnUncertainties = nullptr;
    QSplitter *spSeparator = nullptr;
    QPushButton *btnAbout = nullptr;
    QPushButton *btnExit = nullptr;

private:
    QWidget *buildLeftPanel();
    QWidget *buildHeader();
    QWidget *buildCalibrationPage();
    QWidget *buildMeasurementsPage();
    QWidget *buildInterpolationControls();

    QMainWindow &m_window;
    RecordStore &m_records;
    Dialogs &m_dialogs;
    const TextLocale &m_locale;
    const QString m_pictureFolder;
    // The grids' models; the window deletes the grids before these go.
    std::unique_ptr<TableModel> m_mainModel;
    std::unique_ptr<TableModel> m_bbModel;
    std::unique_ptr<TableModel> m_interpModel;
};

} // namespace kelvora
