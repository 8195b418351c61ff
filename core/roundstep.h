#pragma once

namespace kelvora {

// A round step (1, 2 or 5 times a power of ten) that cuts `span` into about five parts: the
// distance between the labelled ticks of a chart's axis.
double RoundStep(double span);

} // namespace kelvora
