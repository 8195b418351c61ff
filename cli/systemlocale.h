#pragma once

#include "core/datetime.h"

namespace kelvora::cli {

// The system's decimal separator and date-time texts (short date, a blank, long time
// without a time zone; the time left out at midnight), as the program shows them.
TextLocale systemTextLocale();

} // namespace kelvora::cli
