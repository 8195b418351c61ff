#pragma once

#include "core/errors.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kelvora::cli {

// Exit status of a command line that cannot be understood (sysexits' EX_USAGE).
inline constexpr int ExitUsage = 64;

// A command line that does not fit the command's grammar; the text says what is wrong.
class UsageError : public Error
{
public:
    using Error::Error;
};

// The options a command knows: those followed by a value ("--tol 1e-9" or "--tol=1e-9")
// and plain switches ("--json"). Names include the leading dashes.
struct OptionTable
{
    std::set<std::string> valued;
    std::set<std::string> switches;
};

struct ParsedOptions
{
    std::vector<std::string> positional;
    std::map<std::string, std::string> values; // the last value given wins
    std::set<std::string> switches;

    bool has(const std::string &name) const;
    std::optional<std::string> value(const std::string &name) const;
};

// Splits the arguments after the command name. Unknown options, a missing value and a
// value given to a switch raise UsageError. "--" ends the options.
ParsedOptions parseOptions(const std::vector<std::string> &args, const OptionTable &known);

// The user's text with each carriage return as a line break of the terminal.
std::string asLines(std::string text);

// The value of an option read as a number within its valid range. The text must be the number
// alone (no blanks or other characters around it); anything else raises UsageError naming the
// option, the text and the range.
// A whole number from `low` to `high`.
int intOption(const std::string &name, const std::string &text, int low, int high);
// A number with an optional full stop and exponent, from `low` to `high`; with
// `lowExcluded` above `low`, and with `highExcluded` below `high`. `range` words the range. A
// value that a double does not hold as it is raises UsageError with unstorableText.
struct FloatRange
{
    long double low;
    long double high;
    bool lowExcluded;
    bool highExcluded;
    const char *text; // "from 1.0 to 1000.0"
};
long double floatOption(const std::string &name, const std::string &text,
                        const FloatRange &range);
// The relative standard uncertainty of a measured signal.
inline constexpr FloatRange RelativeSignalUncertaintyRange{0.0L, 1.0L, false, true,
                                                           "from 0 to below 1"};
// A whole number from 0 to 4294967295.
std::uint32_t unsignedOption(const std::string &name, const std::string &text);

} // namespace kelvora::cli
