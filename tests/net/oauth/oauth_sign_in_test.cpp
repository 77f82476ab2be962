#include "net/oauth/oauth_sign_in.h"

#include <gtest/gtest.h>

#include <string>

#include "base/json.h"
#include "net/oauth/oauth_errors.h"
#include "tests/support/oauth_server.h"

namespace kavrel {
namespace {

TOAuthProvider ProviderOf(test::TOAuthServer& server, const std::string& clientId = "kavrel-test") {
    TOAuthProvider provider;
    provider.AuthorizationEndpoint = server.Url("/authorize");
    provider.TokenEndpoint = server.Url("/token");
    provider.DeviceAuthorizationEndpoint = server.Url("/device_authorization");
    provider.Scope = "mail offline";
    provider.ClientId = clientId;
    return provider;
}

// Whom the mail server would log in with this access token; "" when it would refuse it.
std::string UserOf(test::TOAuthServer& server, const std::string& accessToken) {
    const TJSONValue answer = ParseJSON(server.Post("/introspect", "token=" + accessToken).body);
    const TJSONValue* user = answer.Find("username");
    return answer.Find("active")->AsBool() && user ? user->AsString() : "";
}

TEST(OAuthSignIn, DeviceCodeOutcomes) {
    enum class TUser { Approves, Refuses, NeverComes };
    struct {
        const char* name;
        std::string clientId;
        TUser user;
        std::string error;  // "" when the sign-in succeeds
    } const rows[] = {
        {"approved after a wait", "kavrel-test", TUser::Approves, ""},
        {"refused", "kavrel-test", TUser::Refuses,
         "OAuth: the sign-in was refused on the provider's page."},
        {"the code expires", "kavrel-test", TUser::NeverComes,
         "OAuth: the sign-in code expired before it was entered: start the sign-in again."},
        {"an unknown client", "nobody", TUser::Approves,
         "OAuth: the device authorization endpoint refused the request: invalid_client (unknown "
         "client nobody)."},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        test::TOAuthServer::TOptions options;
        options.interval = 0;  // the client still waits a slice between polls
        test::TOAuthServer server(options);
        server.SetConsent(r.user != TUser::Refuses);
        std::string userCode;
        std::string page;
        auto showCode = [&](const std::string& code, const std::string& uri) {
            userCode = code;
            page = uri;
        };
        // The user answers only once the program has been told to wait.
        bool answered = false;
        auto hook = [&] {
            if (answered || server.Stats()["device_code"] < 1) return;
            answered = true;
            if (r.user == TUser::NeverComes) {
                server.ExpireDeviceCodes();
            } else {
                server.Get("/device?user_code=" + userCode);
            }
        };
        std::string error;
        try {
            const TOAuthTokens tokens =
                SignInWithDeviceCode(ProviderOf(server, r.clientId), showCode, hook);
            EXPECT_EQ(UserOf(server, tokens.AccessToken), "ann");
            EXPECT_FALSE(tokens.RefreshToken.empty());
            EXPECT_EQ(page, server.Url("/device"));
            EXPECT_GE(server.Stats()["device_code"], 2);
        } catch (const EOAuthError& e) {
            error = e.what();
        }
        EXPECT_EQ(error, r.error);
    }
}

}  // namespace
}  // namespace kavrel
