#pragma once

#include "tables/table.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kelvora {

// Typed views of the current row of each table: every field by its own accessor, so that a
// field is found where it is declared and a misspelt one does not compile. Reading an empty
// number gives 0, an empty text "", as the table gives them; the fields whose emptiness
// means something (not given, not yet computed) read as an empty optional. The Editor of
// each view writes the pending row of a table in edit or insert state; an empty optional
// clears the field.

// The current row of cdsMain, a record.
class RecordRow
{
public:
    explicit RecordRow(const Table &cdsMain);

    std::string name() const;
    DateTime created() const;
    std::optional<DateTime> processed() const;
    double meanWL() const;
    double bandwidth() const;
    double TMin() const;
    double TMax() const;
    double SMin() const;
    double SMax() const;
    double AS() const;
    double BS() const;
    double CS() const;
    double ALM() const;
    double BLM() const;
    double CLM() const;
    double meanRMSLM() const;
    double APSO() const;
    double BPSO() const;
    double CPSO() const;
    double meanRMSPSO() const;
    std::string rem() const;
    std::string report() const;
    bool computed() const;
    std::string customer() const;
    std::string make() const;
    std::string model() const;
    std::string serial() const;
    std::string certNo() const;
    std::optional<DateTime> certIssued() const;
    std::optional<std::uint32_t> seed() const;
    std::optional<double> wS() const;
    std::optional<int> MCTrials() const;
    std::optional<std::uint32_t> MCSeed() const;

    bool isNull(RecordField field) const;
    // A field as the table writes it: a number in the 15-digit general format with the
    // locale's separator, a date as the locale's formatter gives it.
    std::string text(RecordField field, const TextLocale &locale = {}) const;

protected:
    const Table &m_table;
};

class RecordRowEditor : public RecordRow
{
public:
    explicit RecordRowEditor(Table &cdsMain);

    void setName(const std::string &value);
    void setCreated(DateTime value);
    void setProcessed(const std::optional<DateTime> &value);
    void setMeanWL(double value);
    void setBandwidth(double value);
    void setTMin(double value);
    void setTMax(double value);
    void setSMin(double value);
    void setSMax(double value);
    void setAS(double value);
    void setBS(double value);
    void setCS(double value);
    void setALM(double value);
    void setBLM(double value);
    void setCLM(double value);
    void setMeanRMSLM(double value);
    void setAPSO(double value);
    void setBPSO(double value);
    void setCPSO(double value);
    void setMeanRMSPSO(double value);
    void setRem(const std::string &value);
    void setReport(const std::string &value);
    void setComputed(bool value);
    void setCustomer(const std::string &value);
    void setMake(const std::string &value);
    void setModel(const std::string &value);
    void setSerial(const std::string &value);
    void setCertNo(const std::string &value);
    void setCertIssued(const std::optional<DateTime> &value);
    void setSeed(const std::optional<std::uint32_t> &value);
    void setWS(const std::optional<double> &value);
    void setMCTrials(const std::optional<int> &value);
    void setMCSeed(const std::optional<std::uint32_t> &value);
    void clear(RecordField field);
    // A field from text: a number with the locale's separator, a date as
    // "yyyy-mm-dd hh:mm:ss"; an empty text clears it.
    void setText(RecordField field, const std::string &text,
                 const TextLocale &locale = {});

private:
    Table &m_editable;
};

// The current row of cdsBB, a reference point.
class ReferencePointRow
{
public:
    explicit ReferencePointRow(const Table &cdsBB);

    double S() const;
    double T() const;
    double TLM() const;
    double TPSO() const;
    double dTLM() const;
    double dTPSO() const;
    double difference() const;
    std::optional<double> uT() const;

    bool isNull(ReferencePointField field) const;
    // A field as the table writes it: a number in the 15-digit general format with the
    // locale's separator, a date as the locale's formatter gives it.
    std::string text(ReferencePointField field, const TextLocale &locale = {}) const;

protected:
    const Table &m_table;
};

class ReferencePointRowEditor : public ReferencePointRow
{
public:
    explicit ReferencePointRowEditor(Table &cdsBB);

    void setS(double value);
    void setT(double value);
    void setTLM(double value);
    void setTPSO(double value);
    void setDTLM(double value);
    void setDTPSO(double value);
    void setDifference(double value);
    void setUT(const std::optional<double> &value);
    void clear(ReferencePointField field);
    // A field from text: a number with the locale's separator, a date as
    // "yyyy-mm-dd hh:mm:ss"; an empty text clears it.
    void setText(ReferencePointField field, const std::string &text,
                 const TextLocale &locale = {});

private:
    Table &m_editable;
};

// The current row of cdsInterp, a measurement.
class MeasurementRow
{
public:
    explicit MeasurementRow(const Table &cdsInterp);

    double S() const;
    double T() const;
    std::optional<double> U() const;

    bool isNull(MeasurementField field) const;
    // A field as the table writes it: a number in the 15-digit general format with the
    // locale's separator, a date as the locale's formatter gives it.
    std::string text(MeasurementField field, const TextLocale &locale = {}) const;

protected:
    const Table &m_table;
};

class MeasurementRowEditor : public MeasurementRow
{
public:
    explicit MeasurementRowEditor(Table &cdsInterp);

    void setS(double value);
    void setT(double value);
    void setU(const std::optional<double> &value);
    void clear(MeasurementField field);
    // A field from text: a number with the locale's separator, a date as
    // "yyyy-mm-dd hh:mm:ss"; an empty text clears it.
    void setText(MeasurementField field, const std::string &text,
                 const TextLocale &locale = {});

private:
    Table &m_editable;
};

} // namespace kelvora
