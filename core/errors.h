#pragma once

#include <stdexcept>
#include <string>

namespace kelvora {

// An error whose text is the message the user sees, exactly as it stands.
class Error : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Invalid operation, division by zero or overflow in a floating-point computation.
class FloatError : public Error
{
public:
    enum class Kind { Invalid, DivisionByZero, Overflow };

    explicit FloatError(Kind kind);
    // The system's text, then on a line of its own where and why the fault arose.
    FloatError(Kind kind, const std::string &where);
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// An index or count outside its bounds.
class RangeError : public Error
{
public:
    RangeError() : Error("Range check error") {}
};

// A text that does not convert to the number asked for.
class ConvertError : public Error
{
public:
    using Error::Error;
};

// A refusal of the record store: a required field, a key violation, an empty table.
class StoreError : public Error
{
public:
    using Error::Error;
};

// What the user sees of an exception that ends an operation: its own text, and for a lack of
// memory OutOfMemoryText.
inline constexpr const char *OutOfMemoryText = "Out of memory";
std::string errorText(const std::exception &error);

// The system's text for an errno value ("Permission denied", "File too large"): every message
// that reports a failed call of the system words it so.
std::string systemErrorText(int error);

} // namespace kelvora
