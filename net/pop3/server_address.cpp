#include "net/pop3/server_address.h"

#include <string_view>

#include "base/strings.h"

namespace kavrel {
namespace {

constexpr int kPop3Port = 110;
constexpr int kPop3sPort = 995;

bool TakePrefix(std::string_view& text, std::string_view prefix) {
    if (!StartsText(text, prefix)) return false;
    text.remove_prefix(prefix.size());
    return true;
}

// "name:port" with a port of 1 to 65535 in decimal digits; anything else is left whole, to
// fail at the name lookup as it always has.
void SplitPort(std::string_view text, TServerAddress& address) {
    address.Host = std::string(text);
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return;
    const std::string_view digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return;
    int port = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535) return;
    address.Host = std::string(text.substr(0, colon));
    address.Port = port;
}

}  // namespace

TServerAddress ServerAddressOf(const std::string& server) {
    TServerAddress address;
    std::string_view text = server;
    if (TakePrefix(text, "pop3s://")) {
        address.Port = kPop3sPort;
        address.TLS = TTLSMode::tmImplicit;
        SplitPort(text, address);
        return address;
    }
    if (TakePrefix(text, "pop3://")) {
        const auto query = text.rfind('?');
        if (query != std::string_view::npos && SameText(text.substr(query), "?tls=required")) {
            address.TLS = TTLSMode::tmRequired;
            text = text.substr(0, query);
        }
        SplitPort(text, address);
        return address;
    }
    address.Port = kPop3Port;
    SplitPort(text, address);
    if (address.Port == kPop3sPort) address.TLS = TTLSMode::tmImplicit;
    return address;
}

TServerAddress ServerAddressOf(const std::string& server, TTLSMode mode) {
    std::string_view text = server;
    if (!TakePrefix(text, "pop3s://") && TakePrefix(text, "pop3://")) {
        const auto query = text.rfind('?');
        if (query != std::string_view::npos && SameText(text.substr(query), "?tls=required")) {
            text = text.substr(0, query);
        }
    }
    TServerAddress address;
    address.Port = mode == TTLSMode::tmImplicit ? kPop3sPort : kPop3Port;
    address.TLS = mode;
    SplitPort(text, address);
    return address;
}

TServerAddress SplitHostPort(std::string_view text, int defaultPort) {
    TServerAddress address;
    address.Port = defaultPort;
    SplitPort(text, address);
    return address;
}

void SetServer(TPOP3& client, const std::string& server, std::optional<TTLSMode> mode) {
    const TServerAddress address = mode ? ServerAddressOf(server, *mode) : ServerAddressOf(server);
    client.Host = address.Host;
    client.Port = address.Port;
    client.TLS = address.TLS;
}

}  // namespace kavrel
