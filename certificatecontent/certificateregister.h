#pragma once

#include "certificatecontent/certificatedata.h"
#include "certificatecontent/certificatetext.h"
#include "tables/recordstore.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kelvora {

// The register of issued certificates as issuing, listing and the record's display read it.

// A digest of bytes: their SHA-256 as 64 lowercase hex digits. The painter's library computes
// it; the certificate's content only passes it on.
using Digest = std::function<std::string(const std::string &bytes)>;

// The entry that stands for the record's certificate now: the newest of its entries that is
// issued and that no other replaces. None when the record has none, or when all are withdrawn
// or replaced.
const CertificateEntry *CurrentCertificateOf(const std::vector<CertificateEntry> &entries,
                                             std::int64_t recordKey);
// The number of the entry that replaces this one (one of the same record naming its number),
// or empty.
std::string ReplacedByOf(const std::vector<CertificateEntry> &entries,
                         const CertificateEntry &entry);
// The entries that carry that number: one, or none; more only for a number that an older
// file gave to several records.
std::vector<const CertificateEntry *> CertificatesNumbered(
    const std::vector<CertificateEntry> &entries, const std::string &number);

// The register newest first: in the order of issue, the last one first.
std::vector<const CertificateEntry *> NewestFirst(const std::vector<CertificateEntry> &entries);

// The fit as an entry names it, and the choices an entry was issued with (for an entry that
// did not keep them, the defaults).
const char *FitName(FitMethod method);
CertificateChoices ChoicesOf(const CertificateEntry &entry);

// Everything the document states but its number, its date and what it replaces, as bytes: the
// laboratory's details, the item and its owner, the method, the results, the calibration
// table, the measurements with their uncertainties, the remarks and the signatories.
std::string CertificateStatement(const CertificateDocument &document);
// The fingerprint of a certificate: the digest of its statement.
std::string CertificateFingerprint(const CertificateDocument &document, const Digest &digest);

// The fingerprint of a certificate of the current record issued now with these choices, or
// empty when the record cannot be certified so.
std::string FingerprintNow(RecordStore &records, const CertificateChoices &choices,
                           const Digest &digest);

// Whether a certificate of the current record issued now with the entry's choices would state
// anything else than the entry's: its parameters, points, uncertainties, measurements, the
// laboratory's or the item's details changed since. True also when the record can no longer
// be certified; false when the entry does not know its fingerprint (made from an older file).
bool ChangedSinceIssued(RecordStore &records, const CertificateEntry &entry,
                        const Digest &digest);

// The current record's certificate (CurrentCertificateOf) when a certificate issued now with
// these choices would state all that it states, and so would not be issued; nullptr otherwise.
const CertificateEntry *UnchangedCertificate(RecordStore &records,
                                             const CertificateChoices &choices,
                                             const Digest &digest);

} // namespace kelvora
