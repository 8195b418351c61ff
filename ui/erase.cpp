#include "ui/erase.h"

#include "tables/store.h"
#include "ui/dialogs.h"
#include "ui/sizing.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace kelvora {

namespace {

Table &targetTable(Store &store, EraseTarget target)
{
    switch (target) {
    case EraseTarget::ReferencePoints:
        return store.cdsBB;
    case EraseTarget::Measurements:
        return store.cdsInterp;
    case EraseTarget::Records:
        break;
    }
    return store.cdsMain;
}

QSpinBox *makeSpinEdit(QWidget *parent, const QString &name, int total)
{
    auto *edit = new QSpinBox(parent);
    edit->setObjectName(name);
    // With no rows the minimum wins: the edit allows only 1.
    edit->setRange(1, std::max(1, total));
    // As designed, or wide enough for the largest row number.
    fitFixedWidth(*edit, 81);
    edit->setValue(1);
    edit->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    return edit;
}

// Suspends the table's displays and shows the busy cursor for the time of the deletions.
class BulkDeletion
{
public:
    BulkDeletion(Table &table, Dialogs &dialogs) : m_table(table), m_dialogs(dialogs)
    {
        m_dialogs.setBusy(true);
        // Lets the confirmation box disappear from the screen first.
        m_dialogs.processEvents();
        m_table.disableControls();
    }
    ~BulkDeletion()
    {
        m_table.enableControls();
        m_dialogs.setBusy(false);
    }
    BulkDeletion(const BulkDeletion &) = delete;
    BulkDeletion &operator=(const BulkDeletion &) = delete;

private:
    Table &m_table;
    Dialogs &m_dialogs;
};

} // namespace

