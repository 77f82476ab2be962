#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "net/pop3/pop3.h"

// Where an account's "POP Server" text points. A bare name keeps the standard port and "name:port"
// with a decimal port picks another one; both use STLS when the server offers it, and port
// 995 means TLS from the first byte. "pop3s://name[:port]" asks for TLS from the first byte
// (port 995 unless given), "pop3://name[:port]" is a bare name, and "?tls=required" after it
// refuses a server without STLS. The text as typed stays the account's label; only the
// connection uses what is read from it here.
namespace kavrel {

struct TServerAddress {
    std::string Host;
    int Port = 110;
    TTLSMode TLS = TTLSMode::tmWhenOffered;
};

TServerAddress ServerAddressOf(const std::string& server);

// The server of an account whose security was chosen apart from its text: host and port as
// the text gives them (a scheme or "?tls=required" in it does not count), the port otherwise
// the mode's own: 995 for TLS from the first byte, else 110.
TServerAddress ServerAddressOf(const std::string& server, TTLSMode mode);

// Only the "name:port" rule, no scheme read: a valid port is split off, else the whole text
// is the host and the port is defaultPort.
TServerAddress SplitHostPort(std::string_view text, int defaultPort);

// Gives the session the host, port and TLS mode of server; a mode given overrides the one the
// text implies.
void SetServer(TPOP3& client, const std::string& server,
               std::optional<TTLSMode> mode = std::nullopt);

}  // namespace kavrel
