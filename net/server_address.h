#pragma once

#include <string>

// Where an account's "POP Server" text points: a bare name keeps the standard port, and
// "name:port" with a decimal port picks another one. The text as typed stays the account's
// label; only the connection uses what is read from it here.
namespace kavrel {

class TTCPClient;

struct TServerAddress {
    std::string Host;
    int Port = 110;
};

TServerAddress ServerAddressOf(const std::string& server);

// Gives the client the host and port of server.
void SetServer(TTCPClient& client, const std::string& server);

}  // namespace kavrel
