#include "net/server_address.h"

#include "net/tcp_client.h"

namespace kavrel {

TServerAddress ServerAddressOf(const std::string& server) {
    TServerAddress address;
    address.Host = server;
    const auto colon = server.rfind(':');
    if (colon == std::string::npos || colon == 0) return address;
    const std::string digits = server.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return address;
    int port = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return address;
        port = port * 10 + (c - '0');
    }
    // Anything else is left whole, to fail at the name lookup as it always has.
    if (port < 1 || port > 65535) return address;
    address.Host = server.substr(0, colon);
    address.Port = port;
    return address;
}

void SetServer(TTCPClient& client, const std::string& server) {
    const TServerAddress address = ServerAddressOf(server);
    client.Host = address.Host;
    client.Port = address.Port;
}

}  // namespace kavrel
