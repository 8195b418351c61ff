#include "tables/fieldvalues.h"

#include <cstdio>
#include <type_traits>

namespace kelvora {

namespace {

template <typename T>
int threeWay(const T &a, const T &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

int compareValues(const Value &a, const Value &b)
{
    if (a.index() != b.index())
        return a.index() < b.index() ? -1 : 1;
    return std::visit(
        [&b](const auto &x) -> int {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return 0;
            else if constexpr (std::is_same_v<T, std::string>)
                return threeWay(x.compare(std::get<std::string>(b)), 0);
            else
                return threeWay(x, std::get<T>(b));
        },
        a);
}

bool parseIsoDateTime(const std::string &text, DateTime &result)
{
    CivilTime c;
    int used = 0;
    const int n = std::sscanf(text.c_str(), "%4d-%2d-%2d%n %2d:%2d:%2d%n", &c.year, &c.month,
                              &c.day, &used, &c.hour, &c.minute, &c.second, &used);
    if ((n != 3 && n != 6) || static_cast<std::size_t>(used) != text.size())
        return false;
    const DateTime t = fromCivil(c);
    const CivilTime back = toCivil(t);
    if (back.year != c.year || back.month != c.month || back.day != c.day
        || back.hour != c.hour || back.minute != c.minute || back.second != c.second)
        return false;
    result = t;
    return true;
}

} // namespace kelvora
