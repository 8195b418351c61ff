#pragma once

#include <ostream>
#include <string>

// Names the cases of parameterised tests, so that test lists and failure reports show a
// readable name instead of the bytes of the case.
namespace kelvora::testcase {

template <typename Case>
    requires requires(const Case &c) { c.name; }
inline void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.name;
}

inline constexpr auto CaseName = [](const auto &info) { return std::string(info.param.name); };

} // namespace kelvora::testcase
