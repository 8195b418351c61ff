#pragma once

#include "core/datetime.h"

#include <QLocale>
#include <QString>

namespace kelvora {

// The system's way of writing numbers and dates for the user, as the window and the
// command-line tool both show them: its decimal separator, and its short date followed by its
// long time without the time zone, the time left out at exactly midnight.
TextLocale textLocaleOf(const QLocale &locale);
TextLocale systemTextLocale();

// The separator as one character; a separator that is not a single printable ASCII character
// falls back to the full stop.
char decimalSeparatorOf(const QLocale &locale);

} // namespace kelvora
