#pragma once

#include <array>
#include <cstdint>

namespace kelvora {

// The Mersenne Twister MT19937 in its 1998 form (state filled by a 69069 linear congruential
// generator).
inline constexpr int MTStateSize = 624;
inline constexpr std::uint32_t MTDefaultSeed = 4357;

// One generator, a value: every swarm fit, and every pass of one run on a thread of its own,
// draws from a generator of its own.
struct MTGenerator
{
    std::array<std::uint32_t, MTStateSize> State{};
    // Index of the next word to hand out: 624 = all used, 625 = never seeded.
    std::int32_t Index = MTStateSize + 1;

    void Seed(std::uint32_t seed);

    // The next tempered word; the first word of an unseeded generator seeds it with 4357.
    std::uint32_t Next()
    {
        if (Index >= MTStateSize || Index < 0)
            Refill();
        std::uint32_t y = State[static_cast<std::size_t>(Index)];
        ++Index;
        y ^= y >> 11;
        y ^= (y << 7) & 0x9D2C5680u;
        y ^= (y << 15) & 0xEFC60000u;
        y ^= y >> 18;
        return y;
    }

    // The next word times 2^-32 (exactly), in [0, 1 - 2^-32].
    long double Real() { return static_cast<long double>(Next()) * 0x1p-32L; }

    // The next nonzero Real, rounded to double: in (0, 1). A zero word is skipped. The word
    // times 2^-32 is exact in double too, so the scaling is done there directly.
    double RealPositive()
    {
        std::uint32_t word;
        do {
            word = Next();
        } while (word == 0);
        return static_cast<double>(word) * 0x1p-32;
    }

    // Moves on exactly as `count` draws of RealPositive would: past `count` nonzero words and
    // the zero words among them, without tempering (only zero tempers to zero).
    void SkipNonzeroWords(std::uint64_t count);

    bool operator==(const MTGenerator &) const = default;

private:
    // Makes Index point at a fresh word: seeds an unseeded generator with 4357, regenerates
    // the state and sets Index to 0. A negative Index is a range error.
    void Refill();
};

// A seed from the low 32 bits of the monotonic high-resolution clock.
std::uint32_t ClockSeed();

} // namespace kelvora
