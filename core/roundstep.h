#pragma once

#include <optional>
#include <vector>

namespace kelvora {

// The most ticks an axis gets: far more than any chart has room to label.
inline constexpr int MaxRoundTicks = 100;

// A round step (1, 2 or 5 times a power of ten) that cuts `span` into about five parts: the
// distance between the labelled ticks of a chart's axis. 0, no step, for a span that is not a
// finite number above zero, or whose fifth is below the smallest normal double.
double RoundStep(double span);

// The multiples of `step` within low..high (a rounding's width beyond either end still
// counts), zero exactly where it falls. None when an end or the step is not finite, the step
// is not above zero, high is below low, or there would be more than MaxRoundTicks.
std::vector<double> RoundTicks(double low, double high, double step);

// An axis of a chart: from low to high, its labelled ticks every `step`.
struct RoundAxis
{
    double low = 0;
    double high = 1;
    double step = 1;
};

enum class AxisEnds {
    RoundSteps, // both ends on multiples of the step
    // On multiples of the step too, but values of one sign get no step of the other sign:
    // such an end stays at the margin.
    WithinSign,
};

// The axis over values from low to high: a `margin` (a part of their span) beyond both, then
// out to round steps. Equal ends get an axis around them: a tenth of their value either side,
// or 1 around zero. None when an end is not finite, high is below low, the span has no
// RoundStep, or the axis would be longer than the largest double.
std::optional<RoundAxis> RoundAxisOver(double low, double high, double margin, AxisEnds ends);

} // namespace kelvora
