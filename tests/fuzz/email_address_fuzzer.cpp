// The address parser and the list splitter over any header value.
#include <string>

#include "base/strings.h"
#include "net/mail/email_address.h"
#include "tests/fuzz/fuzz_support.h"

namespace kavrel {
namespace {

void ParseOne(const std::string& text) {
    TEMailAddressItem item;
    item.Address = "stale";
    item.Name = "stale";
    try {
        item.Text(text);
    } catch (const EEmailParseError&) {
        return;
    }
    const std::string trimmed = Trim(text);
    if (trimmed.find_first_of("(\"< @\t") == std::string::npos) {
        FUZZ_CHECK(item.Address == trimmed && item.Name.empty());
    }
}

void ParseList(const std::string& text) {
    TEMailAddressList list{TEMailAddressItem{"stale", "stale"}};
    try {
        SplitAddressList(list, text);
    } catch (const EEmailParseError&) {
        return;
    }
    for (const auto& item : list) FUZZ_CHECK(!item.Address.empty() || !item.Name.empty());
    if (Trim(text).empty()) FUZZ_CHECK(list.empty());
}

}  // namespace
}  // namespace kavrel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    kavrel::ParseOne(text);
    kavrel::ParseList(text);
    return 0;
}
