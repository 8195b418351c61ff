#pragma once

#include "core/datetime.h"
#include "tables/schema.h"

#include <string>

namespace kelvora {

// -1, 0 or 1; an empty value sorts before every other, texts compare byte by byte.
int compareValues(const Value &a, const Value &b);
// "yyyy-mm-dd" with an optional " hh:mm:ss", as formatIsoDateTime writes it.
bool parseIsoDateTime(const std::string &text, DateTime &result);

} // namespace kelvora
