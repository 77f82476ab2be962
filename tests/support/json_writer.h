#pragma once

#include <cstdio>
#include <string>

#include "base/json.h"

namespace kavrel::test {

// value written back as text, its strings and names by quote(); numbers carry 17 digits, so
// that they read back as the same double.
template <typename Quote>
std::string WriteJSON(const TJSONValue& value, const Quote& quote) {
    switch (value.Kind()) {
        case TJSONValue::TKind::Null:
            return "null";
        case TJSONValue::TKind::Boolean:
            return value.AsBool() ? "true" : "false";
        case TJSONValue::TKind::Number: {
            char text[32];
            std::snprintf(text, sizeof text, "%.17g", value.AsNumber());
            return text;
        }
        case TJSONValue::TKind::String:
            return quote(value.AsString());
        case TJSONValue::TKind::Array: {
            std::string out = "[";
            for (const auto& item : value.Items())
                out += (out.size() > 1 ? "," : "") + WriteJSON(item, quote);
            return out + "]";
        }
        case TJSONValue::TKind::Object: {
            std::string out = "{";
            for (const auto& [name, member] : value.Members())
                out += (out.size() > 1 ? "," : "") + quote(name) + ":" + WriteJSON(member, quote);
            return out + "}";
        }
    }
    return "?";
}

}  // namespace kavrel::test
