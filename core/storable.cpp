#include "core/storable.h"

#include "core/fpe.h"
#include "core/numfmt.h"

#include <cmath>
#include <limits>

namespace kelvora {

std::string unstorableText(const std::string &what, long double value, char decimalSeparator)
{
    const long double magnitude = std::fabs(value);
    const auto refusal = [&](const char *size, const char *bound, double boundValue) {
        return what + " is too " + size + " to be stored: "
               + formatGeneral(value, 15, decimalSeparator) + " (the " + bound + " is "
               + formatGeneral(boundValue, 15, decimalSeparator) + ")";
    };
    if (value != 0.0L && magnitude < std::numeric_limits<double>::min())
        return refusal("small", "smallest", std::numeric_limits<double>::min());
    if (magnitude >= DoubleOverflowBound)
        return refusal("large", "largest", std::numeric_limits<double>::max());
    return {};
}

} // namespace kelvora
