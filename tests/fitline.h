#pragma once

// A fitted temperature's line as the result memos show it, read back:
// "<index>: T = <kelvin, 3 decimals> K; d = <millikelvin, 2 decimals> mK".

#include <optional>
#include <regex>
#include <string>

namespace kelvora::test {

struct ShownFitLine
{
    int index = 0;
    double T = 0;
    double d = 0;
};

// Empty when the line does not have that form with that decimal separator.
inline std::optional<ShownFitLine> readFitLine(std::string line, char separator)
{
    const std::string sep = separator == '.' ? "\\." : std::string(1, separator);
    const std::regex form("(\\d+): T = +(-?\\d+" + sep + "\\d{3}) K; d = +(-?\\d+" + sep
                          + "\\d{2}) mK");
    std::smatch parts;
    if (!std::regex_match(line, parts, form))
        return std::nullopt;
    const auto number = [separator](std::string text) {
        for (char &c : text) {
            if (c == separator)
                c = '.';
        }
        return std::stod(text);
    };
    return ShownFitLine{std::stoi(parts[1]), number(parts[2]), number(parts[3])};
}

} // namespace kelvora::test
