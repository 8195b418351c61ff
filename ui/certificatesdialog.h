#pragma once

#include "core/datetime.h"
#include "tables/certificateentry.h"

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace kelvora {

class Dialogs;

// "Certificates": the register of issued certificates, newest first, as kelvora-cli
// certificates lists it. Open shows the selected certificate in the system's PDF viewer, from
// a copy in the folder `copies`; Export... writes it where the user chooses. Both read the
// document from the database file at `dbPath` and check it against its SHA-256 first; an
// entry without document can be neither.
class TFCertificates : public QDialog
{
    Q_OBJECT

public:
    TFCertificates(const std::vector<CertificateEntry> &entries, std::string dbPath,
                   Dialogs &dialogs, const TextLocale &locale, QString copies,
                   QString exportFolder, QWidget *parent = nullptr);

    QTableWidget *lvCertificates;
    QLabel *lblDocument;
    QPushButton *btnOpen;
    QPushButton *btnExport;
    QPushButton *btnClose;

    void btnOpenClick();
    void btnExportClick();

private:
    // The entry of the selected row; nullptr when none is selected.
    const CertificateEntry *selected() const;
    void showSelection();
    // The selected certificate's registered document, or empty when it cannot be read (the
    // reason has been shown).
    std::string selectedDocument();

    std::vector<const CertificateEntry *> m_entries; // in the order of the rows
    std::string m_dbPath;
    Dialogs &m_dialogs;
    QString m_copies;
    QString m_exportFolder;
};

} // namespace kelvora
