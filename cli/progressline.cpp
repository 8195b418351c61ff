#include "cli/progressline.h"

#include "core/numfmt.h"

#include <string>

namespace kelvora::cli {

namespace {

constexpr auto ShowInterval = std::chrono::milliseconds(100);

} // namespace

ProgressLine::ProgressLine(std::FILE *out, bool live)
    : m_out(out)
    , m_live(live)
{
}

void ProgressLine::ShowPSOProgress(const PSOBest &best)
{
    m_best = best.OverallBest;
}

void ProgressLine::ShowSweep(const PSOSweep &sweep)
{
    if (!m_live)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (m_shownWidth > 0 && now - m_lastShown < ShowInterval)
        return;
    m_lastShown = now;
    std::string line = "PSO pass " + std::to_string(sweep.restartNo + 1) + " of "
                       + std::to_string(sweep.passes) + ", "
                       + std::to_string(sweep.improvements) + " improvements";
    if (m_best < NoValue)
        line += ", best so far " + formatFixed(m_best, 9, 4) + " mK";
    // Blanks wipe what a longer earlier line left behind.
    const std::size_t width = line.size();
    if (width < m_shownWidth)
        line.append(m_shownWidth - width, ' ');
    m_shownWidth = width > m_shownWidth ? width : m_shownWidth;
    std::fprintf(m_out, "\r%s", line.c_str());
    std::fflush(m_out);
}

ProgressLine::~ProgressLine()
{
    clear();
}

void ProgressLine::PSOFinished(const PSOStage &)
{
    clear();
}

void ProgressLine::clear()
{
    if (m_shownWidth == 0)
        return;
    std::fprintf(m_out, "\r%s\r", std::string(m_shownWidth, ' ').c_str());
    std::fflush(m_out);
    m_shownWidth = 0;
}

} // namespace kelvora::cli
