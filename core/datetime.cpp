#include "core/datetime.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace kelvora {

namespace {

constexpr std::int64_t MsecsPerDay = 86400000;

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
std::int64_t daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * static_cast<unsigned>(m + (m > 2 ? -3 : 9)) + 2) / 5
                         + static_cast<unsigned>(d) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int &y, int &m, int &d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

} // namespace

CivilTime toCivil(DateTime t)
{
    std::int64_t days = t.msecs / MsecsPerDay;
    std::int64_t rest = t.msecs % MsecsPerDay;
    if (rest < 0) {
        rest += MsecsPerDay;
        --days;
    }
    CivilTime c;
    civilFromDays(days, c.year, c.month, c.day);
    c.hour = static_cast<int>(rest / 3600000);
    c.minute = static_cast<int>(rest / 60000 % 60);
    c.second = static_cast<int>(rest / 1000 % 60);
    c.msec = static_cast<int>(rest % 1000);
    return c;
}

DateTime fromCivil(const CivilTime &c)
{
    return DateTime{daysFromCivil(c.year, c.month, c.day) * MsecsPerDay
                    + c.hour * 3600000LL + c.minute * 60000LL + c.second * 1000LL + c.msec};
}

DateTime currentDateTime()
{
    const auto now = std::chrono::system_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        now.time_since_epoch()).count();
    const std::time_t secs = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&secs, &local);
    return fromCivil(CivilTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                               local.tm_hour, local.tm_min, local.tm_sec,
                               static_cast<int>(ms % 1000)});
}

std::string formatIsoDateTime(DateTime t)
{
    const CivilTime c = toCivil(t);
    char buf[40];
    if (c.hour == 0 && c.minute == 0 && c.second == 0 && c.msec == 0)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", c.year, c.month, c.day);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day,
                      c.hour, c.minute, c.second);
    return buf;
}

} // namespace kelvora
