#include "net/oauth/oauth_provider.h"

#include <algorithm>

#include "base/strings.h"
#include "net/http/uri.h"
#include "net/oauth/oauth_errors.h"

namespace kavrel {
namespace {

// 127.0.0.0/8 written as a dotted address. A name such as "localhost" could be resolved
// elsewhere and is not taken.
bool IsLoopbackAddress(const std::string& host) {
    if (!host.starts_with("127.")) return false;
    int parts = 0;
    std::size_t at = 0;
    while (at <= host.size()) {
        const std::size_t dot = std::min(host.find('.', at), host.size());
        const std::string part = host.substr(at, dot - at);
        if (part.empty() || part.size() > 3 ||
            part.find_first_not_of("0123456789") != std::string::npos || std::stoi(part) > 255)
            return false;
        ++parts;
        at = dot + 1;
    }
    return parts == 4;
}

}  // namespace

bool NeedsRefresh(const TOAuthTokens& tokens, TWallClock::time_point now) {
    return tokens.AccessToken.empty() || tokens.Expiry - now < kRefreshMargin;
}

void CheckEndpoint(const std::string& url, const std::string& what) {
    if (url.empty()) throw EOAuthError("OAuth: the provider's " + what + " is not set.");
    TURI uri;
    uri.ParseUri(url);
    const bool secure = SameText(uri.Protocol, "https") && !uri.Host.empty();
    const bool local = SameText(uri.Protocol, "http") && IsLoopbackAddress(uri.Host);
    if (!secure && !local) {
        throw EOAuthError("OAuth: the " + what + " \"" + url +
                          "\" is refused: it must use https (http only to this computer).");
    }
}

}  // namespace kavrel
