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

std::vector<double> RoundTicks(double low, double high, double step)
{
    std::vector<double> values;
    const double first = std::ceil(low / step - 1e-9) * step;
    for (int i = 0;; ++i) {
        double value = first + i * step;
        if (value > high + step * 1e-9)
            break;
        if (std::abs(value) < step * 1e-9)
            value = 0;
        values.push_back(value);
    }
    return values;
}

} // namespace kelvora
