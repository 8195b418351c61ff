#include "textio/numberreader.h"

#include "core/numfmt.h"

#include <climits>

namespace kelvora {

namespace {

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

} // namespace

std::string_view NumberReader::nextRun()
{
    while (m_pos < m_text.size() && isBlank(m_text[m_pos]))
        ++m_pos;
    const std::size_t start = m_pos;
    while (m_pos < m_text.size() && !isBlank(m_text[m_pos]))
        ++m_pos;
    return m_text.substr(start, m_pos - start);
}

std::optional<long double> NumberReader::readReal()
{
    const std::string_view run = nextRun();
    if (run.empty())
        return 0.0L;
    long double value = 0;
    if (!parseDecimal(run, value))
        return std::nullopt;
    return value;
}

std::optional<int> NumberReader::readWholeNumber()
{
    const std::string_view run = nextRun();
    if (run.empty())
        return 0;
    std::size_t i = run[0] == '+' || run[0] == '-' ? 1 : 0;
    const bool negative = run[0] == '-';
    if (i == run.size())
        return std::nullopt;
    long long value = 0;
    for (; i < run.size(); ++i) {
        if (run[i] < '0' || run[i] > '9')
            return std::nullopt;
        value = value * 10 + (run[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

void NumberReader::skipLine()
{
    while (m_pos < m_text.size() && m_text[m_pos] != '\n')
        ++m_pos;
    if (m_pos < m_text.size())
        ++m_pos;
}

} // namespace kelvora
