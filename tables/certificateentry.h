#pragma once

#include "core/datetime.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kelvora {

// One certificate of the register of issued certificates, which the store keeps beside the
// records. An entry is made when a certificate is issued and never changes after that, but
// for its withdrawal; it stays when its record is deleted. Its document (the bytes of the PDF
// file issued) stays in the database file: the store holds it only from issuing until the
// save that registers it.

enum class CertificateState { Issued, Withdrawn };

struct CertificateEntry
{
    std::int64_t pos = 0;   // its place in the register, in the order of issue, from 1
    std::string number;
    std::int64_t recordKey = 0; // the storage key of the record certified
    std::string recordName;
    DateTime issued;
    // The choices it was issued with: the fit whose parameters it states ("LM" or "PSO"),
    // whether the user chose that fit, and the step of its calibration table (K). Empty and 0
    // for an entry made from an older file, which did not keep them.
    std::string fit;
    bool fitChosen = false;
    std::int64_t step = 0;
    std::string customer;
    // The SHA-256 of the document, 64 hex digits; empty for an entry made from an older file,
    // which registered the number and date alone: an entry without document.
    std::string sha256;
    // A digest of everything the certificate states but its number, its date and what it
    // replaces: the same digest for the record as it is now says whether anything changed
    // since. Empty when not known (an entry made from an older file).
    std::string fingerprint;
    std::string replaces; // the number of the certificate it replaces, or empty
    CertificateState state = CertificateState::Issued;
    std::string withdrawalReason;
    std::optional<DateTime> withdrawn;
    // The document of an entry not saved yet; none once the database file holds it.
    std::optional<std::string> document;

    bool hasDocument() const { return !sha256.empty(); }
};

// The entry's state as the register lists it: "issued", "issued, without document",
// "withdrawn".
std::string CertificateStateText(const CertificateEntry &entry);

// The names of the fits that an entry records.
inline constexpr const char *LevenbergMarquardtFit = "LM";
inline constexpr const char *ParticleSwarmFit = "PSO";

} // namespace kelvora
