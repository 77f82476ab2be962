#pragma once

#include <stdexcept>
#include <string>

#include "tests/support/oauth_server.h"
#include "tests/support/raw_client.h"

// The browser's part in a sign-in, played over plain sockets.
namespace kavrel::test {

// Sends a browser's GET of target.
inline void SendGet(TRawClient& client, const std::string& target) {
    client.Send("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/html\r\n\r\n");
}

// "STATUS text" of the answer: its status code and the last line of its body.
inline std::string ReadPage(TRawClient& client) {
    const std::string status = client.ReadLine();
    std::string last;
    try {
        for (;;) {
            const std::string line = client.ReadLine();
            if (!line.empty()) last = line;
        }
    } catch (const std::runtime_error&) {
        // The page ends with the connection.
    }
    return status.substr(9, 3) + " " + last;
}

// Opens url at the test server, which consents at once, and follows its redirection to the
// loopback listener; the listener's page comes back.
inline std::string PlayBrowser(TOAuthServer& server, const std::string& url) {
    const std::string prefix = server.Url("");
    const TOAuthServer::TAnswer consent = server.Get(url.substr(prefix.size()));
    const std::string location = consent.Header("Location");
    const std::string loopback = "http://127.0.0.1:";
    if (consent.status != 302 || !location.starts_with(loopback))
        return "no redirection: " + std::to_string(consent.status) + " " + consent.body;
    const std::size_t slash = location.find('/', loopback.size());
    TRawClient client(std::stoi(location.substr(loopback.size(), slash - loopback.size())));
    SendGet(client, location.substr(slash));
    return ReadPage(client);
}

}  // namespace kavrel::test
