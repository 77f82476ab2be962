#include "net/oauth/loopback_redirect.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/oauth/oauth_errors.h"
#include "tests/support/raw_client.h"

namespace kavrel {
namespace {

using namespace std::chrono_literals;

// "STATUS text" of the answer: its status code and the last line of its body.
std::string ReadPage(test::TRawClient& client) {
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

TEST(LoopbackRedirect, TheBrowsersRequests) {
    const std::string signedIn = "200 Kavrel is signed in. You can close this page.";
    const std::string otherSignIn =
        "OAuth: the browser came back from another sign-in than this one: sign in again.";
    struct {
        const char* name;
        // Sent in order, each on a connection of its own, before the wait; "" connects only,
        // as a browser's spare connection does.
        std::vector<std::string> requests;
        std::string result;  // the code, or the error's message
        std::vector<std::string> pages;
    } const rows[] = {
        {"the answer", {"/?code=c1&state=s1"}, "c1", {signedIn}},
        {"decoded", {"/?state=s1&code=c%2B1+x&scope=mail"}, "c+1 x", {signedIn}},
        {"the icon first",
         {"/favicon.ico", "/?code=c1&state=s1"},
         "c1",
         {"404 Not found.", signedIn}},
        {"a spare connection first", {"", "/?code=c1&state=s1"}, "c1", {"", signedIn}},
        {"another sign-in's state",
         {"/?code=c1&state=s0"},
         otherSignIn,
         {"400 Kavrel could not sign in: this page belongs to another sign-in. You can close this "
          "page."}},
        {"no state", {"/?code=c1"}, otherSignIn, {}},
        {"refused",
         {"/?error=access_denied&error_description=The+user+said+no&state=s1"},
         "OAuth: the sign-in was cancelled or refused in the browser.",
         {"400 Kavrel could not sign in: the sign-in was cancelled or refused. You can close this "
          "page."}},
        {"another error",
         {"/?error=server_error&state=s1"},
         "OAuth: the provider refused the sign-in: server_error.",
         {}},
        {"an empty code",
         {"/?code=&state=s1"},
         "OAuth: the provider sent the browser back without a code.",
         {}},
        {"nothing comes",
         {},
         "OAuth: the browser did not come back from the sign-in in time: sign in again.",
         {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TLoopbackRedirect redirect;
        EXPECT_EQ(redirect.RedirectUri(),
                  "http://127.0.0.1:" + std::to_string(redirect.Port()) + "/");
        std::vector<std::unique_ptr<test::TRawClient>> browsers;
        for (const std::string& target : r.requests) {
            browsers.push_back(std::make_unique<test::TRawClient>(redirect.Port()));
            if (target.empty()) continue;
            browsers.back()->Send("GET " + target +
                                  " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/html\r\n\r\n");
        }
        int hooks = 0;
        std::string result;
        try {
            result = redirect.Wait("s1", 500ms, [&] { ++hooks; });
        } catch (const EOAuthError& e) {
            result = e.what();
        }
        EXPECT_EQ(result, r.result);
        EXPECT_GT(hooks, 0);
        for (std::size_t i = 0; i < r.pages.size(); ++i) {
            if (!r.pages[i].empty()) {
                EXPECT_EQ(ReadPage(*browsers[i]), r.pages[i]);
            }
        }
    }
}

// The user cancels from the window: whatever the hook throws ends the wait.
TEST(LoopbackRedirect, TheHookCancels) {
    TLoopbackRedirect redirect;
    struct TCancelled {};
    EXPECT_THROW(redirect.Wait("s1", 60s, [] { throw TCancelled{}; }), TCancelled);
}

}  // namespace
}  // namespace kavrel
