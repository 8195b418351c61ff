#include "certificatecontent/certificate.h"

#include "core/errors.h"

namespace kelvora {

CertificateIssue IssueCertificate(RecordStore &records, const CertificateChoices &choices,
                                  bool newNumber, DateTime now,
                                  const std::function<void(const CertificateDocument &)> &output)
{
    if (const std::string refusal = CertificateRefusal(records, choices); !refusal.empty())
        throw Error(refusal);
    const CertificateIssue issue = PlanCertificateIssue(records, newNumber, now);
    output(CertificateDocumentOf(CollectCertificateData(records, issue, choices)));
    RecordCertificateIssue(records, issue);
    return issue;
}

} // namespace kelvora