TFErase::TFErase(Store &store, Dialogs &dialogs, EraseTarget target, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_target(targetTable(store, target)), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("FErase"));
    setWindowTitle(QStringLiteral("Erase Multiple Records"));

    m_total = m_target.recordCount();
    m_current = m_target.recNo();

    rgRecords = new QGroupBox(QStringLiteral("Erase Records"), this);
    rgRecords->setObjectName(QStringLiteral("rgRecords"));
    auto *group = new QButtonGroup(this);
    auto *items = new QVBoxLayout(rgRecords);
    items->setSpacing(2);
    const std::array<QString, 4> captions{
        QStringLiteral("From First to Current"), QStringLiteral("From Current to Last"),
        QStringLiteral("All"), QStringLiteral("From ... to ...")};
    for (int i = 0; i < 4; ++i) {
        rgRecordsItems[i] = new QRadioButton(captions[i], rgRecords);
        group->addButton(rgRecordsItems[i], i);
        items->addWidget(rgRecordsItems[i]);
    }

    auto *range = new QGroupBox(this);
    seFrom = makeSpinEdit(range, QStringLiteral("seFrom"), m_total);
    seTo = makeSpinEdit(range, QStringLiteral("seTo"), m_total);
    auto *rangeLayout = new QGridLayout(range);
    rangeLayout->addWidget(new QLabel(QStringLiteral("From # "), range), 0, 0, Qt::AlignRight);
    rangeLayout->addWidget(seFrom, 0, 1);
    rangeLayout->addWidget(new QLabel(QStringLiteral("To # "), range), 1, 0, Qt::AlignRight);
    rangeLayout->addWidget(seTo, 1, 1);

    auto *choice = new QHBoxLayout;
    choice->setContentsMargins(8, 6, 8, 0);
    choice->addWidget(rgRecords, 1);
    choice->addWidget(range);

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    btnOK = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                            QStringLiteral("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setFixedWidth(std::max(100, btnOK->sizeHint().width()));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setFixedWidth(std::max(100, btnCancel->sizeHint().width()));
    auto *buttons = new QHBoxLayout;
    buttons->setObjectName(QStringLiteral("RzDialogButtons1"));
    buttons->setContentsMargins(8, 4, 8, 4);
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);

    auto *status = new QStatusBar(this);
    status->setSizeGripEnabled(false);
    status->setAutoFillBackground(true);
    QPalette white = status->palette();
    white.setColor(QPalette::Window, Qt::white);
    status->setPalette(white);
    sp0 = new QLabel(status);
    sp0->setObjectName(QStringLiteral("sp0"));
    status->addWidget(sp0, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addLayout(choice, 1);
    layout->addWidget(divider);
    layout->addLayout(buttons);
    layout->addWidget(status);
    // 336 × 169 in Tahoma 8; a wider substitute font makes the dialog larger, not clipped.
    setFixedSize(layout->sizeHint()
                     .expandedTo(QSize(336, 169))
                     .expandedTo(QSize(titleBarWidthFor(windowTitle(), font()), 0)));

    rgRecordsItems[All]->setChecked(true);
    rgRecordsClick();
    sp0->setText(QStringLiteral("Total: %1 record%2")
                     .arg(m_total)
                     .arg(m_total >= 2 ? QStringLiteral("s") : QString()));

    connect(group, &QButtonGroup::idClicked, this, [this] { rgRecordsClick(); });
    connect(seFrom, &QSpinBox::valueChanged, this, [this](int value) { m_from = value; });
    connect(seTo, &QSpinBox::valueChanged, this, [this](int value) { m_to = value; });
    connect(btnOK, &QPushButton::clicked, this, [this] { RzDialogButtons1ClickOk(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

int TFErase::itemIndex() const
{
    for (int i = 0; i < 4; ++i) {
        if (rgRecordsItems[i]->isChecked())
            return i;
    }
    return All;
}

void TFErase::setItemIndex(int item)
{
    rgRecordsItems.at(static_cast<std::size_t>(item))->setChecked(true);
    rgRecordsClick();
}

void TFErase::applyItem(int item)
{
    switch (item) {
    case FirstToCurrent:
        m_from = 1;
        m_to = m_current;
        break;
    case CurrentToLast:
        m_from = m_current;
        m_to = m_total;
        break;
    case All:
        m_from = 1;
        m_to = m_total;
        break;
    default:
        m_from = 1;
        m_to = 1;
        break;
    }
}

void TFErase::rgRecordsClick()
{
    const int item = itemIndex();
    applyItem(item);
    // The edits bring a value outside their bounds to the nearer one, as when left.
    seFrom->setValue(m_from);
    seTo->setValue(m_to);
    seFrom->setEnabled(item == FromTo);
    seTo->setEnabled(item == FromTo);
}

void TFErase::RzDialogButtons1ClickOk()
{
    const int item = itemIndex();
    if (item == FromTo) {
        // A value still being typed counts, brought within the edit's bounds.
        seFrom->interpretText();
        seTo->interpretText();
        m_from = seFrom->value();
        m_to = seTo->value();
        if (m_from > m_to) {
            m_dialogs.message(QStringLiteral("Incorrect record range: from # %1 to # %2")
                                  .arg(m_from)
                                  .arg(m_to));
            return;
        }
    } else {
        applyItem(item);
    }
    const QString question = QStringLiteral("All records from # %1 to # %2 will be deleted")
                                 .arg(m_from)
                                 .arg(m_to)
                             + QChar(13) + QStringLiteral("Continue?");
    if (!m_dialogs.confirm(question, Dialogs::Buttons::YesNo))
        return;
    try {
        deleteRun();
    } catch (const std::exception &error) {
        // The rows deleted before the refusal stay deleted.
        m_dialogs.message(QString::fromStdString(error.what()));
    }
    accept();
}

void TFErase::deleteRun()
{
    const BulkDeletion bulk(m_target, m_dialogs);
    // Only rows that exist: on an empty table the run 1..1 deletes nothing.
    const int count = std::min(m_to, m_target.recordCount()) - m_from + 1;
    if (count <= 0)
        return;
    m_target.first();
    for (int i = 1; i < m_from; ++i)
        m_target.next();
    for (int i = 0; i < count; ++i)
        m_target.remove();
}

} // namespace kelvora
