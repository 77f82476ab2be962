#include "net/oauth/token_endpoint.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "net/oauth/oauth_errors.h"
#include "tests/support/script_server.h"

namespace kavrel {
namespace {

std::string Answer(const std::string& status, const std::string& body) {
    return "HTTP/1.1 " + status +
           "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

// Renewals answered by a scripted token endpoint: what the program keeps, and what the log
// reads when it fails.
TEST(TokenEndpoint, RenewalAnswers) {
    struct {
        const char* name;
        std::string answer;
        std::string result;                  // "access refresh scope", or the error's message
        std::chrono::seconds lifetime = {};  // of the renewed access token
    } const rows[] = {
        {"no new refresh token keeps the old one",
         Answer("200 OK", R"({"access_token":"at2","token_type":"bearer","expires_in":"60"})"),
         "at2 den mail", std::chrono::seconds(60)},
        {"a new refresh token and scope",
         Answer("200 OK",
                R"({"access_token":"at2","refresh_token":"rt2","scope":"a b","expires_in":1800})"),
         "at2 rt2 a b", std::chrono::seconds(1800)},
        {"revoked", Answer("400 Bad Request", R"({"error":"invalid_grant"})"),
         "OAuth: the sign-in was revoked or has expired: sign in again."},
        {"a refusal repeats no secret and stays on one line",
         Answer("401 Unauthorized",
                R"({"error":"invalid_client","error_description":"den cs-1 ?\r\nTrace: 7"})"),
         "OAuth: the token endpoint refused the request: invalid_client ([hidden] [hidden] ? "
         "Trace: 7)."},
        {"not a bearer token", Answer("200 OK", R"({"access_token":"a","token_type":"mac"})"),
         "OAuth: the token endpoint gave a token of type \"mac\", not a bearer token."},
        {"no access token", Answer("200 OK", R"({"token_type":"Bearer"})"),
         "OAuth: the token endpoint's answer holds no access token."},
        {"a broken answer", Answer("200 OK", R"({"access_token":)"),
         "OAuth: the token endpoint's answer is not valid (JSON: a value is missing at byte 16)."},
        {"an error page", Answer("500 Internal Server Error", "<html>oops</html>"),
         "OAuth: the token endpoint answered with HTTP status 500 and no OAuth answer."},
    };
    for (const auto& r : rows) {
        test::TScriptServer server({test::Send(r.answer)});
        TOAuthProvider provider;
        provider.TokenEndpoint = "http://127.0.0.1:" + std::to_string(server.Port()) + "/token";
        provider.ClientId = "kavrel-test";
        provider.ClientSecret = "cs-1";
        TOAuthTokens tokens;
        // Part of the mark a secret is replaced with, so a careless replacement never ends.
        tokens.RefreshToken = "den";
        tokens.Scope = "mail";
        std::string result;
        const TWallClock::time_point before = TWallClock::now();
        try {
            const TOAuthTokens renewed = RefreshTokens(provider, tokens);
            result = renewed.AccessToken + " " + renewed.RefreshToken + " " + renewed.Scope;
            EXPECT_GE(renewed.Expiry, before + r.lifetime) << r.name;
            EXPECT_LE(renewed.Expiry, TWallClock::now() + r.lifetime) << r.name;
        } catch (const EOAuthError& e) {
            result = e.what();
        }
        EXPECT_EQ(result, r.result) << r.name;
    }
}

}  // namespace
}  // namespace kavrel
