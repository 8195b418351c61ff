#include "core/fpe.h"

#include <cfenv>

namespace kelvora::fpdetail {

#if !defined(__x86_64__)
unsigned RaisedFaultBits()
{
    const int raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    return ((raised & FE_INVALID) != 0 ? InvalidBit : 0u)
           | ((raised & FE_DIVBYZERO) != 0 ? DivisionByZeroBit : 0u)
           | ((raised & FE_OVERFLOW) != 0 ? OverflowBit : 0u);
}
#endif

void ClearFaultBits()
{
    std::feclearexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
}

void ThrowFault(unsigned bits)
{
    ClearFaultBits();
    if ((bits & DivisionByZeroBit) != 0)
        throw FloatError(FloatError::Kind::DivisionByZero);
    if ((bits & OverflowBit) != 0)
        throw FloatError(FloatError::Kind::Overflow);
    throw FloatError(FloatError::Kind::Invalid);
}

} // namespace kelvora::fpdetail
