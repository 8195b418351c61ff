#include "core/roundstep.h"

#include <cmath>

namespace kelvora {

double RoundStep(double span)
{
    const double raw = span / 5;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / magnitude;
    const double nice = fraction < 1.5 ? 1 : fraction < 3 ? 2 : fraction < 7 ? 5 : 10;
    return nice * magnitude;
}

} // namespace kelvora
