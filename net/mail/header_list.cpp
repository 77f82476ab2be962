#include "net/mail/header_list.h"

#include "base/strings.h"

namespace kavrel {

std::string FieldNameOf(std::string_view line) {
    const auto colon = line.find(':');
    return colon == std::string_view::npos ? std::string() : UpperCase(line.substr(0, colon));
}

void THeaderList::Add(std::string line) {
    if (!line.empty()) lines_.push_back(std::move(line));
}

std::string THeaderList::HeaderValue(std::string_view name) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const std::string& line = lines_[i];
        const auto colon = line.find(':');
        if (colon == std::string::npos ||
            !SameText(std::string_view(line).substr(0, colon), name)) {
            continue;
        }
        // Built in place: copying the value at every continuation line made a long fold
        // quadratic.
        std::string value = Trim(std::string_view(line).substr(colon + 1));
        for (std::size_t j = i + 1; j < lines_.size(); ++j) {
            const char first = lines_[j].front();
            if (first != ' ' && first != '\t') break;
            while (!value.empty() && IsBlank(value.back())) value.pop_back();
            if (!value.empty()) value += ' ';
            value += Trim(lines_[j]);
        }
        while (!value.empty() && IsBlank(value.back())) value.pop_back();
        return value;
    }
    return {};
}

}  // namespace kavrel
