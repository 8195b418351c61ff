#pragma once

#include "certificatecontent/certificatetext.h"
#include "records/regularfile.h"

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

// Writes the rendered certificate as the file at `path` with writeOutputFile: a path that
// writeOutputFile refuses is refused before the certificate is rendered. A file that cannot
// be written raises Error "Cannot create file <path>. <reason>".
void writeCertificatePdf(const std::string &path, const CertificateDocument &document,
                         ExistingFile existing);

} // namespace kelvora
