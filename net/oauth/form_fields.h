#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Name and value pairs as web forms and query strings carry them
// (application/x-www-form-urlencoded).
namespace kavrel {

using TFormFields = std::vector<std::pair<std::string, std::string>>;

// "a=1&b=2", each name and value percent-encoded.
std::string FormEncode(const TFormFields& fields);

// The pairs of a query or form body, "+" read as a space and %XX decoded; a "%" not followed
// by two hexadecimal digits stays as it is.
TFormFields ParseForm(std::string_view text);

// The value of the first field named name.
std::optional<std::string> FieldValue(const TFormFields& fields, std::string_view name);

}  // namespace kavrel
