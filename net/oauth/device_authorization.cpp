#include "net/oauth/device_authorization.h"

#include "net/oauth/oauth_errors.h"
#include "net/oauth/token_endpoint.h"

namespace kavrel {
namespace {

constexpr const char* kDeviceEndpoint = "device authorization endpoint";
constexpr const char* kDeviceGrant = "urn:ietf:params:oauth:grant-type:device_code";
constexpr std::chrono::seconds kSlowDownStep{5};
constexpr std::chrono::seconds kDefaultCodeLifetime{600};

std::string StringOf(const TJSONValue& object, std::string_view name) {
    const std::string* value = object.FindString(name);
    return value ? *value : std::string();
}

// Whole seconds from 0 up to a day; fallback for anything else.
std::chrono::seconds SecondsOf(const TJSONValue& object, std::string_view name,
                               std::chrono::seconds fallback) {
    const TJSONValue* value = object.Find(name);
    if (!value || value->Kind() != TJSONValue::TKind::Number) return fallback;
    const double seconds = value->AsNumber();
    if (!(seconds >= 0 && seconds <= 86400)) return fallback;
    return std::chrono::seconds(static_cast<std::int64_t>(seconds));
}

[[noreturn]] void FailExpired() {
    throw EOAuthError(
        "OAuth: the sign-in code expired before it was entered: start the sign-in again.");
}

}  // namespace

TDeviceAuthorization StartDeviceAuthorization(const TOAuthProvider& provider,
                                              const TOAuthWaitHook& hook) {
    if (provider.DeviceAuthorizationEndpoint.empty())
        throw EOAuthError("OAuth: this provider offers no sign-in with a code.");
    TFormFields form = ClientFields(provider);
    form.emplace_back("scope", provider.Scope);
    const TEndpointAnswer answer =
        PostForm(provider.DeviceAuthorizationEndpoint, form, kDeviceEndpoint, hook);
    if (!answer.Error.empty()) FailWithRefusal(answer, kDeviceEndpoint);
    TDeviceAuthorization authorization;
    authorization.DeviceCode = StringOf(answer.Body, "device_code");
    authorization.UserCode = StringOf(answer.Body, "user_code");
    authorization.VerificationUri = StringOf(answer.Body, "verification_uri");
    // An early draft of the RFC, which some providers still follow, said "url".
    if (authorization.VerificationUri.empty())
        authorization.VerificationUri = StringOf(answer.Body, "verification_url");
    authorization.ExpiresIn = SecondsOf(answer.Body, "expires_in", kDefaultCodeLifetime);
    authorization.Interval = SecondsOf(answer.Body, "interval", std::chrono::seconds(5));
    if (authorization.DeviceCode.empty() || authorization.UserCode.empty() ||
        authorization.VerificationUri.empty()) {
        throw EOAuthError(
            "OAuth: the device authorization endpoint's answer lacks the code or the page to "
            "enter it on.");
    }
    return authorization;
}

TOAuthTokens PollDeviceToken(const TOAuthProvider& provider,
                             const TDeviceAuthorization& authorization,
                             const TOAuthWaitHook& hook) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + authorization.ExpiresIn;
    std::chrono::seconds interval = authorization.Interval;
    const TFormFields form{{"grant_type", kDeviceGrant}, {"device_code", authorization.DeviceCode}};
    for (;;) {
        PauseFor(interval, hook);
        if (Clock::now() >= deadline) FailExpired();
        const TEndpointAnswer answer = PostToTokenEndpoint(provider, form, hook);
        if (answer.Error.empty()) return TokensOf(answer, provider.Scope);
        if (answer.Error == "authorization_pending") continue;
        if (answer.Error == "slow_down") {
            interval += kSlowDownStep;
            continue;
        }
        if (answer.Error == "access_denied")
            throw EOAuthError("OAuth: the sign-in was refused on the provider's page.");
        if (answer.Error == "expired_token") FailExpired();
        FailWithRefusal(answer, "token endpoint");
    }
}

}  // namespace kavrel
