#pragma once

#include <vector>

namespace kelvora {

// A round step (1, 2 or 5 times a power of ten) that cuts `span` into about five parts: the
// distance between the labelled ticks of a chart's axis.
double RoundStep(double span);

// The multiples of `step` within low..high (a rounding's width beyond either end still
// counts), zero exactly where it falls.
std::vector<double> RoundTicks(double low, double high, double step);

} // namespace kelvora
