#pragma once

#include "core/datetime.h"
#include "records/folders.h"
#include "records/interpolation.h"

#include <QObject>

class QWidget;

namespace kelvora {

class Dialogs;
class MainLayout;
class RecordStore;

// The Interpolation page of the main window: the parameters of the chosen fit applied to the
// measurements, their chart and the uncertainty of an interpolated temperature, and the files
// the measurements are loaded from and saved in. It handles the page's controls; the window
// calls on it where the store's changes concern the page.
class InterpolationPage : public QObject
{
    Q_OBJECT

public:
    // Message boxes and dialogs open over `window`.
    InterpolationPage(QWidget &window, MainLayout &ui, RecordStore &records, Dialogs &dialogs,
                      const TextLocale &locale, const ProgramFolders &folders);

    // Handlers and reactions, as the controls and the window call them.
    void rgABCClick();
    void DrawChart();
    void btnLoadInterpClick();
    void btnSaveInterpClick();
    void btnComputeInterpClick();
    void btnEditUncClick();
    // Saves the measurements with their U as CSV.
    void btnSaveCsvClick();
    // The U chart and the remark on the page, for the chosen fit's triple.
    void showUncertainties();

private:
    void connectControls();
    // The fit whose parameters the interpolation applies, as rgABC chooses it.
    FitMethod chosenMethod() const;
    // The name a picture of the chart is proposed under: the current record's.
    QString pictureName() const;
    void showOutOfRange(int kind);

    QWidget &m_window;
    MainLayout &m_ui;
    RecordStore &m_records;
    Dialogs &m_dialogs;
    const TextLocale &m_locale;
    const ProgramFolders &m_folders;
    bool m_showingUncertainties = false;
};

} // namespace kelvora
