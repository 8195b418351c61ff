#pragma once

#include "certificatecontent/certificatedata.h"
#include "certificatecontent/certificateissue.h"
#include "certificatecontent/certificateregister.h"
#include "certificatecontent/certificatetext.h"
#include "core/datetime.h"
#include "core/errors.h"
#include "tables/recordstore.h"

#include <functional>
#include <string>

namespace kelvora {

// What issuing needs of the front end besides the store: the document as the bytes of its
// file, and their digest.
struct CertificateRendering
{
    std::function<std::string(const CertificateDocument &)> render;
    Digest digest;
};

// The record's current certificate already states everything a new one would: it is not
// issued again under a new number.
class CertificateUnchangedError : public Error
{
public:
    explicit CertificateUnchangedError(const CertificateEntry &current);
    const std::string &number() const { return m_number; }

private:
    std::string m_number;
};

// A certificate as issued: its entry in the register, the bytes registered, and the document
// they were rendered from (for a printer).
struct IssuedCertificate
{
    CertificateEntry entry;
    std::string bytes;
    CertificateDocument document;
};

// Issues a certificate of the current record, the same way for the window and the
// command-line tool, and registers it before any file of it exists:
//  1. refuses a record that cannot be certified (Error with the refusal), and one whose
//     current certificate states all that a new one would (CertificateUnchangedError);
//  2. plans the next number, collects the document (naming the record's current certificate
//     as the one it replaces, if any) and renders it;
//  3. adds the entry with the document to the register, stores the number and date in the
//     record, advances the laboratory's counter, and calls `save`, which writes all that into
//     the database file in one transaction.
// When `save` fails, its error propagates and the store is as it was before: no number is
// used, and the next issue plans the same one. Only what this returns may be written to a
// file or printed.
IssuedCertificate IssueCertificate(RecordStore &records, const CertificateChoices &choices,
                                   DateTime now, const CertificateRendering &rendering,
                                   const std::function<void()> &save);

} // namespace kelvora
