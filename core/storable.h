#pragma once

#include <string>

namespace kelvora {

// Why a double field cannot hold a value as it is, in the words every reader of input uses:
// "<what> is too small to be stored: <value> (the smallest is 2.2250738585072E-308)" for a
// value other than 0 below the smallest normal double in magnitude, which would become 0 or
// lose its precision; "<what> is too large to be stored: <value> (the largest is
// 1.79769313486232E308)" for one that rounds beyond the largest double; empty when the double
// holds it (0 included). Numbers are written with `decimalSeparator`.
std::string unstorableText(const std::string &what, long double value, char decimalSeparator);

} // namespace kelvora
