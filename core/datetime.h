#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kelvora {

// A local wall-clock time with millisecond resolution, counted from 1970-01-01 00:00:00.000
// of the local calendar (no time zone is attached).
struct DateTime
{
    std::int64_t msecs = 0;

    friend bool operator==(DateTime a, DateTime b) { return a.msecs == b.msecs; }
    friend bool operator!=(DateTime a, DateTime b) { return a.msecs != b.msecs; }
    friend bool operator<(DateTime a, DateTime b) { return a.msecs < b.msecs; }
    friend bool operator>(DateTime a, DateTime b) { return a.msecs > b.msecs; }
    friend bool operator<=(DateTime a, DateTime b) { return a.msecs <= b.msecs; }
    friend bool operator>=(DateTime a, DateTime b) { return a.msecs >= b.msecs; }
};

struct CivilTime
{
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
};

CivilTime toCivil(DateTime t);
DateTime fromCivil(const CivilTime &c);
// The current local date and time.
DateTime currentDateTime();

// Turns a date and time into the text the user reads (short date, a blank, long time).
using DateTimeFormatter = std::function<std::string(DateTime)>;

// "yyyy-mm-dd hh:mm:ss", the time left out at exactly midnight: the form used where no
// locale is at hand (tests, files that must not depend on the machine).
std::string formatIsoDateTime(DateTime t);

// How numbers and dates are written for the user: the locale's decimal separator and
// date-time formatter.
struct TextLocale
{
    char decimalSeparator = '.';
    DateTimeFormatter formatDateTime = formatIsoDateTime;
};

} // namespace kelvora
