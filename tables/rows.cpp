#include "tables/rows.h"

#include "core/errors.h"

#include <limits>

namespace kelvora {

namespace {

const Value &valueOf(const Table &table, int field) { return table.value(field); }

double floatOf(const Table &table, int field)
{
    const Value &v = valueOf(table, field);
    if (const auto *x = std::get_if<double>(&v))
        return *x;
    return 0.0;
}

std::optional<double> optionalFloatOf(const Table &table, int field)
{
    if (const auto *x = std::get_if<double>(&valueOf(table, field)))
        return *x;
    return std::nullopt;
}

std::string textOf(const Table &table, int field)
{
    if (const auto *x = std::get_if<std::string>(&valueOf(table, field)))
        return *x;
    return {};
}

DateTime dateOf(const Table &table, int field)
{
    if (const auto *x = std::get_if<DateTime>(&valueOf(table, field)))
        return *x;
    return DateTime{};
}

std::optional<DateTime> optionalDateOf(const Table &table, int field)
{
    if (const auto *x = std::get_if<DateTime>(&valueOf(table, field)))
        return *x;
    return std::nullopt;
}

bool booleanOf(const Table &table, int field)
{
    const auto *x = std::get_if<bool>(&valueOf(table, field));
    return x && *x;
}

std::optional<std::int64_t> optionalIntegerOf(const Table &table, int field)
{
    if (const auto *x = std::get_if<std::int64_t>(&valueOf(table, field)))
        return *x;
    return std::nullopt;
}

// A stored whole number outside the range of its type is damage the reading of the file did
// not catch; it is refused rather than wrapped.
template <typename Number>
std::optional<Number> optionalWholeOf(const Table &table, int field)
{
    const std::optional<std::int64_t> value = optionalIntegerOf(table, field);
    if (!value)
        return std::nullopt;
    if (*value < std::numeric_limits<Number>::min() || *value > std::numeric_limits<Number>::max())
        throw StoreError("The value " + std::to_string(*value) + " of field '"
                         + table.schema().fields[static_cast<std::size_t>(field)].name
                         + "' is out of its range");
    return static_cast<Number>(*value);
}

std::optional<std::uint32_t> optionalUnsignedOf(const Table &table, int field)
{
    return optionalWholeOf<std::uint32_t>(table, field);
}

std::optional<int> optionalIntOf(const Table &table, int field)
{
    return optionalWholeOf<int>(table, field);
}

template <typename T>
Value valueFrom(const std::optional<T> &value)
{
    if (!value)
        return std::monostate{};
    if constexpr (std::is_integral_v<T>)
        return static_cast<std::int64_t>(*value);
    else
        return *value;
}

template <typename T>
Value valueFrom(const T &value)
{
    return value;
}

} // namespace

RecordRow::RecordRow(const Table &cdsMain) : m_table(cdsMain) {}

std::string RecordRow::name() const
{
    return textOf(m_table, fieldIndex(RecordField::Name));
}

DateTime RecordRow::created() const
{
    return dateOf(m_table, fieldIndex(RecordField::Created));
}

std::optional<DateTime> RecordRow::processed() const
{
    return optionalDateOf(m_table, fieldIndex(RecordField::Processed));
}

double RecordRow::meanWL() const
{
    return floatOf(m_table, fieldIndex(RecordField::MeanWL));
}

double RecordRow::bandwidth() const
{
    return floatOf(m_table, fieldIndex(RecordField::Bandwidth));
}

double RecordRow::TMin() const
{
    return floatOf(m_table, fieldIndex(RecordField::TMin));
}

double RecordRow::TMax() const
{
    return floatOf(m_table, fieldIndex(RecordField::TMax));
}

double RecordRow::SMin() const
{
    return floatOf(m_table, fieldIndex(RecordField::SMin));
}

double RecordRow::SMax() const
{
    return floatOf(m_table, fieldIndex(RecordField::SMax));
}

double RecordRow::AS() const
{
    return floatOf(m_table, fieldIndex(RecordField::AS));
}

double RecordRow::BS() const
{
    return floatOf(m_table, fieldIndex(RecordField::BS));
}

double RecordRow::CS() const
{
    return floatOf(m_table, fieldIndex(RecordField::CS));
}

double RecordRow::ALM() const
{
    return floatOf(m_table, fieldIndex(RecordField::ALM));
}

double RecordRow::BLM() const
{
    return floatOf(m_table, fieldIndex(RecordField::BLM));
}

double RecordRow::CLM() const
{
    return floatOf(m_table, fieldIndex(RecordField::CLM));
}

double RecordRow::meanRMSLM() const
{
    return floatOf(m_table, fieldIndex(RecordField::MeanRMSLM));
}

double RecordRow::APSO() const
{
    return floatOf(m_table, fieldIndex(RecordField::APSO));
}

double RecordRow::BPSO() const
{
    return floatOf(m_table, fieldIndex(RecordField::BPSO));
}

double RecordRow::CPSO() const
{
    return floatOf(m_table, fieldIndex(RecordField::CPSO));
}

double RecordRow::meanRMSPSO() const
{
    return floatOf(m_table, fieldIndex(RecordField::MeanRMSPSO));
}

std::string RecordRow::rem() const
{
    return textOf(m_table, fieldIndex(RecordField::Rem));
}

std::string RecordRow::report() const
{
    return textOf(m_table, fieldIndex(RecordField::Report));
}

bool RecordRow::computed() const
{
    return booleanOf(m_table, fieldIndex(RecordField::Computed));
}

std::string RecordRow::customer() const
{
    return textOf(m_table, fieldIndex(RecordField::Customer));
}

std::string RecordRow::make() const
{
    return textOf(m_table, fieldIndex(RecordField::Make));
}

std::string RecordRow::model() const
{
    return textOf(m_table, fieldIndex(RecordField::Model));
}

std::string RecordRow::serial() const
{
    return textOf(m_table, fieldIndex(RecordField::Serial));
}

std::string RecordRow::certNo() const
{
    return textOf(m_table, fieldIndex(RecordField::CertNo));
}

std::optional<DateTime> RecordRow::certIssued() const
{
    return optionalDateOf(m_table, fieldIndex(RecordField::CertIssued));
}

std::optional<std::uint32_t> RecordRow::seed() const
{
    return optionalUnsignedOf(m_table, fieldIndex(RecordField::Seed));
}

std::optional<double> RecordRow::wS() const
{
    return optionalFloatOf(m_table, fieldIndex(RecordField::wS));
}

std::optional<int> RecordRow::MCTrials() const
{
    return optionalIntOf(m_table, fieldIndex(RecordField::MCTrials));
}

std::optional<std::uint32_t> RecordRow::MCSeed() const
{
    return optionalUnsignedOf(m_table, fieldIndex(RecordField::MCSeed));
}

bool RecordRow::isNull(RecordField field) const
{
    return std::holds_alternative<std::monostate>(valueOf(m_table, fieldIndex(field)));
}

std::string RecordRow::text(RecordField field, const TextLocale &locale) const
{
    return m_table.asString(fieldIndex(field), locale);
}

RecordRowEditor::RecordRowEditor(Table &cdsMain)
    : RecordRow(cdsMain), m_editable(cdsMain)
{
}

void RecordRowEditor::setName(const std::string &value)
{
    m_editable.setValue(fieldIndex(RecordField::Name), valueFrom(value));
}

void RecordRowEditor::setCreated(DateTime value)
{
    m_editable.setValue(fieldIndex(RecordField::Created), valueFrom(value));
}

void RecordRowEditor::setProcessed(const std::optional<DateTime> &value)
{
    m_editable.setValue(fieldIndex(RecordField::Processed), valueFrom(value));
}

void RecordRowEditor::setMeanWL(double value)
{
    m_editable.setValue(fieldIndex(RecordField::MeanWL), valueFrom(value));
}

void RecordRowEditor::setBandwidth(double value)
{
    m_editable.setValue(fieldIndex(RecordField::Bandwidth), valueFrom(value));
}

void RecordRowEditor::setTMin(double value)
{
    m_editable.setValue(fieldIndex(RecordField::TMin), valueFrom(value));
}

void RecordRowEditor::setTMax(double value)
{
    m_editable.setValue(fieldIndex(RecordField::TMax), valueFrom(value));
}

void RecordRowEditor::setSMin(double value)
{
    m_editable.setValue(fieldIndex(RecordField::SMin), valueFrom(value));
}

void RecordRowEditor::setSMax(double value)
{
    m_editable.setValue(fieldIndex(RecordField::SMax), valueFrom(value));
}

void RecordRowEditor::setAS(double value)
{
    m_editable.setValue(fieldIndex(RecordField::AS), valueFrom(value));
}

void RecordRowEditor::setBS(double value)
{
    m_editable.setValue(fieldIndex(RecordField::BS), valueFrom(value));
}

void RecordRowEditor::setCS(double value)
{
    m_editable.setValue(fieldIndex(RecordField::CS), valueFrom(value));
}

void RecordRowEditor::setALM(double value)
{
    m_editable.setValue(fieldIndex(RecordField::ALM), valueFrom(value));
}

void RecordRowEditor::setBLM(double value)
{
    m_editable.setValue(fieldIndex(RecordField::BLM), valueFrom(value));
}

void RecordRowEditor::setCLM(double value)
{
    m_editable.setValue(fieldIndex(RecordField::CLM), valueFrom(value));
}

void RecordRowEditor::setMeanRMSLM(double value)
{
    m_editable.setValue(fieldIndex(RecordField::MeanRMSLM), valueFrom(value));
}

void RecordRowEditor::setAPSO(double value)
{
    m_editable.setValue(fieldIndex(RecordField::APSO), valueFrom(value));
}

void RecordRowEditor::setBPSO(double value)
{
    m_editable.setValue(fieldIndex(RecordField::BPSO), valueFrom(value));
}

void RecordRowEditor::setCPSO(double value)
{
    m_editable.setValue(fieldIndex(RecordField::CPSO), valueFrom(value));
}

void RecordRowEditor::setMeanRMSPSO(double value)
{
    m_editable.setValue(fieldIndex(RecordField::MeanRMSPSO), valueFrom(value));
}

void RecordRowEditor::setRem(const std::string &value)
{
    m_editable.setValue(fieldIndex(RecordField::Rem), valueFrom(value));
}

void RecordRowEditor::setReport(const std::string &value)
{
    m_editable.setValue(fieldIndex(RecordField::Report), valueFrom(value));
}

void RecordRowEditor::setComputed(bool value)
{
    m_editable.setValue(fieldIndex(RecordField::Computed), valueFrom(value));
}

void RecordRowEditor::setCustomer(const std::string &value)
{
    m_editable.setValue(fieldIndex(RecordField::Customer), valueFrom(value));
}

void RecordRowEditor::setMake(const std::string &value)
{
    m_editable.setValue(fieldIndex(RecordField::Make), valueFrom(value));
}

void RecordRowEditor::setModel(const std::string &value)
{
    m_editable.setValue(fieldIndex(RecordField::Model), valueFrom(value));
}

void RecordRowEditor::setSerial(const std::string &value)
{
    m_editable.setValue(fieldIndex(RecordField::Serial), valueFrom(value));
}

void RecordRowEditor::setCertNo(const std::string &value)
{
    m_editable.setValue(fieldIndex(RecordField::CertNo), valueFrom(value));
}

void RecordRowEditor::setCertIssued(const std::optional<DateTime> &value)
{
    m_editable.setValue(fieldIndex(RecordField::CertIssued), valueFrom(value));
}

void RecordRowEditor::setSeed(const std::optional<std::uint32_t> &value)
{
    m_editable.setValue(fieldIndex(RecordField::Seed), valueFrom(value));
}

void RecordRowEditor::setWS(const std::optional<double> &value)
{
    m_editable.setValue(fieldIndex(RecordField::wS), valueFrom(value));
}

void RecordRowEditor::setMCTrials(const std::optional<int> &value)
{
    m_editable.setValue(fieldIndex(RecordField::MCTrials), valueFrom(value));
}

void RecordRowEditor::setMCSeed(const std::optional<std::uint32_t> &value)
{
    m_editable.setValue(fieldIndex(RecordField::MCSeed), valueFrom(value));
}

void RecordRowEditor::setText(RecordField field, const std::string &text,
                            const TextLocale &locale)
{
    m_editable.setString(fieldIndex(field), text, locale);
}

void RecordRowEditor::clear(RecordField field)
{
    m_editable.setValue(fieldIndex(field), std::monostate{});
}

ReferencePointRow::ReferencePointRow(const Table &cdsBB) : m_table(cdsBB) {}

double ReferencePointRow::S() const
{
    return floatOf(m_table, fieldIndex(ReferencePointField::S));
}

double ReferencePointRow::T() const
{
    return floatOf(m_table, fieldIndex(ReferencePointField::T));
}

double ReferencePointRow::TLM() const
{
    return floatOf(m_table, fieldIndex(ReferencePointField::TLM));
}

double ReferencePointRow::TPSO() const
{
    return floatOf(m_table, fieldIndex(ReferencePointField::TPSO));
}

double ReferencePointRow::dTLM() const
{
    return floatOf(m_table, fieldIndex(ReferencePointField::dTLM));
}

double ReferencePointRow::dTPSO() const
{
    return floatOf(m_table, fieldIndex(ReferencePointField::dTPSO));
}

double ReferencePointRow::difference() const
{
    return floatOf(m_table, fieldIndex(ReferencePointField::Difference));
}

std::optional<double> ReferencePointRow::uT() const
{
    return optionalFloatOf(m_table, fieldIndex(ReferencePointField::uT));
}

bool ReferencePointRow::isNull(ReferencePointField field) const
{
    return std::holds_alternative<std::monostate>(valueOf(m_table, fieldIndex(field)));
}

std::string ReferencePointRow::text(ReferencePointField field, const TextLocale &locale) const
{
    return m_table.asString(fieldIndex(field), locale);
}

ReferencePointRowEditor::ReferencePointRowEditor(Table &cdsBB)
    : ReferencePointRow(cdsBB), m_editable(cdsBB)
{
}

void ReferencePointRowEditor::setS(double value)
{
    m_editable.setValue(fieldIndex(ReferencePointField::S), valueFrom(value));
}

void ReferencePointRowEditor::setT(double value)
{
    m_editable.setValue(fieldIndex(ReferencePointField::T), valueFrom(value));
}

void ReferencePointRowEditor::setTLM(double value)
{
    m_editable.setValue(fieldIndex(ReferencePointField::TLM), valueFrom(value));
}

void ReferencePointRowEditor::setTPSO(double value)
{
    m_editable.setValue(fieldIndex(ReferencePointField::TPSO), valueFrom(value));
}

void ReferencePointRowEditor::setDTLM(double value)
{
    m_editable.setValue(fieldIndex(ReferencePointField::dTLM), valueFrom(value));
}

void ReferencePointRowEditor::setDTPSO(double value)
{
    m_editable.setValue(fieldIndex(ReferencePointField::dTPSO), valueFrom(value));
}

void ReferencePointRowEditor::setDifference(double value)
{
    m_editable.setValue(fieldIndex(ReferencePointField::Difference), valueFrom(value));
}

void ReferencePointRowEditor::setUT(const std::optional<double> &value)
{
    m_editable.setValue(fieldIndex(ReferencePointField::uT), valueFrom(value));
}

void ReferencePointRowEditor::setText(ReferencePointField field, const std::string &text,
                            const TextLocale &locale)
{
    m_editable.setString(fieldIndex(field), text, locale);
}

void ReferencePointRowEditor::clear(ReferencePointField field)
{
    m_editable.setValue(fieldIndex(field), std::monostate{});
}

MeasurementRow::MeasurementRow(const Table &cdsInterp) : m_table(cdsInterp) {}

double MeasurementRow::S() const
{
    return floatOf(m_table, fieldIndex(MeasurementField::S));
}

double MeasurementRow::T() const
{
    return floatOf(m_table, fieldIndex(MeasurementField::T));
}

std::optional<double> MeasurementRow::U() const
{
    return optionalFloatOf(m_table, fieldIndex(MeasurementField::U));
}

bool MeasurementRow::isNull(MeasurementField field) const
{
    return std::holds_alternative<std::monostate>(valueOf(m_table, fieldIndex(field)));
}

std::string MeasurementRow::text(MeasurementField field, const TextLocale &locale) const
{
    return m_table.asString(fieldIndex(field), locale);
}

MeasurementRowEditor::MeasurementRowEditor(Table &cdsInterp)
    : MeasurementRow(cdsInterp), m_editable(cdsInterp)
{
}

void MeasurementRowEditor::setS(double value)
{
    m_editable.setValue(fieldIndex(MeasurementField::S), valueFrom(value));
}

void MeasurementRowEditor::setT(double value)
{
    m_editable.setValue(fieldIndex(MeasurementField::T), valueFrom(value));
}

void MeasurementRowEditor::setU(const std::optional<double> &value)
{
    m_editable.setValue(fieldIndex(MeasurementField::U), valueFrom(value));
}

void MeasurementRowEditor::setText(MeasurementField field, const std::string &text,
                            const TextLocale &locale)
{
    m_editable.setString(fieldIndex(field), text, locale);
}

void MeasurementRowEditor::clear(MeasurementField field)
{
    m_editable.setValue(fieldIndex(field), std::monostate{});
}

} // namespace kelvora
