#include "core/errors.h"

#include <cstring>
#include <new>

namespace kelvora {

namespace {

const char *floatErrorText(FloatError::Kind kind)
{
    switch (kind) {
    case FloatError::Kind::Invalid:
        return "Invalid floating point operation";
    case FloatError::Kind::DivisionByZero:
        return "Floating point division by zero";
    case FloatError::Kind::Overflow:
        return "Floating point overflow";
    }
    return "Invalid floating point operation";
}

} // namespace

FloatError::FloatError(Kind kind)
    : Error(floatErrorText(kind))
    , m_kind(kind)
{
}

FloatError::FloatError(Kind kind, const std::string &where)
    : Error(floatErrorText(kind) + std::string("\r") + where)
    , m_kind(kind)
{
}

std::string errorText(const std::exception &error)
{
    if (dynamic_cast<const std::bad_alloc *>(&error))
        return OutOfMemoryText;
    return error.what();
}

std::string systemErrorText(int error)
{
    return std::strerror(error);
}

} // namespace kelvora
