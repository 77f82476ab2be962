#include <gtest/gtest.h>

#include <string>

#include "base/json.h"
#include "tests/support/oauth_server.h"

namespace kavrel::test {
namespace {

// A field of the answer: a query parameter of its redirection (none has percent-escapes
// here), else a string member of its JSON body.
std::string Field(const TOAuthServer::TAnswer& answer, const std::string& name) {
    const std::string location = answer.Header("Location");
    if (location.empty()) {
        const TJSONValue json = ParseJSON(answer.body);
        const std::string* value = json.FindString(name);
        return value ? *value : "";
    }
    const auto at = location.find(name + "=");
    if (at == std::string::npos) return {};
    return location.substr(at + name.size() + 1, location.find('&', at) - at - 1 - name.size());
}

// The fixture itself refuses what a real authorization server refuses, so that a client test
// against it cannot pass by being sloppy. The challenge is the verifier's S256 (RFC 7636 4.2).
TEST(OAuthFixture, RefusesWhatARealServerRefuses) {
    TOAuthServer server({.interval = 60});
    const std::string authorize =
        "/authorize?response_type=code&client_id=kavrel-test&redirect_uri=http://127.0.0.1:9/cb"
        "&state=s1&code_challenge=NZA6p0JSYVG2S68F3e6Td0ROKikn-3YF9s8ot_kVc84"
        "&code_challenge_method=S256&scope=mail&login_hint=bob";
    const auto codeGrant = [&](const std::string& code, const std::string& verifier) {
        return server.Post("/token",
                           "grant_type=authorization_code&client_id=kavrel-test"
                           "&redirect_uri=http://127.0.0.1:9/cb&code=" +
                               code + "&code_verifier=" + verifier);
    };
    const auto refresh = [&](const std::string& token) {
        return server.Post("/token",
                           "grant_type=refresh_token&client_id=kavrel-test&refresh_token=" + token);
    };
    const std::string verifier = "dBjftJeZ4CVP-mJ92IqX8XdQH-3-yMnHQIT1xwMJL7s";

    const std::string code = Field(server.Get(authorize), "code");
    EXPECT_EQ(Field(codeGrant(code, verifier + "x"), "error"), "invalid_grant") << "verifier";
    const std::string code2 = Field(server.Get(authorize), "code");
    const auto tokens = codeGrant(code2, verifier);
    ASSERT_EQ(tokens.status, 200) << tokens.body;
    EXPECT_EQ(Field(codeGrant(code2, verifier), "error"), "invalid_grant") << "code used twice";

    EXPECT_EQ(refresh(Field(tokens, "refresh_token")).status, 200);
    EXPECT_EQ(Field(refresh(Field(tokens, "refresh_token")), "error"), "invalid_grant")
        << "rotated";

    const auto device = server.Post("/device_authorization", "client_id=kavrel-test&scope=mail");
    const std::string poll =
        "grant_type=urn:ietf:params:oauth:grant-type:device_code"
        "&client_id=kavrel-test&device_code=" +
        Field(device, "device_code");
    EXPECT_EQ(Field(server.Post("/token", poll), "error"), "authorization_pending");
    EXPECT_EQ(Field(server.Post("/token", poll), "error"), "slow_down");

    EXPECT_EQ(Field(server.Get("/authorize?response_type=code&client_id=other&redirect_uri="
                               "http://127.0.0.1:9/cb&state=s2"),
                    "error"),
              "unauthorized_client");
    server.SetConsent(false);
    EXPECT_EQ(Field(server.Get(authorize), "error"), "access_denied");
    EXPECT_EQ(server.Stats()["authorization_code"], 3);
}

}  // namespace
}  // namespace kavrel::test
