#include "core/mt19937.h"

#include "core/errors.h"

#include <chrono>

namespace kelvora {

namespace {

constexpr int Shift = 397;
constexpr std::uint32_t UpperMask = 0x80000000u;
constexpr std::uint32_t LowerMask = 0x7FFFFFFFu;
constexpr std::uint32_t Twist[2] = {0u, 0x9908B0DFu};

std::uint32_t Twisted(std::uint32_t partner, std::uint32_t current, std::uint32_t next)
{
    const std::uint32_t y = (current & UpperMask) | (next & LowerMask);
    return partner ^ (y >> 1) ^ Twist[y & 1u];
}

void Regenerate()
{
    auto &s = MTState;
    int k = 0;
    for (; k < MTStateSize - Shift; ++k)
        s[k] = Twisted(s[k + Shift], s[k], s[k + 1]);
    for (; k < MTStateSize - 1; ++k)
        s[k] = Twisted(s[k + Shift - MTStateSize], s[k], s[k + 1]);
    s[MTStateSize - 1] = Twisted(s[Shift - 1], s[MTStateSize - 1], s[0]);
}

} // namespace

void MTSeed(std::uint32_t seed)
{
    for (auto &word : MTState) {
        // Upper half from one generator step, lower half from the upper half of the next.
        std::uint32_t w = seed & 0xFFFF0000u;
        seed = seed * 69069u + 1u;
        w |= (seed & 0xFFFF0000u) >> 16;
        seed = seed * 69069u + 1u;
        word = w;
    }
    MTIndex = MTStateSize;
}

void mtdetail::Refill()
{
    if (MTIndex < 0)
        throw RangeError();
    if (MTIndex == MTStateSize + 1)
        MTSeed(MTDefaultSeed);
    Regenerate();
    MTIndex = 0;
}

void MTSeedFromClock()
{
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    MTSeed(static_cast<std::uint32_t>(ticks));
}

} // namespace kelvora
