#pragma once

// Floating-point faults. Invalid operation, division by zero and overflow end a computation
// with a FloatError; underflow, denormal operands and inexact results are silent. The faults
// are read from the status flags, not trapped.
//
// The compiler does not order arithmetic against flag reads: it may move an operation past
// the read or drop one whose result is unused. Everything here therefore passes values
// through empty asm statements: an operation fenced on both sides runs exactly between them,
// and a result is forced into being before the flags are read.

#include "core/buildoptions.h"
#include "core/errors.h"
#include "core/inlinelog.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace kelvora {

namespace fpdetail {

// Flag bits of the x87 status word and of MXCSR (the same positions in both).
inline constexpr unsigned InvalidBit = 0x01;
inline constexpr unsigned DivisionByZeroBit = 0x04;
inline constexpr unsigned OverflowBit = 0x08;
inline constexpr unsigned FaultBits = InvalidBit | DivisionByZeroBit | OverflowBit;

#if defined(__x86_64__)
inline unsigned RaisedFaultBits()
{
    unsigned short status;
    unsigned int mxcsr;
    asm volatile("fnstsw %0" : "=a"(status));
    asm volatile("stmxcsr %0" : "=m"(mxcsr));
    return (status | mxcsr) & FaultBits;
}
#else
unsigned RaisedFaultBits();
#endif

void ClearFaultBits();
[[noreturn, gnu::cold]] void ThrowFault(unsigned bits);

} // namespace fpdetail

// Forces `v` into memory at this point of the program: an operation that uses the result
// cannot start before, one that produced `v` cannot finish after.
template <typename T>
inline T FpFenced(T v)
{
    asm volatile("" : "+m"(v));
    return v;
}

// Every store to memory that is written before this point is done before it, and every load
// written after it is made after it.
inline void FpFenceMemory()
{
    asm volatile("" ::: "memory");
}

// True when invalid operation, division by zero or overflow has been raised.
inline bool FpFaultRaised()
{
    return fpdetail::RaisedFaultBits() != 0;
}

// Clears the three fault flags (only when one is set: reading is cheaper than writing).
// Memory is read afresh after it, so work on values loaded from memory starts after it too.
inline void ClearFpFaults()
{
    if (fpdetail::RaisedFaultBits() != 0)
        fpdetail::ClearFaultBits();
    FpFenceMemory();
}

// Throws the FloatError of a raised fault, the flags cleared first. When several are raised
// together division by zero comes first, then overflow, then invalid operation: an infinity
// made by one of the first two is what usually goes on to the invalid operation.
inline void CheckFpFaults()
{
    const unsigned bits = fpdetail::RaisedFaultBits();
    if (bits != 0)
        fpdetail::ThrowFault(bits);
}

// A logarithm or exponential as the program takes it from the processor. The x87 instructions
// behind them are not bound to one result in the last bit, and processors differ there; a
// build with KELVORA_PERTURB_TRANSCENDENTALS simulates another processor: every such result
// moves one unit in the last place, up or down in magnitude as the argument's lowest
// significand bit says. Results that every processor gives exactly (0, 1, infinities, NaN)
// stay, and a result never leaves its binade, so that no flag is raised.
inline long double TranscendentalResult([[maybe_unused]] long double argument,
                                        long double result)
{
#if KELVORA_PERTURB_TRANSCENDENTALS
    if (!std::isfinite(result) || result == 0.0L || std::fabs(result) == 1.0L)
        return result;
    std::uint64_t argumentSignificand;
    std::uint64_t significand;
    std::memcpy(&argumentSignificand, &argument, sizeof argumentSignificand);
    std::memcpy(&significand, &result, sizeof significand);
    constexpr std::uint64_t IntegerBit = std::uint64_t{1} << 63;
    if ((significand & IntegerBit) == 0)
        return result; // subnormal
    if ((argumentSignificand & 1) != 0) {
        if (significand != ~std::uint64_t{0})
            ++significand;
    } else if (significand != IntegerBit) {
        --significand;
    }
    std::memcpy(&result, &significand, sizeof significand);
#endif
    return result;
}

// Elementary operations of a computation whose flags are read once, at its end.
struct FastFp
{
    // An input not read from memory after the flags were cleared (a value argument): no
    // operation on it may move before the clearing.
    static long double in(long double a) { return FpFenced(a); }
    static long double add(long double a, long double b) { return a + b; }
    static long double sub(long double a, long double b) { return a - b; }
    static long double mul(long double a, long double b) { return a * b; }
    static long double div(long double a, long double b) { return a / b; }
    static long double exp(long double a) { return TranscendentalResult(a, std::exp(a)); }
    static long double log(long double a) { return TranscendentalResult(a, InlineLog(a)); }
    static long double sqrt(long double a) { return std::sqrt(a); }
    static double toDouble(long double a) { return static_cast<double>(a); }
};

// The same operations, each checked as it completes: the first faulting one throws.
struct SteppedFp
{
    static long double add(long double a, long double b)
    {
        return done(FpFenced(a) + FpFenced(b));
    }
    static long double sub(long double a, long double b)
    {
        return done(FpFenced(a) - FpFenced(b));
    }
    static long double mul(long double a, long double b)
    {
        return done(FpFenced(a) * FpFenced(b));
    }
    static long double div(long double a, long double b)
    {
        return done(FpFenced(a) / FpFenced(b));
    }
    static long double exp(long double a)
    {
        return done(TranscendentalResult(a, std::exp(FpFenced(a))));
    }
    static long double log(long double a)
    {
        return done(TranscendentalResult(a, std::log(FpFenced(a))));
    }
    static long double sqrt(long double a) { return done(std::sqrt(FpFenced(a))); }
    static double toDouble(long double a) { return done(static_cast<double>(FpFenced(a))); }

private:
    template <typename T>
    static T done(T r)
    {
        r = FpFenced(r);
        CheckFpFaults();
        return r;
    }
};

// The least magnitude that rounds to infinity as a double: half a unit in the last place above
// the largest double (that tie rounds to the even neighbour, infinity).
inline constexpr long double DoubleOverflowBound =
    static_cast<long double>(std::numeric_limits<double>::max()) + 0x1p970L;

// A value as a double field stores it, rounded to the nearest double. A finite value that
// rounds beyond the range of a double raises FloatError overflow, the flags left untouched.
inline double StoredDouble(long double value)
{
    if (std::isfinite(value) && std::fabs(value) >= DoubleOverflowBound)
        throw FloatError(FloatError::Kind::Overflow);
    return static_cast<double>(value);
}

// Runs `fast` (built on FastFp) with the flags cleared and reads them once at its end; when a
// fault shows, runs `stepped` (the same computation on SteppedFp), which throws at the
// operation that faulted. Both must be free of side effects, and `fast` must pass its value
// arguments through FastFp::in.
template <typename Fast, typename Stepped>
inline auto FpGuarded(Fast fast, Stepped stepped)
{
    ClearFpFaults();
    const auto r = FpFenced(fast());
    if (FpFaultRaised()) {
        fpdetail::ClearFaultBits();
        return stepped();
    }
    return r;
}

} // namespace kelvora
