#include "net/pop3/server_address.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

constexpr TTLSMode kImplicit = TTLSMode::tmImplicit;
constexpr TTLSMode kOffered = TTLSMode::tmWhenOffered;
constexpr TTLSMode kRequired = TTLSMode::tmRequired;

TEST(ServerAddress, ThePortAndTheWayToTLSComeFromTheText) {
    struct {
        const char* text;
        const char* host;
        int port;
        TTLSMode tls;
    } const rows[] = {
        {"pop.example.org", "pop.example.org", 110, kOffered},
        {"pop.example.org:1100", "pop.example.org", 1100, kOffered},
        {"127.0.0.1:65535", "127.0.0.1", 65535, kOffered},
        {"pop.example.org:995", "pop.example.org", 995, kImplicit},
        {" pop.example.org:995", " pop.example.org", 995, kImplicit},  // the name as typed
        {"pop.example.org:", "pop.example.org:", 110, kOffered},  // the rest is left to the lookup
        {"pop.example.org:0", "pop.example.org:0", 110, kOffered},
        {"pop.example.org:65536", "pop.example.org:65536", 110, kOffered},
        {"pop.example.org:99999999", "pop.example.org:99999999", 110, kOffered},
        {"pop.example.org:+110", "pop.example.org:+110", 110, kOffered},
        {"pop.example.org:11 0", "pop.example.org:11 0", 110, kOffered},
        {"pop.example.org:110 ", "pop.example.org:110 ", 110, kOffered},
        {":110", ":110", 110, kOffered},
        {"a:b:2", "a:b", 2, kOffered},
        {"", "", 110, kOffered},
        {"pop3s://pop.example.org", "pop.example.org", 995, kImplicit},
        {"POP3S://pop.example.org:1995", "pop.example.org", 1995, kImplicit},
        {"pop3s://pop.example.org:110", "pop.example.org", 110, kImplicit},
        {"pop3://pop.example.org", "pop.example.org", 110, kOffered},
        {"pop3://pop.example.org:995", "pop.example.org", 995, kOffered},
        {"pop3://pop.example.org?tls=required", "pop.example.org", 110, kRequired},
        {"pop3://pop.example.org:2110?TLS=Required", "pop.example.org", 2110, kRequired},
        {"pop3://pop.example.org?tls=maybe", "pop.example.org?tls=maybe", 110, kOffered},
        // Only after "pop3://": a bare name with a query fails at the lookup, as typed.
        {"pop.example.org?tls=required", "pop.example.org?tls=required", 110, kOffered},
        {"pop3s://", "", 995, kImplicit},
    };
    for (const auto& r : rows) {
        const TServerAddress a = ServerAddressOf(r.text);
        EXPECT_EQ(a.Host, r.host) << '"' << r.text << '"';
        EXPECT_EQ(a.Port, r.port) << '"' << r.text << '"';
        EXPECT_EQ(a.TLS, r.tls) << '"' << r.text << '"';
    }
}

// A security chosen in the settings decides the way to TLS and the default port; a port typed
// in the text still counts.
TEST(ServerAddress, AChosenSecurityOverridesTheText) {
    constexpr TTLSMode kNone = TTLSMode::tmNone;
    struct {
        const char* text;
        TTLSMode mode;
        const char* host;
        int port;
    } const rows[] = {
        {"pop.example.org", kImplicit, "pop.example.org", 995},
        {"pop.example.org", kRequired, "pop.example.org", 110},
        {"pop.example.org", kNone, "pop.example.org", 110},
        {"pop.example.org:1100", kImplicit, "pop.example.org", 1100},
        {"pop.example.org:995", kNone, "pop.example.org", 995},
        {"pop3s://pop.example.org", kOffered, "pop.example.org", 110},
        {"pop3://pop.example.org:2110?tls=required", kNone, "pop.example.org", 2110},
    };
    for (const auto& r : rows) {
        const TServerAddress a = ServerAddressOf(r.text, r.mode);
        EXPECT_EQ(a.Host, r.host) << r.text;
        EXPECT_EQ(a.Port, r.port) << r.text;
        EXPECT_EQ(a.TLS, r.mode) << r.text;
    }
}

}  // namespace
}  // namespace kavrel
