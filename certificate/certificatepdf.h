#pragma once

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

// Why these bytes cannot be the laboratory's logo (not a picture this program reads, or a
// file larger than 2 MB, which every certificate would carry), or empty.
std::string logoRefusal(const std::string &bytes);

// Writes the certificate as a PDF/A-1b file, its fonts embedded, replacing the file at `path`
// only once it is complete. A file that cannot be written raises Error
// "Cannot create file <path>. <reason>".
void writeCertificatePdf(const std::string &path, const CertificateDocument &document);

} // namespace kelvora
