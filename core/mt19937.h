#pragma once

#include <array>
#include <cstdint>

namespace kelvora {

// The Mersenne Twister MT19937 in its 1998 form (state filled by a 69069 linear congruential
// generator). One generator for the whole process; single-threaded use only.
inline constexpr int MTStateSize = 624;
inline constexpr std::uint32_t MTDefaultSeed = 4357;

inline std::array<std::uint32_t, MTStateSize> MTState{};
// Index of the next word to hand out: 624 = all used, 625 = never seeded.
inline std::int32_t MTIndex = MTStateSize + 1;

void MTSeed(std::uint32_t seed);
// Seeds with the low 32 bits of the monotonic high-resolution clock.
void MTSeedFromClock();

namespace mtdetail {
// Makes MTIndex point at a fresh word: seeds an unseeded generator with 4357, regenerates
// the state and sets MTIndex to 0. A negative MTIndex is a range error.
void Refill();
} // namespace mtdetail

// The next tempered word; the first word of an unseeded generator seeds it with 4357.
inline std::uint32_t MTNext()
{
    if (MTIndex >= MTStateSize || MTIndex < 0)
        mtdetail::Refill();
    std::uint32_t y = MTState[static_cast<std::size_t>(MTIndex)];
    ++MTIndex;
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

// The next word times 2^-32 (exactly), in [0, 1 - 2^-32].
inline long double MTReal()
{
    return static_cast<long double>(MTNext()) * 0x1p-32L;
}

// The next nonzero MTReal, rounded to double: in (0, 1). A zero word is skipped. The word
// times 2^-32 is exact in double too, so the scaling is done there directly.
inline double MTRealPositive()
{
    std::uint32_t word;
    do {
        word = MTNext();
    } while (word == 0);
    return static_cast<double>(word) * 0x1p-32;
}

} // namespace kelvora
