#include "cli/json.h"

#include <cstdio>

namespace kelvora::cli {

Json Json::extended(long double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.20Le", value);
    return Json(std::string(buffer));
}

Json &Json::push(Json value)
{
    std::get<Array>(m_value).push_back(std::move(value));
    return *this;
}

Json &Json::set(std::string key, Json value)
{
    std::get<Object>(m_value).emplace_back(std::move(key), std::move(value));
    return *this;
}

std::string jsonQuote(const std::string &text)
{
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string Json::dump() const
{
    std::string out;
    write(out, 0);
    return out + "\n";
}

void Json::write(std::string &out, int indent) const
{
    const std::string pad(static_cast<std::size_t>(indent + 2), ' ');
    const std::string closePad(static_cast<std::size_t>(indent), ' ');
    if (std::holds_alternative<std::monostate>(m_value)) {
        out += "null";
    } else if (const auto *number = std::get_if<std::int64_t>(&m_value)) {
        out += std::to_string(*number);
    } else if (const auto *text = std::get_if<std::string>(&m_value)) {
        out += jsonQuote(*text);
    } else if (const auto *array = std::get_if<Array>(&m_value)) {
        bool plain = true;
        for (const Json &item : *array) {
            if (std::holds_alternative<Array>(item.m_value)
                || std::holds_alternative<Object>(item.m_value))
                plain = false;
        }
        out += "[";
        for (std::size_t i = 0; i < array->size(); ++i) {
            out += i > 0 ? (plain ? ", " : ",\n" + pad) : (plain ? "" : "\n" + pad);
            (*array)[i].write(out, indent + 2);
        }
        out += (plain || array->empty()) ? "]" : "\n" + closePad + "]";
    } else {
        const auto &object = std::get<Object>(m_value);
        out += "{";
        for (std::size_t i = 0; i < object.size(); ++i) {
            out += (i > 0 ? ",\n" : "\n") + pad + jsonQuote(object[i].first) + ": ";
            object[i].second.write(out, indent + 2);
        }
        out += object.empty() ? "}" : "\n" + closePad + "}";
    }
}

} // namespace kelvora::cli
