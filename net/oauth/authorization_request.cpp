#include "net/oauth/authorization_request.h"

#include "net/oauth/form_fields.h"

namespace kavrel {

std::string AuthorizationUrl(const TOAuthProvider& provider, const std::string& redirectUri,
                             const std::string& challenge, const std::string& state,
                             const std::string& loginHint) {
    TFormFields fields{{"response_type", "code"},
                       {"client_id", provider.ClientId},
                       {"redirect_uri", redirectUri},
                       {"scope", provider.Scope},
                       {"state", state},
                       {"code_challenge", challenge},
                       {"code_challenge_method", "S256"}};
    if (!loginHint.empty()) fields.emplace_back("login_hint", loginHint);
    const std::string& endpoint = provider.AuthorizationEndpoint;
    // An endpoint may carry a query of its own (a tenant, a policy); ours is added to it.
    std::string url = endpoint + (endpoint.find('?') == std::string::npos ? "?" : "&");
    url += FormEncode(fields);
    if (!provider.ExtraAuthorizationParameters.empty())
        url += "&" + provider.ExtraAuthorizationParameters;
    return url;
}

}  // namespace kavrel
