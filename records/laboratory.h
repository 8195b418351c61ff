#pragma once

#include "tables/store.h"

#include <string>

namespace kelvora {

enum class PageSize { A4, Letter };

// The laboratory's details that every certificate carries. They are settings of the store, so
// that they are kept in the database file with the records.
struct LaboratorySettings
{
    std::string name;
    std::string address;     // lines separated by "\n"
    std::string logo;        // the bytes of an image file; empty: no logo
    std::string calibratedBy;
    std::string approvedBy;
    PageSize pageSize = PageSize::A4;
    // The pattern of a new certificate number, and the counter it takes its number from.
    std::string numberPattern = "KV-{yyyy}-{nnnn}";
    int nextNumber = 1;
    // The year in which the counter last gave a number; 0 before the first.
    int counterYear = 0;

    friend bool operator==(const LaboratorySettings &, const LaboratorySettings &) = default;
};

// The laboratory's details held in the settings; a detail that is missing, or a number that
// does not read as one, has its default.
LaboratorySettings LaboratorySettingsOf(const Settings &settings);
// The settings with the laboratory's details written into them; other settings stay.
Settings WithLaboratorySettings(Settings settings, const LaboratorySettings &laboratory);

// The most characters of the laboratory's texts: its name and each signatory's name, and its
// address with its line breaks. Every certificate states them in full.
inline constexpr int MaxLaboratoryNameLength = 200;
inline constexpr int MaxAddressLength = 500;

// The largest counter a certificate number takes; the next number is one more once it has
// been given.
inline constexpr int MaxCertificateCounter = 99999999;

} // namespace kelvora
