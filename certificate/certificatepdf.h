#pragma once

#include "certificatecontent/certificate.h"
#include "certificatecontent/certificatetext.h"

#include <QPageLayout>

#include <string>

class QPagedPaintDevice;

namespace kelvora {

// The pages of a certificate: the document's paper size, portrait, without margins of the
// device's own (the certificate keeps its margins itself).
QPageLayout certificatePageLayout(PageSize size);

// Paints the certificate on a paged device laid out with certificatePageLayout (a PDF writer
// or a printer): its header, its sections in order, a table's header again on every page the
// table continues on, and on every page the running title and "Page n of m". Text and charts
// are painted as text and lines, never as pictures. Error when the device cannot be painted
// on.
void paintCertificate(QPagedPaintDevice &device, const CertificateDocument &document);

// The certificate as the bytes of a PDF/A-1b file, its fonts embedded. The logo's picture
// is embedded no finer than a printer shows it in its box (printedLogo), so that a document
// stays small whatever the size of the logo's file.
std::string renderCertificatePdf(const CertificateDocument &document);

// The SHA-256 of the bytes as 64 lowercase hex digits.
std::string sha256Hex(const std::string &bytes);

// How the window and the command-line tool issue certificates: as PDF files, registered under
// their SHA-256.
const CertificateRendering &pdfRendering();

// The document of a registered certificate as the database file at `dbPath` holds it, checked
// against the SHA-256 that the register gives for it. Error when the register has no document
// of it (an entry made from an older file), DatabaseError when the file has lost it or holds
// other bytes (damage).
std::string registeredDocument(const std::string &dbPath, const CertificateEntry &entry);

} // namespace kelvora
