#include "records/laboratory.h"

#include <charconv>

namespace kelvora {

namespace {

// The names of the settings.
constexpr const char *NameKey = "laboratory.name";
constexpr const char *AddressKey = "laboratory.address";
constexpr const char *LogoKey = "laboratory.logo";
constexpr const char *CalibratedByKey = "laboratory.calibratedBy";
constexpr const char *ApprovedByKey = "laboratory.approvedBy";
constexpr const char *PageSizeKey = "laboratory.pageSize";
constexpr const char *PatternKey = "certificate.numberPattern";
constexpr const char *NextNumberKey = "certificate.nextNumber";
constexpr const char *CounterYearKey = "certificate.counterYear";

void readText(const Settings &settings, const char *key, std::string &text)
{
    if (const auto it = settings.find(key); it != settings.end())
        text = it->second;
}

void readNumber(const Settings &settings, const char *key, int low, int high, int &number)
{
    const auto it = settings.find(key);
    if (it == settings.end())
        return;
    const std::string &text = it->second;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc() && end == text.data() + text.size() && value >= low
        && value <= high)
        number = value;
}

} // namespace

LaboratorySettings LaboratorySettingsOf(const Settings &settings)
{
    LaboratorySettings laboratory;
    readText(settings, NameKey, laboratory.name);
    readText(settings, AddressKey, laboratory.address);
    readText(settings, LogoKey, laboratory.logo);
    readText(settings, CalibratedByKey, laboratory.calibratedBy);
    readText(settings, ApprovedByKey, laboratory.approvedBy);
    if (const auto it = settings.find(PageSizeKey); it != settings.end())
        laboratory.pageSize = it->second == "Letter" ? PageSize::Letter : PageSize::A4;
    readText(settings, PatternKey, laboratory.numberPattern);
    readNumber(settings, NextNumberKey, 1, MaxCertificateCounter + 1, laboratory.nextNumber);
    readNumber(settings, CounterYearKey, 0, 9999, laboratory.counterYear);
    return laboratory;
}

Settings WithLaboratorySettings(Settings settings, const LaboratorySettings &laboratory)
{
    settings[NameKey] = laboratory.name;
    settings[AddressKey] = laboratory.address;
    settings[LogoKey] = laboratory.logo;
    settings[CalibratedByKey] = laboratory.calibratedBy;
    settings[ApprovedByKey] = laboratory.approvedBy;
    settings[PageSizeKey] = laboratory.pageSize == PageSize::Letter ? "Letter" : "A4";
    settings[PatternKey] = laboratory.numberPattern;
    settings[NextNumberKey] = std::to_string(laboratory.nextNumber);
    settings[CounterYearKey] = std::to_string(laboratory.counterYear);
    return settings;
}

} // namespace kelvora
