#pragma once

#include <QMainWindow>
#include <QTemporaryDir>
#include <QTimer>

#include "core/datetime.h"
#include "records/folders.h"
#include "records/recordssession.h"
#include "ui/erase.h"
#include "ui/interpolationpage.h"
#include "ui/mainlayout.h"

#include <functional>
#include <memory>
#include <vector>

namespace kelvora {

class Dialogs;
class TFCertificate;
struct IssuedCertificate;

// The main window: the record list on the left, the current record on the right with its
// reference points (Calibration page) and its measurements with the chart (Interpolation
// page). It opens the database when it is created, saves it after every change and when it
// closes. Its controls are its own; tests find them by their object names.
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
    // True when the start-up refused to go on (the database is used by another copy, another
    // program keeps it locked, or a damaged file could not be backed up): the program ends
    // without saving.
    bool endRequested() const { return m_endRequested; }

    // Writes the store to the database file now, if a change is waiting. False when the
    // save failed (the failure has been shown).
    bool flushSave();
    bool savePending() const { return m_saveTimer.isActive(); }
    // Saves of the database file done since the window was created.
    int saveCount() const { return m_saveCount; }

    // The current record's latest certificate in the status bar, and whether the record has
    // changed since it was issued; shown when control is back in the event loop.
    void showCertificate();
    bool certificatePending() const { return m_certificateTimer.isActive(); }

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
    // The Interpolation page for the chosen fit: its parameters, chart and uncertainties.
    void rgABCClick();
    void btnLoadMainClick();
    void btnSaveMainClick();
    void btnEraseMainClick();
    void btnEraseBBClick();
    void btnEraseInterpClick();
    void btnComputeClick();
    void btnCertificateClick();
    void btnCertificatesClick();
    void btnLaboratoryClick();
    void btnUncertaintiesClick();
    QString sizesFile() const;
    void restoreSizes();
    void rememberSizes();
    void btnAboutClick();
    void btnExitClick();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void connectControls();
    void connectStore();
    void FormCreate();
    void openErase(EraseTarget target);
    void saveCertificate(const TFCertificate &dialog, DateTime now);
    void printCertificate(const TFCertificate &dialog, DateTime now);
    // Issues and registers the certificate into `issued`; false when the database could not be
    // saved (the reason has been shown, and no number is used).
    bool issueCertificate(const TFCertificate &dialog, DateTime now, IssuedCertificate &issued);
    void repaintGrid(Grid *grid);
    // Runs a store reaction: an error is shown instead of breaking the store operation.
    void react(const std::function<void()> &reaction);

    Dialogs &m_dialogs;
    TextLocale m_locale;
    const ProgramFolders m_folders;
    RecordsSession m_session;
    RecordStore &m_records;
    MainLayout m_ui;
    InterpolationPage m_interpolation;
    QTimer m_saveTimer;
    QTimer m_certificateTimer;
    bool m_showingCertificate = false;
    // Where the Certificates dialog puts the copies it opens; removed with the window.
    std::unique_ptr<QTemporaryDir> m_documentCopies;
    bool m_saveFailed = false;
    bool m_endRequested = false;
    bool m_shown = false;
    int m_saveCount = 0;
    std::vector<EventConnection> m_connections; // to the store's events
};

} // namespace kelvora
