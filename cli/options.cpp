#include "cli/options.h"

#include "core/numfmt.h"
#include "core/storable.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace kelvora::cli {

bool ParsedOptions::has(const std::string &name) const
{
    return switches.count(name) > 0 || values.count(name) > 0;
}

std::optional<std::string> ParsedOptions::value(const std::string &name) const
{
    const auto it = values.find(name);
    if (it == values.end())
        return std::nullopt;
    return it->second;
}

ParsedOptions parseOptions(const std::vector<std::string> &args, const OptionTable &known)
{
    ParsedOptions parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const auto equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        if (known.switches.count(name) > 0) {
            if (equals != std::string::npos)
                throw UsageError("option " + name + " takes no value");
            parsed.switches.insert(name);
        } else if (known.valued.count(name) > 0) {
            if (equals != std::string::npos) {
                parsed.values[name] = arg.substr(equals + 1);
            } else {
                if (i + 1 >= args.size())
                    throw UsageError("option " + name + " needs a value");
                parsed.values[name] = args[++i];
            }
        } else {
            throw UsageError("unknown option " + name);
        }
    }
    return parsed;
}

std::string asLines(std::string text)
{
    std::replace(text.begin(), text.end(), '\r', '\n');
    return text;
}

namespace {

// The text as it stands is the number, or it is not one.
bool bare(const std::string &text)
{
    return !text.empty() && static_cast<unsigned char>(text.front()) > ' '
           && static_cast<unsigned char>(text.back()) > ' ';
}

} // namespace

int intOption(const std::string &name, const std::string &text, int low, int high)
{
    std::int64_t value = 0;
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (!bare(text) || ec != std::errc() || ptr != end || value < low || value > high)
        throw UsageError(name + ": '" + text + "' is not a whole number from "
                         + std::to_string(low) + " to " + std::to_string(high));
    return static_cast<int>(value);
}

long double floatOption(const std::string &name, const std::string &text,
                        const FloatRange &range)
{
    long double value = 0;
    const bool number = bare(text) && parseDecimal(text, value);
    const bool aboveLow = range.lowExcluded ? value > range.low : value >= range.low;
    const bool belowHigh = range.highExcluded ? value < range.high : value <= range.high;
    if (!number || !aboveLow || !belowHigh)
        throw UsageError(name + ": '" + text + "' is not a number " + range.text);
    // Options are typed with the full stop, and so are the values in their messages.
    if (const std::string refusal = unstorableText(name, value, '.'); !refusal.empty())
        throw UsageError(refusal);
    return value;
}

std::uint32_t unsignedOption(const std::string &name, const std::string &text)
{
    std::uint64_t value = 0;
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end
        || value > std::numeric_limits<std::uint32_t>::max())
        throw UsageError(name + ": '" + text + "' is not a whole number from 0 to 4294967295");
    return static_cast<std::uint32_t>(value);
}

} // namespace kelvora::cli
