// The random generator: its words, its reals, its seeding and skipping ahead.

#include "core/errors.h"
#include "core/mt19937.h"

#include "casename.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace {

using namespace kelvora;
using testcase::CaseName;
using testcase::PrintTo;

// The state word that tempering turns into `word`.
std::uint32_t Untempered(std::uint32_t y)
{
    y ^= y >> 18;
    y ^= (y << 15) & 0xEFC60000u;
    std::uint32_t x = y;
    for (int k = 0; k < 5; ++k)
        x = y ^ ((x << 7) & 0x9D2C5680u);
    y = x;
    return y ^ (y >> 11) ^ (y >> 22);
}

std::vector<std::uint32_t> Words(MTGenerator &mt, int count)
{
    std::vector<std::uint32_t> words;
    for (int k = 0; k < count; ++k)
        words.push_back(mt.Next());
    return words;
}

const std::vector<std::uint32_t> DefaultSeedWords = {2867219139u, 1585203162u, 3113124129u,
                                                     2953900839u, 2463794868u};

TEST(MTWords, SeedFourThousandThreeHundredFiftySeven)
{
    MTGenerator mt;
    mt.Seed(4357);
    EXPECT_EQ(mt.Index, 624);
    const std::vector<std::uint32_t> words = Words(mt, 1000);
    EXPECT_EQ(std::vector<std::uint32_t>(words.begin(), words.begin() + 5), DefaultSeedWords);
    EXPECT_EQ(words[999], 1030650439u);
}

TEST(MTWords, UnseededGeneratorSeedsWithTheDefault)
{
    MTGenerator mt;
    EXPECT_EQ(Words(mt, 5), DefaultSeedWords);
    // One seeded and then marked as never seeded.
    MTGenerator marked;
    marked.Seed(1);
    marked.Index = 625;
    EXPECT_EQ(Words(marked, 5), DefaultSeedWords);
}

TEST(MTWords, SeedingRestartsTheSequence)
{
    MTGenerator mt;
    mt.Seed(12345);
    const std::vector<std::uint32_t> first = Words(mt, 700);
    mt.Seed(12345);
    EXPECT_EQ(Words(mt, 700), first);
    mt.Seed(12346);
    EXPECT_NE(Words(mt, 700), first);
}

TEST(MTWords, NegativeIndexIsARangeError)
{
    MTGenerator mt;
    mt.Seed(4357);
    mt.Index = -1;
    EXPECT_THROW(mt.Next(), RangeError);
}

TEST(MTWords, ClockSeedsDifferFromOneFitToTheNext)
{
    MTGenerator mt;
    mt.Seed(ClockSeed());
    const std::vector<std::uint32_t> first = Words(mt, 3);
    mt.Seed(ClockSeed());
    EXPECT_NE(Words(mt, 3), first);
}

TEST(MTReals, FirstFiveOfTheDefaultSeed)
{
    MTGenerator mt;
    const std::array<long double, 5> expected = {0.66757647763L, 0.36908387253L, 0.72483069473L,
                                                 0.68775863363L, 0.57364694495L};
    mt.Seed(4357);
    for (long double value : expected) {
        const long double r = mt.Real();
        EXPECT_NEAR(r, value, 1e-11L);
    }
    // The scaling by 2^-32 is exact.
    mt.Seed(4357);
    for (std::uint32_t word : DefaultSeedWords)
        EXPECT_EQ(mt.Real() * 4294967296.0L, static_cast<long double>(word));
}

struct ExtremeWord
{
    std::uint32_t word;
    long double real;
};

void PrintTo(const ExtremeWord &c, std::ostream *os)
{
    *os << "word_" << std::hex << c.word << std::dec;
}

class MTExtremes : public testing::TestWithParam<ExtremeWord>
{
};

// A state laid out so that the next word handed out is the given one.
void NextWordWillBe(MTGenerator &mt, std::uint32_t word, std::uint32_t after)
{
    mt.Seed(4357);
    mt.Next();
    mt.State[1] = Untempered(word);
    mt.State[2] = Untempered(after);
    mt.Index = 1;
}

TEST_P(MTExtremes, RealOfTheWord)
{
    MTGenerator mt;
    NextWordWillBe(mt, GetParam().word, 7u);
    EXPECT_EQ(mt.Real(), GetParam().real);
}

INSTANTIATE_TEST_SUITE_P(Words, MTExtremes,
                         testing::Values(ExtremeWord{0u, 0.0L},
                                         ExtremeWord{1u, 0x1p-32L},
                                         ExtremeWord{0xFFFFFFFFu, 1.0L - 0x1p-32L}));

TEST(MTRealPositive, SkipsAZeroWord)
{
    MTGenerator mt;
    NextWordWillBe(mt, 0u, 5u);
    EXPECT_EQ(mt.RealPositive(), 5.0 * 0x1p-32);
    EXPECT_EQ(mt.Index, 3);
}

TEST(MTRealPositive, LargestWordStaysBelowOne)
{
    MTGenerator mt;
    NextWordWillBe(mt, 0xFFFFFFFFu, 5u);
    const double r = mt.RealPositive();
    EXPECT_LT(r, 1.0);
    EXPECT_EQ(r, 1.0 - 0x1p-32);
}

struct SkipCase
{
    const char *name;
    std::int32_t start;  // index of the next word; 625: unseeded
    std::vector<int> zeros;  // words of the state made zero
    std::uint64_t count;
};

class MTSkip : public testing::TestWithParam<SkipCase>
{
};

// Skipping nonzero words leaves the generator exactly where as many positive draws leave it.
TEST_P(MTSkip, LandsWhereTheDrawsLand)
{
    const SkipCase &c = GetParam();
    MTGenerator drawn;
    drawn.Seed(20261210u);
    drawn.Next();
    for (int k : c.zeros)
        drawn.State[static_cast<std::size_t>(k)] = 0u;
    drawn.Index = c.start;
    MTGenerator skipped = drawn;
    for (std::uint64_t k = 0; k < c.count; ++k)
        drawn.RealPositive();
    skipped.SkipNonzeroWords(c.count);
    EXPECT_EQ(skipped.Index, drawn.Index);
    EXPECT_TRUE(skipped == drawn);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MTSkip,
    testing::Values(SkipCase{"nothing", 0, {}, 0},
                    SkipCase{"within_the_state", 0, {}, 100},
                    SkipCase{"zero_among_them", 0, {10}, 20},
                    SkipCase{"zeros_in_a_row", 3, {5, 6, 7}, 10},
                    // The draws stop right after the last word wanted: a zero after it stays.
                    SkipCase{"zero_right_after_the_last", 0, {20}, 20},
                    SkipCase{"zeros_ending_the_state", 0, {622, 623}, 622},
                    SkipCase{"past_zeros_ending_the_state", 0, {622, 623}, 623},
                    SkipCase{"from_the_middle_into_the_next_state", 600, {610}, 50},
                    SkipCase{"all_used", 624, {}, 1},
                    SkipCase{"unseeded", 625, {}, 7},
                    // One pass of the swarm: 90 words to place, 180 for each of 30000 sweeps.
                    SkipCase{"a_whole_pass", 0, {3, 400}, 5'400'090}),
    CaseName);

} // namespace
