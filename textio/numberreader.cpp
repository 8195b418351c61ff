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

std::string NumberReader::runHere()
{
    std::string run;
    while (m_file.peek() >= 0 && !isBlank(static_cast<char>(m_file.peek())))
        run += static_cast<char>(m_file.get());
    return run;
}

std::string NumberReader::nextRun()
{
    while (m_file.peek() >= 0 && isBlank(static_cast<char>(m_file.peek())))
        m_file.get();
    return runHere();
}

std::string NumberReader::runOnLine()
{
    // Numbers on one line stand apart by blanks and tabs; any other control character ends
    // what is looked at.
    while (m_file.peek() == ' ' || m_file.peek() == '\t' || m_file.peek() == '\r')
        m_file.get();
    if (m_file.peek() < 0 || isBlank(static_cast<char>(m_file.peek())))
        return {};
    return runHere();
}

std::string NumberReader::textOnLine(std::size_t most)
{
    std::string text;
    while (text.size() < most && m_file.peek() >= 0
           && (m_file.peek() == '\t' || !isBlank(static_cast<char>(m_file.peek()))
               || m_file.peek() == ' '))
        text += static_cast<char>(m_file.get());
    return text;
}

std::optional<long double> NumberReader::readReal()
{
    const std::string run = nextRun();
    if (run.empty())
        return 0.0L;
    long double value = 0;
    if (!parseDecimal(run, value))
        return std::nullopt;
    return value;
}

std::optional<int> NumberReader::readWholeNumber()
{
    const std::string run = nextRun();
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
    for (int c = m_file.get(); c >= 0 && c != '\n'; c = m_file.get()) {
    }
}

} // namespace kelvora
