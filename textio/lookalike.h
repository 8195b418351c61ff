#pragma once

#include <string>
#include <string_view>

namespace kelvora {

// Text of an input file that a reader looks at twice: what a person takes for a number though
// the reader does not, and how to show it to that person.

// True when the run begins as a number does, once characters that show nothing (a no-break or
// other special space, a zero-width space, a direction mark, a byte-order mark) are passed by:
// a digit (also a full-width one), a sign or a decimal point or comma followed by one, or the
// words NaN and Inf in any letter case, each after an optional sign.
bool looksLikeNumber(std::string_view run);

// The UTF-8 text with every character that shows nothing written as <U+XXXX>, so that a
// message shows what keeps it from being read; cut after `most` characters with "...".
std::string visibleText(std::string_view text, std::size_t most);

} // namespace kelvora
