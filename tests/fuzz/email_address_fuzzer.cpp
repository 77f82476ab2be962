// The address parser and the list splitter over any header value.
#include <string>

#include "base/strings.h"
#include "net/mail/email_address.h"
#include "tests/fuzz/fuzz_support.h"

namespace kavrel {
namespace {

bool Same(const TEMailAddressItem& a, const TEMailAddressItem& b) {
    return a.Address == b.Address && a.Name == b.Name;
}

// The sender among a list's items: its first real address, else its first local one, else
// its first bare name.
TEMailAddressItem SenderOf(const TEMailAddressList& list) {
    const TEMailAddressItem* best = nullptr;
    auto rank = [](const TEMailAddressItem& item) {
        return item.Address.find('@') != std::string::npos ? 3 : !item.Address.empty() ? 2 : 1;
    };
    for (const auto& item : list) {
        if (best == nullptr || rank(item) > rank(*best)) best = &item;
    }
    return best != nullptr ? *best : TEMailAddressItem{};
}

// An address and a name that can be written back without quoting rules of their own.
bool Writable(const TEMailAddressItem& item) {
    for (const char c : item.Address) {
        const bool letter =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letter && std::string_view("!#$%&'*+-/=?^_`{|}~.@").find(c) == std::string_view::npos)
            return false;
    }
    return item.Name.find_first_of("\"\\") == std::string::npos;
}

void Check(const std::string& text) {
    TEMailAddressItem item{"stale", "stale"};
    TEMailAddressList list{TEMailAddressItem{"stale", "stale"}};
    bool itemFailed = false;
    bool listFailed = false;
    try {
        item.Text(text);
    } catch (const EEmailParseError&) {
        itemFailed = true;
    }
    try {
        SplitAddressList(list, text);
    } catch (const EEmailParseError&) {
        listFailed = true;
    }
    // Only an "@" outside an address fails.
    if (text.find('@') == std::string::npos) FUZZ_CHECK(!itemFailed && !listFailed);
    // The sender is found without reading past it, so only a failure of the list may spare it.
    if (listFailed) return;
    FUZZ_CHECK(!itemFailed);
    FUZZ_CHECK(Same(item, SenderOf(list)));
    for (const auto& i : list) FUZZ_CHECK(!i.Address.empty() || !i.Name.empty());
    if (Trim(text).empty()) FUZZ_CHECK(list.empty());

    // Written back in the plainest form, the list reads the same.
    std::string written;
    for (const auto& i : list) {
        if (!Writable(i)) return;
        if (!written.empty()) written += ", ";
        if (!i.Name.empty()) written += "\"" + i.Name + "\" ";
        if (!i.Address.empty()) written += "<" + i.Address + ">";
    }
    TEMailAddressList again;
    SplitAddressList(again, written);
    FUZZ_CHECK(again.size() == list.size());
    for (std::size_t n = 0; n < list.size(); ++n) FUZZ_CHECK(Same(again[n], list[n]));
}

}  // namespace
}  // namespace kavrel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kavrel::Check(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
