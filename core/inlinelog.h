#pragma once

// The natural logarithm of an extended value without a library call. On x86-64 with glibc the
// library's logl is two x87 instructions for a positive finite argument: fyl2x on x with ln 2
// when |x − 1| > 0.29 (the double nearest it), fyl2xp1 on x − 1 otherwise, and log(1) is +0.
// Issuing them here gives the same value and the same flags without the call, which the fit
// makes once per reference point and evaluation. Every other argument, and every other
// platform, goes to std::log.

#include <cfloat>
#include <cmath>
#include <limits>

#if defined(__x86_64__) && defined(__GLIBC__) && LDBL_MANT_DIG == 64
#define KELVORA_INLINE_LOG 1
#else
#define KELVORA_INLINE_LOG 0
#endif

namespace kelvora {

// True where InlineLog issues the instructions itself.
inline constexpr bool InlineLogIsInline = KELVORA_INLINE_LOG != 0;

inline long double InlineLog(long double x)
{
#if KELVORA_INLINE_LOG
    // Quiet comparisons: a NaN raises nothing here and goes on to the library.
    if (std::isgreater(x, 0.0L)
        && std::isless(x, std::numeric_limits<long double>::infinity())) {
        // Exact wherever it selects the second branch (x within [0.71, 1.29]).
        const long double d = x - 1.0L;
        long double r;
        if (std::isgreater(std::fabs(d), static_cast<long double>(0.29))) {
            asm("fldln2\n\tfxch %%st(1)\n\tfyl2x" : "=t"(r) : "0"(x) : "st(1)");
        } else {
            // The library gives +0 for log(1) in every rounding mode.
            if (d == 0.0L)
                return 0.0L;
            asm("fldln2\n\tfxch %%st(1)\n\tfyl2xp1" : "=t"(r) : "0"(d) : "st(1)");
        }
        return r;
    }
#endif
    return std::log(x);
}

} // namespace kelvora
