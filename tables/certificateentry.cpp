#include "tables/certificateentry.h"

namespace kelvora {

std::string CertificateStateText(const CertificateEntry &entry)
{
    if (entry.state == CertificateState::Withdrawn)
        return "withdrawn";
    return entry.hasDocument() ? "issued" : "issued, without document";
}

} // namespace kelvora
