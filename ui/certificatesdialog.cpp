#include "ui/certificatesdialog.h"

#include "certificate/certificatepdf.h"
#include "certificatecontent/certificateregister.h"
#include "records/regularfile.h"
#include "textio/report.h"
#include "ui/dialogs.h"
#include "ui/errorsink.h"
#include "ui/sizing.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kelvora {

namespace {

QString qtext(const std::string &text)
{
    return QString::fromStdString(text);
}

// The columns, as kelvora-cli certificates shows them.
const QStringList Columns{QStringLiteral("Number"),   QStringLiteral("Issued"),
                          QStringLiteral("Record"),   QStringLiteral("Customer"),
                          QStringLiteral("State"),    QStringLiteral("Replaces"),
                          QStringLiteral("Replaced by")};

} // namespace

TFCertificates::TFCertificates(const std::vector<CertificateEntry> &entries,
                               std::string dbPath, Dialogs &dialogs, const TextLocale &locale,
                               QString copies, QString exportFolder, QWidget *parent)
    : QDialog(parent), m_entries(NewestFirst(entries)), m_dbPath(std::move(dbPath)),
      m_dialogs(dialogs), m_copies(std::move(copies)), m_exportFolder(std::move(exportFolder))
{
    setObjectName(QStringLiteral("FCertificates"));
    setWindowTitle(QStringLiteral("Certificates"));

    lvCertificates = new QTableWidget(static_cast<int>(m_entries.size()),
                                      static_cast<int>(Columns.size()), this);
    lvCertificates->setObjectName(QStringLiteral("lvCertificates"));
    lvCertificates->setHorizontalHeaderLabels(Columns);
    lvCertificates->verticalHeader()->hide();
    lvCertificates->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvCertificates->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvCertificates->setSelectionMode(QAbstractItemView::SingleSelection);
    lvCertificates->setTabKeyNavigation(false);
    for (int row = 0; row < static_cast<int>(m_entries.size()); ++row) {
        const CertificateEntry &entry = *m_entries[static_cast<std::size_t>(row)];
        std::string state = CertificateStateText(entry);
        if (entry.withdrawn)
            state += " " + locale.formatDateTime(*entry.withdrawn) + ": "
                     + entry.withdrawalReason;
        const std::string cells[] = {entry.number,
                                     locale.formatDateTime(entry.issued),
                                     entry.recordName,
                                     entry.customer,
                                     state,
                                     entry.replaces,
                                     ReplacedByOf(entries, entry)};
        for (int column = 0; column < static_cast<int>(std::size(cells)); ++column)
            lvCertificates->setItem(
                row, column,
                new QTableWidgetItem(qtext(cells[static_cast<std::size_t>(column)])));
    }
    lvCertificates->resizeColumnsToContents();
    lvCertificates->horizontalHeader()->setStretchLastSection(true);

    lblDocument = new QLabel(this);
    lblDocument->setObjectName(QStringLiteral("lblDocument"));
    lblDocument->setWordWrap(true);

    btnOpen = new QPushButton(QStringLiteral("&Open"), this);
    btnOpen->setObjectName(QStringLiteral("btnOpen"));
    btnOpen->setToolTip(QStringLiteral("Show the certificate in the system's PDF viewer"));
    btnOpen->setDefault(true);
    btnExport = new QPushButton(QStringLiteral("&Export..."), this);
    btnExport->setObjectName(QStringLiteral("btnExport"));
    btnExport->setToolTip(QStringLiteral("Save the certificate as it was issued"));
    btnClose = new QPushButton(QStringLiteral("C&lose"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(lblDocument, 1);
    for (QPushButton *button : {btnOpen, btnExport, btnClose}) {
        fitButton(*button, QSize(100, button->sizeHint().height()));
        buttons->addWidget(button);
    }

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lvCertificates, 1);
    layout->addLayout(buttons);

    connect(lvCertificates, &QTableWidget::itemSelectionChanged, this,
            &TFCertificates::showSelection);
    connect(btnOpen, &QPushButton::clicked, this,
            [this] { guarded(m_dialogs, [this] { btnOpenClick(); }); });
    connect(btnExport, &QPushButton::clicked, this,
            [this] { guarded(m_dialogs, [this] { btnExportClick(); }); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    if (!m_entries.empty())
        lvCertificates->selectRow(0);
    showSelection();
    const int tableWidth = lvCertificates->horizontalHeader()->length()
                           + lvCertificates->frameWidth() * 2;
    resize(std::max(tableWidth + 40, 640), 420);
}

const CertificateEntry *TFCertificates::selected() const
{
    const QList<QTableWidgetSelectionRange> ranges = lvCertificates->selectedRanges();
    if (ranges.isEmpty())
        return nullptr;
    return m_entries[static_cast<std::size_t>(ranges.front().topRow())];
}

void TFCertificates::showSelection()
{
    const CertificateEntry *entry = selected();
    const bool document = entry != nullptr && entry->hasDocument();
    btnOpen->setEnabled(document);
    btnExport->setEnabled(document);
    if (m_entries.empty())
        lblDocument->setText(QStringLiteral("No certificate has been issued."));
    else if (entry != nullptr && !document)
        lblDocument->setText(QStringLiteral("Issued before the register kept documents: the"
                                            " database holds its number and date alone."));
    else
        lblDocument->clear();
}

std::string TFCertificates::selectedDocument()
{
    const CertificateEntry *entry = selected();
    if (entry == nullptr)
        return {};
    return registeredDocument(m_dbPath, *entry);
}

void TFCertificates::btnOpenClick()
{
    const std::string bytes = selectedDocument();
    if (bytes.empty())
        return;
    QDir().mkpath(m_copies);
    const QString path = QDir(m_copies).filePath(
        qtext(SafeFileName(selected()->number)) + QStringLiteral(".pdf"));
    writeOutputFile(path.toStdString(), bytes, ExistingFile::Replace);
    if (!m_dialogs.showDocument(path))
        m_dialogs.message(QStringLiteral("No program to show ") + path
                          + QStringLiteral(" could be started."));
}

void TFCertificates::btnExportClick()
{
    const std::string bytes = selectedDocument();
    if (bytes.empty())
        return;
    const QString path = m_dialogs.saveDocument(QStringLiteral("Export Certificate as PDF"),
                                                m_exportFolder,
                                                qtext(SafeFileName(selected()->number)));
    if (path.trimmed().isEmpty())
        return;
    // The save dialog asked before it named a file that is there.
    writeOutputFile(path.toStdString(), bytes, ExistingFile::Replace);
}

} // namespace kelvora
