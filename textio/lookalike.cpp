#include "textio/lookalike.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

namespace kelvora {

namespace {

// One UTF-8 character: its code point and its length in bytes. A byte that starts no valid
// sequence stands for itself, one byte long.
struct Character
{
    std::uint32_t code;
    std::size_t length;
};

Character characterAt(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char first = byte(0);
    const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    if (length == 1 || at + length > text.size())
        return {first, 1};
    std::uint32_t code = first & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return {first, 1};
        code = code << 6 | (byte(i) & 0x3F);
    }
    return {code, length};
}

// Characters that take no room or look like a blank without being one to the reader.
bool showsNothing(std::uint32_t code)
{
    return code == 0x00A0 || code == 0x00AD || (code >= 0x2000 && code <= 0x200F)
           || (code >= 0x2028 && code <= 0x202F) || (code >= 0x205F && code <= 0x206F)
           || code == 0x3000 || code == 0xFEFF;
}

bool isDigit(std::uint32_t code)
{
    return (code >= '0' && code <= '9') || (code >= 0xFF10 && code <= 0xFF19);
}

bool isSign(std::uint32_t code)
{
    // Plus, minus, the plus-minus sign, the minus sign and their full-width forms.
    return code == '+' || code == '-' || code == 0x00B1 || code == 0x2212 || code == 0xFF0B
           || code == 0xFF0D;
}

bool isDecimalMark(std::uint32_t code)
{
    return code == '.' || code == ',' || code == 0xFF0E || code == 0xFF0C;
}

bool startsWithWord(std::string_view text, std::string_view word)
{
    if (text.size() < word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != word[i])
            return false;
    }
    return true;
}

} // namespace

bool looksLikeNumber(std::string_view run)
{
    std::size_t at = 0;
    while (at < run.size() && showsNothing(characterAt(run, at).code))
        at += characterAt(run, at).length;
    if (at < run.size() && isSign(characterAt(run, at).code))
        at += characterAt(run, at).length;
    if (at >= run.size())
        return false;
    const std::string_view rest = run.substr(at);
    if (startsWithWord(rest, "nan") || startsWithWord(rest, "inf"))
        return true;
    const Character first = characterAt(run, at);
    if (isDigit(first.code))
        return true;
    at += first.length;
    return isDecimalMark(first.code) && at < run.size() && isDigit(characterAt(run, at).code);
}

std::string visibleText(std::string_view text, std::size_t most)
{
    std::string visible;
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); ++count) {
        if (count == most)
            return visible + "...";
        const Character c = characterAt(text, at);
        if (showsNothing(c.code)) {
            char code[16];
            std::snprintf(code, sizeof code, "<U+%04X>", static_cast<unsigned>(c.code));
            visible += code;
        } else {
            visible.append(text.substr(at, c.length));
        }
        at += c.length;
    }
    return visible;
}

} // namespace kelvora
