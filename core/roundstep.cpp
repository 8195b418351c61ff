#include "core/roundstep.h"

#include <cmath>
#include <limits>

namespace kelvora {

double RoundStep(double span)
{
    const double raw = span / 5;
    // Also false for NaN.
    if (!(raw >= std::numeric_limits<double>::min()) || !std::isfinite(raw))
        return 0;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / magnitude;
    const double nice = fraction < 1.5 ? 1 : fraction < 3 ? 2 : fraction < 7 ? 5 : 10;
    return nice * magnitude;
}

std::vector<double> RoundTicks(double low, double high, double step)
{
    if (!std::isfinite(low) || !std::isfinite(high) || high < low || !std::isfinite(step)
        || !(step > 0))
        return {};
    std::vector<double> values;
    // Counted in steps, so that no tick overflows on the way to the last.
    const double first = std::ceil(low / step - 1e-9);
    for (int i = 0;; ++i) {
        double value = (first + i) * step;
        if (value > high + step * 1e-9)
            break;
        // A step too fine for the range, or lost in the size of its values.
        if (values.size() == static_cast<std::size_t>(MaxRoundTicks))
            return {};
        if (std::abs(value) < step * 1e-9)
            value = 0;
        values.push_back(value);
    }
    return values;
}

std::optional<RoundAxis> RoundAxisOver(double low, double high, double margin, AxisEnds ends)
{
    if (!std::isfinite(low) || !std::isfinite(high) || high < low)
        return std::nullopt;
    if (!(high > low)) {
        const double pad = low == 0 ? 1 : std::abs(low) * 0.1;
        low -= pad;
        high += pad;
    }
    const double room = (high - low) * margin;
    const double paddedLow = low - room;
    const double paddedHigh = high + room;
    RoundAxis axis;
    axis.step = RoundStep(paddedHigh - paddedLow);
    if (axis.step == 0)
        return std::nullopt;
    axis.low = std::floor(paddedLow / axis.step) * axis.step;
    axis.high = std::ceil(paddedHigh / axis.step) * axis.step;
    if (ends == AxisEnds::WithinSign) {
        if (low >= 0 && axis.low < 0)
            axis.low = paddedLow;
        if (high <= 0 && axis.high > 0)
            axis.high = paddedHigh;
    }
    if (!std::isfinite(axis.high - axis.low))
        return std::nullopt;
    return axis;
}

} // namespace kelvora
