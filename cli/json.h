#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace kelvora::cli {

// A JSON value built in memory and written out in one piece. Objects keep their keys in the
// order they were added.
class Json
{
public:
    using Array = std::vector<Json>;
    using Object = std::vector<std::pair<std::string, Json>>;

    Json() = default; // null
    Json(std::int64_t number) : m_value(number) {}
    Json(int number) : m_value(static_cast<std::int64_t>(number)) {}
    Json(std::uint32_t number) : m_value(static_cast<std::int64_t>(number)) {}
    Json(std::string text) : m_value(std::move(text)) {}
    Json(const char *text) : m_value(std::string(text)) {}

    static Json array() { return Json(Array{}); }
    static Json object() { return Json(Object{}); }
    // An extended value as a string of 21 significant digits ("6.49923076923076923064e-01"),
    // so that no digit is lost to a reader's double precision.
    static Json extended(long double value);

    // Appends to an array / adds a key to an object; returns *this for chaining.
    Json &push(Json value);
    Json &set(std::string key, Json value);

    // Two-space indentation; arrays of plain values stay on one line.
    std::string dump() const;

private:
    explicit Json(Array a) : m_value(std::move(a)) {}
    explicit Json(Object o) : m_value(std::move(o)) {}
    void write(std::string &out, int indent) const;

    std::variant<std::monostate, std::int64_t, std::string, Array, Object> m_value;
};

// The text as a JSON string literal, quotes included.
std::string jsonQuote(const std::string &text);

} // namespace kelvora::cli
