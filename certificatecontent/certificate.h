#pragma once

#include "certificatecontent/certificatedata.h"
#include "certificatecontent/certificateissue.h"
#include "certificatecontent/certificatetext.h"
#include "core/datetime.h"
#include "tables/recordstore.h"

#include <functional>

namespace kelvora {

// Issues a certificate of the current record, the same way for the window and the
// command-line tool: refuses a record that cannot be certified (Error with the refusal), plans
// the number and date (a new number when `newNumber` or the record has none), collects the
// document and hands it to `output` (which writes or prints it), and only when that succeeds
// stores the number and date in the record and advances the laboratory's counter. A failure
// of `output` propagates and leaves the record and the counter as they were.
CertificateIssue IssueCertificate(RecordStore &records, const CertificateChoices &choices,
                                  bool newNumber, DateTime now,
                                  const std::function<void(const CertificateDocument &)> &output);

} // namespace kelvora
