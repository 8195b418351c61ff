#pragma once

#include "calibration/run.h"

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace kelvora::cli {

// The run host of the command line: while the swarm fits, a single status line on a
// terminal, rewritten in place ("\r") at most every 100 ms so that it costs nothing.
class ProgressLine : public RunHost
{
public:
    // `live` false: the host shows nothing (output redirected, or not wanted).
    ProgressLine(std::FILE *out, bool live);
    // Wipes a line still shown, so that an error text starts on a clean line.
    ~ProgressLine();
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    void ShowPSOProgress(const PSOBest &best) override;
    void ShowSweep(const PSOSweep &sweep) override;
    void PSOFinished(const PSOStage &stage) override;

private:
    void clear();

    std::FILE *m_out;
    bool m_live;
    long double m_best = NoValue;
    std::size_t m_shownWidth = 0;
    std::chrono::steady_clock::time_point m_lastShown{};
};

} // namespace kelvora::cli
