#pragma once

#include "core/datetime.h"

#include <QLocale>
#include <QString>

namespace kelvora {

// The system's way of writing numbers and dates for the user: its decimal separator and its
// short date followed by its long time, the time left out at exactly midnight.
TextLocale textLocaleOf(const QLocale &locale);
TextLocale systemTextLocale();

// The separator as one character; a separator that is not a single 8-bit character falls
// back to the full stop.
char decimalSeparatorOf(const QLocale &locale);
QString formatDateTimeText(const QLocale &locale, DateTime t);

} // namespace kelvora
