// JSON texts read by the strict reader.
//
// Input: the text itself.
#include <cstdio>
#include <string>

#include "base/json.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/json_writer.h"

namespace {

// A string as JSON: raw UTF-8, escapes only where the grammar needs them.
std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
    fuzz::TFuzzInput input(data, size);
    const std::string_view text = input.Rest();
    TJSONValue value;
    try {
        value = ParseJSON(text);
    } catch (const EJSONError&) {
        return 0;
    }
    // What was read is valid JSON again, strings included (they must be well-formed UTF-8),
    // and reads back as the same value.
    const std::string written = test::WriteJSON(value, Quoted);
    // Numbers may grow when written ("9e9"), past the bound on a text.
    if (written.size() > kMaxJSONBytes) return 0;
    try {
        FUZZ_CHECK(ParseJSON(written) == value);
    } catch (const EJSONError&) {
        fuzz::Broken("the value's own text reads back", __FILE__, __LINE__);
    }
    return 0;
}
