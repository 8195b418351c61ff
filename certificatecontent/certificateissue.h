#pragma once

#include "core/datetime.h"
#include "records/laboratory.h"
#include "tables/recordstore.h"

#include <string>

namespace kelvora {

// What a certificate writes into the current record: the calibrated item's details, and the
// number and date of its latest certificate.

// The calibrated item and its owner, as the record holds them.
struct ItemDetails
{
    std::string customer;
    std::string make;
    std::string model;
    std::string serial;

    friend bool operator==(const ItemDetails &, const ItemDetails &) = default;
};

ItemDetails ItemDetailsOf(const RecordStore &records);
// Writes the details into the current record and posts it, when they differ from what it
// holds; a text longer than its field is cut to it, as in every text field.
void SetItemDetails(RecordStore &records, const ItemDetails &item);

// The counter that the next new number on that date starts from: the laboratory's next
// number, or 1 in a year after the counter's when the pattern writes the year.
int NextCertificateCounter(const LaboratorySettings &laboratory, DateTime now);

// The number and date a certificate is issued with, before they are recorded.
struct CertificateIssue
{
    std::string number;
    DateTime issued;
    // The laboratory's details, the counter advanced past the number.
    LaboratorySettings laboratory;
};

// Every certificate gets a number of its own: the next number of the laboratory's pattern and
// counter, issued `now`. The counter starts again at 1 with the first number of a new year
// when the pattern writes the year, and skips a number that the register or a record already
// holds, so that no number is ever given twice. A pattern that cannot make numbers raises
// Error with its refusal; so does a counter that has run out.
CertificateIssue PlanCertificateIssue(const RecordStore &records, DateTime now);

// Stores the number and date in the current record (posting it) and the advanced counter in
// the store's settings.
void RecordCertificateIssue(RecordStore &records, const CertificateIssue &issue);

} // namespace kelvora
