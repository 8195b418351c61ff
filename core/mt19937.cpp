#include "core/mt19937.h"

#include "core/errors.h"

#include <algorithm>
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

void Regenerate(std::array<std::uint32_t, MTStateSize> &s)
{
    int k = 0;
    for (; k < MTStateSize - Shift; ++k)
        s[k] = Twisted(s[k + Shift], s[k], s[k + 1]);
    for (; k < MTStateSize - 1; ++k)
        s[k] = Twisted(s[k + Shift - MTStateSize], s[k], s[k + 1]);
    s[MTStateSize - 1] = Twisted(s[Shift - 1], s[MTStateSize - 1], s[0]);
}

} // namespace

void MTGenerator::Seed(std::uint32_t seed)
{
    for (auto &word : State) {
        // Upper half from one generator step, lower half from the upper half of the next.
        std::uint32_t w = seed & 0xFFFF0000u;
        seed = seed * 69069u + 1u;
        w |= (seed & 0xFFFF0000u) >> 16;
        seed = seed * 69069u + 1u;
        word = w;
    }
    Index = MTStateSize;
}

void MTGenerator::Refill()
{
    if (Index < 0)
        throw RangeError();
    if (Index == MTStateSize + 1)
        Seed(MTDefaultSeed);
    Regenerate(State);
    Index = 0;
}

void MTGenerator::SkipNonzeroWords(std::uint64_t count)
{
    while (count > 0) {
        if (Index >= MTStateSize || Index < 0)
            Refill();
        const auto zeros = std::count(State.begin() + Index, State.end(), 0u);
        const auto nonzero = static_cast<std::uint64_t>(MTStateSize - Index - zeros);
        if (count > nonzero) {
            count -= nonzero;
            Index = MTStateSize;
            continue;
        }
        // The last word wanted is in this state: stop right after it, before any zero
        // words that follow.
        for (; count > 0; ++Index) {
            if (State[static_cast<std::size_t>(Index)] != 0)
                --count;
        }
    }
}

std::uint32_t ClockSeed()
{
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return static_cast<std::uint32_t>(ticks);
}

} // namespace kelvora
