#include "net/server_address.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(ServerAddress, APortIsTakenOnlyWhenItIsOne) {
    struct {
        const char* text;
        const char* host;
        int port;
    } const rows[] = {
        {"pop.example.org", "pop.example.org", 110},
        {"pop.example.org:1100", "pop.example.org", 1100},
        {"127.0.0.1:65535", "127.0.0.1", 65535},
        {" pop.example.org:995", " pop.example.org", 995},  // the name as typed
        {"pop.example.org:", "pop.example.org:", 110},      // the rest is left to the lookup
        {"pop.example.org:0", "pop.example.org:0", 110},
        {"pop.example.org:65536", "pop.example.org:65536", 110},
        {"pop.example.org:99999999", "pop.example.org:99999999", 110},
        {"pop.example.org:+110", "pop.example.org:+110", 110},
        {"pop.example.org:11 0", "pop.example.org:11 0", 110},
        {"pop.example.org:110 ", "pop.example.org:110 ", 110},
        {":110", ":110", 110},
        {"a:b:2", "a:b", 2},
        {"", "", 110},
    };
    for (const auto& r : rows) {
        const TServerAddress a = ServerAddressOf(r.text);
        EXPECT_EQ(a.Host, r.host) << '"' << r.text << '"';
        EXPECT_EQ(a.Port, r.port) << '"' << r.text << '"';
    }
}

}  // namespace
}  // namespace kavrel
