#include "ui/mainlayout.h"

#include "records/interpolation.h"
#include "tables/recordstore.h"

#include "ui/appearance.h"
#include "ui/boundedit.h"
#include "ui/chart.h"
#include "ui/dialogs.h"
#include "ui/grid.h"
#include "ui/layoutparts.h"
#include "ui/navigator.h"
#include "ui/radiogroup.h"
#include "ui/sizing.h"
#include "ui/tablefield.h"
#include "ui/tablemodel.h"
#include "ui/uncertaintychart.h"
#include "ui/wraplayout.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kelvora {

namespace {

using Nav = Navigator::Button;

// Fields shown with a display pattern write every digit before the separator; the range of
// their values bounds the text.
struct PatternRange
{
    TableField field;
    int integerDigits;
    bool negative;
};

using Record = RecordField;
using Point = ReferencePointField;
using Measurement = MeasurementField;

constexpr PatternRange PatternRanges[] = {
    {Record::MeanWL, 4, false},    {Record::Bandwidth, 4, false}, // µm, up to 1000
    {Record::TMin, 5, false},      {Record::TMax, 5, false},      // K
    {Point::T, 5, false},          {Point::TLM, 5, false},        {Point::TPSO, 5, false},
    {Measurement::T, 5, false},
    {Point::dTLM, 7, true},        {Point::dTPSO, 7, true},       {Point::Difference, 7, true},
    {Record::MeanRMSLM, 7, false}, {Record::MeanRMSPSO, 7, false}, // mK
    {Record::Seed, 10, false},                                    // 0 to 4294967295
    {Point::uT, 6, false},         {Measurement::U, 6, false},    // mK
};

// The widest texts a field shows.
QStringList widestTextsOf(TableField field, const TextLocale &locale)
{
    const FieldDef &def = field.def();
    if (def.kind == FieldKind::DateTime)
        return widestDateTimeTexts(locale);
    if (def.kind != FieldKind::Float && def.kind != FieldKind::Integer)
        return {};
    // A whole number shows its digits alone.
    const std::string pattern = def.kind == FieldKind::Integer ? "0" : def.displayFormat;
    if (pattern.empty())
        return widestGeneralTexts(def.displayDigits, locale);
    for (const PatternRange &range : PatternRanges) {
        if (range.field == field)
            return widestPatternTexts(pattern, range.integerDigits, range.negative, locale);
    }
    return widestPatternTexts(pattern, 15, true, locale);
}

// Widens every column of the grid that is too narrow for its title or its values.
void fitColumns(Grid &grid, const TextLocale &locale)
{
    const TableModel &model = grid.tableModel();
    for (int c = 0; c < model.columnCount(); ++c)
        fitColumnWidth(grid, c, widestTextsOf(model.column(c).field, locale));
}

// The counts of the status panes.
constexpr int PaneDigits = 5;

// A bar of buttons, left-aligned unless `right`.
QWidget *buttonBar(QWidget *parent, int height, const std::vector<QPushButton *> &buttons,
                   bool right = false)
{
    auto *bar = new QWidget(parent);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(6, 0, 6, 0);
    layout->setSpacing(8);
    if (right)
        layout->addStretch(1);
    for (QPushButton *button : buttons) {
        button->setParent(bar);
        layout->addWidget(button);
    }
    if (!right)
        layout->addStretch(1);
    fitFixedHeight(*bar, height);
    return bar;
}

// A bar of buttons under a list that may narrow: they keep their designed width while the
// bar has room and give it up down to what their captions need.
QWidget *narrowingButtonBar(QWidget *parent, int height, const std::vector<QPushButton *> &buttons)
{
    auto *bar = new QWidget(parent);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(6, 0, 6, 0);
    layout->setSpacing(8);
    for (QPushButton *button : buttons) {
        const QSize designed = button->size();
        button->setMinimumSize(button->sizeHint().width(), designed.height());
        button->setMaximumSize(designed);
        button->setParent(bar);
        layout->addWidget(button, 1);
    }
    layout->addStretch(1);
    fitFixedHeight(*bar, height);
    return bar;
}

// A white status bar of panes with fixed widths; a width of 0 takes the rest.
QWidget *whiteBar(QWidget *parent, const std::vector<std::pair<QLabel *, int>> &panes)
{
    auto *bar = new QFrame(parent);
    bar->setFrameShape(QFrame::StyledPanel);
    bar->setAutoFillBackground(true);
    QPalette white = bar->palette();
    white.setColor(QPalette::Window, Qt::white);
    bar->setPalette(white);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(0);
    for (const auto &[pane, width] : panes) {
        pane->setParent(bar);
        pane->setFrameShape(QFrame::NoFrame);
        if (width > 0) {
            QStringList texts;
            const auto *bound = qobject_cast<const BoundPane *>(pane);
            for (const QString &number : widestWholeNumbers(PaneDigits))
                texts << (bound != nullptr ? bound->caption() : pane->text()) + number;
            fitLabelWidth(*pane, width, texts);
            layout->addWidget(pane);
        } else {
            layout->addWidget(pane, 1);
        }
    }
    if (panes.empty() || panes.back().second > 0)
        layout->addStretch(1);
    fitFixedHeight(*bar, 20);
    return bar;
}

void layoutWithoutMargins(QBoxLayout *layout)
{
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

} // namespace

MainLayout::MainLayout(QMainWindow &window, RecordStore &records, Dialogs &dialogs,
                       const TextLocale &locale, const QString &pictureFolder)
    : m_window(window), m_records(records), m_dialogs(dialogs), m_locale(locale),
      m_pictureFolder(pictureFolder)
{
    m_window.setWindowTitle(QStringLiteral("Kelvora"));
    m_window.setWindowIcon(KelvoraIcon());

    spNotice = new QLabel(QStringLiteral("Sakuma-Hattori calibration"), &m_window);
    spNotice->setObjectName(QStringLiteral("spNotice"));
    fitLabelWidth(*spNotice, 250, {spNotice->text()});
    m_window.statusBar()->setObjectName(QStringLiteral("RzStatusBar1"));
    m_window.statusBar()->setSizeGripEnabled(false);
    m_window.statusBar()->addWidget(spNotice);
    spCertificate = new QLabel(&m_window);
    spCertificate->setObjectName(QStringLiteral("spCertificate"));
    m_window.statusBar()->addPermanentWidget(spCertificate);
    fitFixedHeight(*m_window.statusBar(), 19);

    auto *central = new QWidget(&m_window);
    auto *outer = new QVBoxLayout(central);
    layoutWithoutMargins(outer);
    auto *body = new QHBoxLayout();
    body->setContentsMargins(4, 4, 4, 0);
    // The record list and the record side by side; the vertical separator between them moves
    // them. The record keeps its width as the window narrows, the list gives it up first.
    auto *split = new QSplitter(Qt::Horizontal, central);
    spSeparator = split;
    split->setObjectName(QStringLiteral("spSeparator"));
    split->setHandleWidth(5);
    split->setChildrenCollapsible(false);
    split->addWidget(buildLeftPanel());
    // The record's side stays when the panel p is hidden, so that the list keeps its width.
    auto *recordSide = new QWidget(split);
    auto *recordLayout = new QVBoxLayout(recordSide);
    layoutWithoutMargins(recordLayout);
    split->addWidget(recordSide);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    body->addWidget(split, 1);

    p = new QWidget(recordSide);
    p->setObjectName(QStringLiteral("p"));
    auto *right = new QVBoxLayout(p);
    layoutWithoutMargins(right);
    right->addWidget(buildHeader());
    right->addSpacing(10); // the horizontal separator
    pc = new QTabWidget(p);
    pc->setObjectName(QStringLiteral("pc"));
    const QStyle *style = m_window.style();
    pc->addTab(buildCalibrationPage(), style->standardIcon(QStyle::SP_FileDialogDetailedView),
               QStringLiteral("   Calibration   "));
    pc->addTab(buildMeasurementsPage(), style->standardIcon(QStyle::SP_FileDialogContentsView),
               QStringLiteral("   Interpolation   "));
    // As designed, the Interpolation page is active until the start-up chooses otherwise.
    pc->setCurrentWidget(tsMeasurements);
    right->addWidget(pc, 1);
    recordLayout->addWidget(p, 1);
    outer->addLayout(body, 1);

    btnAbout = makeButton(central, "btnAbout", QStringLiteral("A&bout"),
                          QStringLiteral("About Kelvora"), QStyle::SP_MessageBoxInformation);
    btnExit = makeButton(central, "btnExit", QStringLiteral("E&xit"),
                         QStringLiteral("Exit Kelvora"), QStyle::SP_DialogCloseButton);
    btnCertificate = makeButton(central, "btnCertificate", QStringLiteral("Cer&tificate..."),
                                QStringLiteral("Issue the record's calibration certificate"),
                                QStyle::SP_FileDialogContentsView);
    btnCertificates =
        makeButton(central, "btnCertificates", QStringLiteral("Certif&icates..."),
                   QStringLiteral("The register of issued certificates"),
                   QStyle::SP_FileDialogListView);
    btnLaboratory = makeButton(central, "btnLaboratory", QStringLiteral("Laborator&y..."),
                               QStringLiteral("The laboratory's details on certificates"),
                               QStyle::SP_ComputerIcon);
    btnUncertainties =
        makeButton(central, "btnUncertainties", QStringLiteral("U&ncertainties..."),
                   QStringLiteral("The record's uncertainty settings"),
                   QStyle::SP_FileDialogDetailedView);
    QWidget *bottomBar = buttonBar(
        central, 41,
        {btnUncertainties, btnCertificate, btnCertificates, btnLaboratory, btnAbout, btnExit},
        true);
    bottomBar->setObjectName(QStringLiteral("RzPanel1"));
    outer->addWidget(bottomBar);
    m_window.setCentralWidget(central);

    // The list starts as designed, unless the font needs more room.
    const int listWidth = std::max({468, pLeft->minimumSizeHint().width(), gridWidthFor(*dbgMain),
                                    pLeft->layout()->itemAt(0)->sizeHint().width()});
    split->setSizes({listWidth, p->minimumSizeHint().width()});
    // As designed where the screen has room; on a smaller one the list narrows, and on one too
    // small even for that the window's content scrolls.
    const QSize needed = fittedMinimumSize(m_window, QSize(1290, 750));
    const int startWidth = listWidth + split->handleWidth() + p->minimumSizeHint().width()
                           + body->contentsMargins().left() + body->contentsMargins().right();
    m_window.setCentralWidget(scrolledWhenTooSmall(m_window.takeCentralWidget()));
    fitWindowToScreen(m_window, needed, QSize(std::max(1290, startWidth), 763));
}

MainLayout::~MainLayout() = default;

QWidget *MainLayout::buildLeftPanel()
{
    Table &cdsMain = m_records.cdsMain;
    pLeft = new QWidget(&m_window);
    pLeft->setObjectName(QStringLiteral("pLeft"));
    auto *layout = new QVBoxLayout(pLeft);
    layoutWithoutMargins(layout);

    // The search and the order side by side, one under the other where the list is narrow.
    auto *band = new QWidget(pLeft);
    auto *bandLayout = new WrapLayout(band);
    bandLayout->setContentsMargins(4, 2, 4, 4);
    bandLayout->setSpacing(6);
    auto *find = new QWidget(band);
    auto *findLayout = new QHBoxLayout(find);
    findLayout->setContentsMargins(0, 0, 0, 0);
    auto *findLabel = new QLabel(QStringLiteral("Find Record Name "), find);
    edFind = new QLineEdit(find);
    edFind->setObjectName(QStringLiteral("edFind"));
    edFind->setFixedWidth(100);
    rgSort = new RadioGroup(
        QStringLiteral("Sort by"),
        {QStringLiteral("Record Name"), QStringLiteral("Record Creation Time")}, 1, band);
    rgSort->setObjectName(QStringLiteral("rgSort"));
    fitFixedWidth(*rgSort, 180);
    findLayout->addWidget(findLabel);
    findLayout->addWidget(edFind);
    bandLayout->addWidget(find);
    bandLayout->addStretch();
    bandLayout->addWidget(rgSort);
    layout->addWidget(band);

    m_mainModel = std::make_unique<TableModel>(
        cdsMain,
        std::vector<GridColumn>{{Record::Name, QStringLiteral("Record Name"), 180, true},
                                {Record::Created, QStringLiteral("Created"), 120, false},
                                {Record::Processed, QStringLiteral("Processed"), 120, false}},
        m_dialogs);
    m_mainModel->setTextLocale(m_locale);
    dbgMain = new Grid(*m_mainModel, m_dialogs, pLeft);
    dbgMain->setObjectName(QStringLiteral("dbgMain"));
    fitColumns(*dbgMain, m_locale);
    // A narrow list scrolls its columns.
    layout->addWidget(dbgMain, 1);

    m = new BoundMemo(cdsMain, Record::Rem, m_dialogs);
    m->setObjectName(QStringLiteral("m"));
    m->setFixedHeight(84);
    layout->addWidget(bannerGroup(pLeft, QStringLiteral("Comments"), m));

    dbnMain = new Navigator(cdsMain,
                            {Nav::First, Nav::Prior, Nav::Next, Nav::Last, Nav::Delete,
                             Nav::Edit, Nav::Post, Nav::Cancel},
                            m_dialogs, pLeft);
    dbnMain->setObjectName(QStringLiteral("dbnMain"));
    dbnMain->setGrid(dbgMain);
    layout->addWidget(dbnMain);

    dbspRecNoMain = new BoundPane(cdsMain, Record::RecNo, QStringLiteral("Record #: "));
    dbspRecNoMain->setObjectName(QStringLiteral("dbspRecNoMain"));
    dbspRecordCountMain =
        new BoundPane(cdsMain, Record::RecordCount, QStringLiteral("Record Count: "));
    dbspRecordCountMain->setObjectName(QStringLiteral("dbspRecordCountMain"));
    layout->addWidget(whiteBar(pLeft, {{dbspRecNoMain, 120}, {dbspRecordCountMain, 120},
                                       {new QLabel(), 0}}));

    btnLoadMain = makeButton(pLeft, "btnLoadMain", QStringLiteral("&Load"),
                             QStringLiteral("Load record from text file"),
                             QStyle::SP_DialogOpenButton);
    btnSaveMain = makeButton(pLeft, "btnSaveMain", QStringLiteral("&Save"),
                             QStringLiteral("Save record in text file"),
                             QStyle::SP_DialogSaveButton);
    btnEraseMain = makeButton(pLeft, "btnEraseMain", QStringLiteral("&Erase"),
                              QStringLiteral("Erase multiple records"), QStyle::SP_TrashIcon);
    layout->addWidget(narrowingButtonBar(pLeft, 41, {btnLoadMain, btnSaveMain, btnEraseMain}));
    return pLeft;
}

QWidget *MainLayout::buildHeader()
{
    Table &cdsMain = m_records.cdsMain;
    auto *header = new QWidget(p);
    auto *layout = new QHBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    const auto bound = [&](RecordField field) {
        auto *edit = new BoundEdit(cdsMain, field, m_locale);
        edit->setObjectName(QStringLiteral("dbe") + QString::fromStdString(fieldName(field)));
        fitEditWidth(*edit, widestTextsOf(field, m_locale));
        return edit;
    };
    QGroupBox *spectral =
        editGroup(header, QStringLiteral("Spectral Responsivity"),
                  {{QStringLiteral("Mean Wavelength (µm) "), bound(Record::MeanWL)},
                   {QStringLiteral("Bandwidth (µm) "), bound(Record::Bandwidth)}});
    fitFixedWidth(*spectral, 196);
    QGroupBox *guess = editGroup(header, QStringLiteral("Saunders-White Initial Guess"),
                                 {{QStringLiteral("A "), bound(Record::AS)},
                                  {QStringLiteral("B "), bound(Record::BS)},
                                  {QStringLiteral("C "), bound(Record::CS)}});
    fitFixedWidth(*guess, 172);
    QGroupBox *lm = editGroup(header, QStringLiteral("Levenberg-Marquardt Solution"),
                              {{QStringLiteral("A "), bound(Record::ALM)},
                               {QStringLiteral("B "), bound(Record::BLM)},
                               {QStringLiteral("C "), bound(Record::CLM)},
                               {QStringLiteral("Mean RMS (mK)  "), bound(Record::MeanRMSLM)}},
                              NavyColor);
    fitFixedWidth(*lm, 214);
    QGroupBox *pso = editGroup(header, QStringLiteral("Particle Swarm Optimization"),
                               {{QStringLiteral("A "), bound(Record::APSO)},
                                {QStringLiteral("B "), bound(Record::BPSO)},
                                {QStringLiteral("C "), bound(Record::CPSO)},
                                {QStringLiteral("Mean RMS (mK)  "), bound(Record::MeanRMSPSO)},
                                {QStringLiteral("Seed "), bound(Record::Seed)}},
                               Qt::red);
    fitFixedWidth(*pso, 214);
    layout->addWidget(spectral);
    layout->addWidget(guess);
    layout->addStretch(1);
    layout->addWidget(lm);
    layout->addWidget(pso);
    fitFixedHeight(*header, 145);
    return header;
}

QWidget *MainLayout::buildCalibrationPage()
{
    Table &cdsBB = m_records.cdsBB;
    tsCalibration = new QWidget();
    tsCalibration->setObjectName(QStringLiteral("tsCalibration"));
    auto *layout = new QVBoxLayout(tsCalibration);
    layoutWithoutMargins(layout);

    m_bbModel = std::make_unique<TableModel>(
        cdsBB,
        std::vector<GridColumn>{{Point::S, QStringLiteral("Signal"), 100, false},
                                {Point::T, QStringLiteral("T (K)"), 104, false},
                                {Point::TLM, QStringLiteral("TLM (K)"), 104, false},
                                {Point::TPSO, QStringLiteral("TPSO (K)"), 104, false},
                                {Point::dTLM, QStringLiteral("TLM-T (mK)"), 104, false},
                                {Point::dTPSO, QStringLiteral("TPSO-T (mK)"), 104, false},
                                {Point::Difference, QStringLiteral("TLM-TPSO (mK)"), 104, false},
                                {Point::uT, QStringLiteral("u(T) (mK)"), 80, true, true}},
        m_dialogs);
    m_bbModel->setTextLocale(m_locale);
    dbgBB = new Grid(*m_bbModel, m_dialogs, tsCalibration);
    dbgBB->setObjectName(QStringLiteral("dbgBB"));
    fitColumns(*dbgBB, m_locale);
    // The first column takes what the others leave (FormResize): the grid keeps room for
    // all of them at their fitted widths.
    int columns = 0;
    for (int c = 0; c < m_bbModel->columnCount(); ++c)
        columns += dbgBB->columnWidth(c);
    const int scrollBar = m_window.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    dbgBB->setMinimumWidth(columns + 7 + 4 + 11 + scrollBar);
    layout->addWidget(dbgBB, 1);

    dbnBB = new Navigator(cdsBB,
                          {Nav::First, Nav::Prior, Nav::Next, Nav::Last, Nav::Delete,
                           Nav::Cancel},
                          m_dialogs, tsCalibration);
    dbnBB->setObjectName(QStringLiteral("dbnBB"));
    dbnBB->setGrid(dbgBB);
    layout->addWidget(dbnBB);

    dbspRecNoBB = new BoundPane(cdsBB, Point::RecNo, QStringLiteral("Record #: "));
    dbspRecNoBB->setObjectName(QStringLiteral("dbspRecNoBB"));
    dbspRecordCountBB =
        new BoundPane(cdsBB, Point::RecordCount, QStringLiteral("Record Count: "));
    dbspRecordCountBB->setObjectName(QStringLiteral("dbspRecordCountBB"));
    spFileName = new QLabel();
    spFileName->setObjectName(QStringLiteral("spFileName"));
    layout->addWidget(whiteBar(tsCalibration, {{dbspRecNoBB, 120}, {dbspRecordCountBB, 120},
                                               {spFileName, 0}}));

    btnCompute = makeButton(tsCalibration, "btnCompute", QStringLiteral("&Compute"),
                            QStringLiteral("Compute Sakuma-Hattori parameters"),
                            QStyle::SP_MediaPlay);
    btnEraseBB = makeButton(tsCalibration, "btnEraseBB", QStringLiteral("E&rase"),
                            QStringLiteral("Erase multiple records"), QStyle::SP_TrashIcon);
    layout->addWidget(buttonBar(tsCalibration, 41, {btnCompute, btnEraseBB}));
    return tsCalibration;
}

QWidget *MainLayout::buildMeasurementsPage()
{
    Table &cdsInterp = m_records.cdsInterp;
    tsMeasurements = new QWidget();
    tsMeasurements->setObjectName(QStringLiteral("tsMeasurements"));
    auto *layout = new QHBoxLayout(tsMeasurements);
    layoutWithoutMargins(layout);
    layout->setSpacing(5); // the separator between the grid and the chart

    auto *left = new QWidget(tsMeasurements);
    auto *leftLayout = new QVBoxLayout(left);
    layoutWithoutMargins(leftLayout);
    m_interpModel = std::make_unique<TableModel>(
        cdsInterp,
        std::vector<GridColumn>{{Measurement::S, QStringLiteral("Signal"), 140, true},
                                {Measurement::T, QStringLiteral("Temperature (K)"), 110, false},
                                {Measurement::U, QStringLiteral("U (mK)"), 70, false}},
        m_dialogs);
    m_interpModel->setTextLocale(m_locale);
    // A temperature outside the reference range is marked with the warning it gave.
    m_interpModel->setCellWarning([this](int row, int column) {
        const Table &interp = m_records.cdsInterp;
        if (m_interpModel->column(column).field != Measurement::T)
            return QString();
        const Value temperature = interp.valueAt(row, m_interpModel->fieldIndex(column));
        const double *t = std::get_if<double>(&temperature);
        if (t == nullptr || !TemperatureOutOfRange(m_records, *t))
            return QString();
        return shownText(QString::fromStdString(OutOfRangeText(OutOfRangeTemperatures)));
    });
    dbgInterp = new Grid(*m_interpModel, m_dialogs, left);
    dbgInterp->setObjectName(QStringLiteral("dbgInterp"));
    dbgInterp->setAppendOnDown(true);
    fitColumns(*dbgInterp, m_locale);
    dbgInterp->setMinimumWidth(gridWidthFor(*dbgInterp));
    // A few rows in sight at the least, so that the U chart below has room.
    dbgInterp->setMinimumHeight(dbgInterp->horizontalHeader()->sizeHint().height()
                                + 4 * dbgInterp->verticalHeader()->defaultSectionSize());
    leftLayout->addWidget(dbgInterp, 1);

    dbnIterp = new Navigator(cdsInterp,
                             {Nav::First, Nav::Prior, Nav::Next, Nav::Last, Nav::Insert,
                              Nav::Delete, Nav::Edit, Nav::Post, Nav::Cancel},
                             m_dialogs, left);
    dbnIterp->setObjectName(QStringLiteral("dbnIterp"));
    dbnIterp->setGrid(dbgInterp);
    leftLayout->addWidget(dbnIterp);

    dbspRecNoInterp = new BoundPane(cdsInterp, Measurement::RecNo, QStringLiteral("Record #: "));
    dbspRecNoInterp->setObjectName(QStringLiteral("dbspRecNoInterp"));
    dbspRecordCountInterp =
        new BoundPane(cdsInterp, Measurement::RecordCount, QStringLiteral("Record Count: "));
    dbspRecordCountInterp->setObjectName(QStringLiteral("dbspRecordCountInterp"));
    leftLayout->addWidget(whiteBar(left, {{dbspRecNoInterp, 100}, {dbspRecordCountInterp, 110},
                                          {new QLabel(), 0}}));

    // U over the reference range and beyond, under the measurements it belongs to.
    chU = new UncertaintyChart(left);
    chU->setDialogs(&m_dialogs, m_pictureFolder);
    chU->setMinimumHeight(chU->fontMetrics().height() * 7);
    leftLayout->addWidget(chU, 1);
    lbUncertainty = new QLabel(left);
    lbUncertainty->setObjectName(QStringLiteral("lbUncertainty"));
    // One line, its whole text in the tool tip: a wrapped label would set the page's height.
    lbUncertainty->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    leftLayout->addWidget(lbUncertainty);

    btnLoadInterp = makeButton(left, "btnLoadInterp", QStringLiteral("L&oad"),
                               QStringLiteral("Load signals from text file"),
                               QStyle::SP_DialogOpenButton);
    btnSaveInterp = makeButton(left, "btnSaveInterp", QStringLiteral("Sa&ve"),
                               QStringLiteral("Save data in text file"),
                               QStyle::SP_DialogSaveButton);
    btnComputeInterp = makeButton(left, "btnComputeInterp", QStringLiteral("Co&mpute"),
                                  QStringLiteral("Compute temperature(s)"),
                                  QStyle::SP_MediaPlay);
    btnEraseInterp = makeButton(left, "btnEraseInterp", QStringLiteral("Er&ase"),
                                QStringLiteral("Erase multiple records"), QStyle::SP_TrashIcon);
    auto *buttons = new QWidget(left);
    auto *grid = new QGridLayout(buttons);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setSpacing(8);
    grid->addWidget(btnLoadInterp, 0, 0);
    grid->addWidget(btnSaveInterp, 0, 1);
    grid->addWidget(btnComputeInterp, 1, 0);
    grid->addWidget(btnEraseInterp, 1, 1);
    btnSaveCsv = makeButton(left, "btnSaveCsv", QStringLiteral("CSV + &U"),
                            QStringLiteral("Save results with uncertainties in a CSV file"),
                            QStyle::SP_DialogSaveButton);
    grid->addWidget(btnSaveCsv, 0, 2);
    grid->setColumnStretch(3, 1);
    fitFixedHeight(*buttons, 71);
    leftLayout->addWidget(buttons);
    fitFixedWidth(*left, 295);
    layout->addWidget(left);

    auto *right = new QWidget(tsMeasurements);
    auto *rightLayout = new QVBoxLayout(right);
    layoutWithoutMargins(rightLayout);
    chAll = new MainChart(right);
    chAll->setObjectName(QStringLiteral("chAll"));
    chAll->setDialogs(&m_dialogs, m_pictureFolder);
    rightLayout->addWidget(chAll, 1);

    btnEditUnc = makeButton(right, "btnEditUnc", QStringLiteral("Edit &Graph"),
                            QStringLiteral("Open Graph Editor"), QStyle::SP_FileDialogInfoView);
    rightLayout->addWidget(buttonBar(right, 33, {btnEditUnc}, true));
    rightLayout->addWidget(buildInterpolationControls());
    layout->addWidget(right, 1);
    return tsMeasurements;
}

QWidget *MainLayout::buildInterpolationControls()
{
    Table &cdsMain = m_records.cdsMain;
    auto *bottom = new QWidget();
    auto *layout = new QHBoxLayout(bottom);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->setSpacing(4);

    auto *parameters = new QGroupBox(QStringLiteral("Sakuma-Hattori Parameters"), bottom);
    auto *parametersLayout = new QGridLayout(parameters);
    parametersLayout->setContentsMargins(6, 4, 6, 4);
    parametersLayout->setHorizontalSpacing(2);
    rgABC = new RadioGroup(QStringLiteral("Apply Parameters Obtained Using"),
                           {QStringLiteral("Levenberg-Marquardt Method"),
                            QStringLiteral("Particle Swarm Optimization")},
                           0, parameters);
    rgABC->setObjectName(QStringLiteral("rgABC"));
    parametersLayout->addWidget(rgABC, 0, 0, 1, 2);
    edA = creamEdit(parameters, "edA");
    edB = creamEdit(parameters, "edB");
    edC = creamEdit(parameters, "edC");
    // The parameters as the record holds them.
    for (QLineEdit *edit : {edA, edB, edC})
        fitEditWidth(*edit, widestTextsOf(Record::ALM, m_locale));
    int row = 1;
    const std::vector<std::pair<QString, QLineEdit *>> rows{
        {QStringLiteral("A "), edA}, {QStringLiteral("B "), edB}, {QStringLiteral("C "), edC}};
    for (const auto &[label, edit] : rows) {
        auto *text = new QLabel(label, parameters);
        text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        parametersLayout->addWidget(text, row, 0);
        parametersLayout->addWidget(edit, row, 1);
        ++row;
    }
    parametersLayout->setColumnStretch(1, 1);
    layout->addWidget(parameters, 3);

    const auto bound = [&](const char *name, RecordField field) {
        auto *edit = new BoundEdit(cdsMain, field, m_locale);
        edit->setObjectName(QLatin1String(name));
        fitEditWidth(*edit, widestTextsOf(field, m_locale));
        return edit;
    };
    RzDBEdit7 = bound("RzDBEdit7", Record::SMin);
    RzDBEdit8 = bound("RzDBEdit8", Record::SMax);
    RzDBEdit9 = bound("RzDBEdit9", Record::TMin);
    RzDBEdit13 = bound("RzDBEdit13", Record::TMax);
    auto *ranges = new QWidget(bottom);
    auto *rangesLayout = new QVBoxLayout(ranges);
    layoutWithoutMargins(rangesLayout);
    rangesLayout->setSpacing(4);
    rangesLayout->addWidget(editGroup(ranges, QStringLiteral("Reference Signal Range"),
                                      {{QStringLiteral("Min. "), RzDBEdit7},
                                       {QStringLiteral("Max. "), RzDBEdit8}}));
    rangesLayout->addWidget(editGroup(ranges, QStringLiteral("Reference Temperature Range (K)"),
                                      {{QStringLiteral("Min. "), RzDBEdit9},
                                       {QStringLiteral("Max. "), RzDBEdit13}}));
    layout->addWidget(ranges, 2);
    fitFixedHeight(*bottom, 191);
    return bottom;
}

} // namespace kelvora
