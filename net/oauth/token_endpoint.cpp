#include "net/oauth/token_endpoint.h"

#include <cmath>

#include "base/integer.h"
#include "base/strings.h"
#include "net/http/http_client.h"
#include "net/oauth/oauth_errors.h"

namespace kavrel {
namespace {

constexpr int kConnectTimeout = 10000;
constexpr int kReadTimeout = 30000;
constexpr std::size_t kMaxDescription = 300;
constexpr const char* kTokenEndpoint = "token endpoint";
// What to assume when an answer gives no usable lifetime: the usual one.
constexpr std::chrono::seconds kDefaultLifetime{3600};

// The form fields whose values must never reach a message, even when a server echoes them.
constexpr const char* kSecretFields[] = {"code", "code_verifier", "refresh_token", "device_code",
                                         "client_secret"};

std::string ForTheLog(std::string text, const TFormFields& form) {
    for (const char* name : kSecretFields) {
        const std::optional<std::string> secret = FieldValue(form, name);
        if (!secret || secret->empty()) continue;
        const std::string hidden = "[hidden]";
        for (std::size_t at = text.find(*secret); at != std::string::npos;
             at = text.find(*secret, at + hidden.size()))
            text.replace(at, secret->size(), hidden);
    }
    // One line: providers add trace ids and times on lines of their own.
    std::string line;
    for (const char c : text) {
        const bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        if (!control) {
            line += c;
        } else if (!line.empty() && line.back() != ' ') {
            line += ' ';
        }
    }
    line = Trim(line);
    if (line.size() > kMaxDescription) {
        std::size_t cut = kMaxDescription;
        // Not inside a UTF-8 sequence.
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
        line = line.substr(0, cut) + "...";
    }
    return line;
}

}  // namespace

TEndpointAnswer PostForm(const std::string& url, const TFormFields& form, const std::string& what,
                         const TOAuthWaitHook& hook) {
    CheckEndpoint(url, what);
    THTTPClient http;
    if (hook) http.OnWaiting = [&hook](TNetComponent&) { hook(); };
    http.ConnectTimeout = kConnectTimeout;
    http.ReadTimeout = kReadTimeout;
    http.AllowCookies = false;
    http.Request.Accept = "application/json";
    std::string body;
    try {
        body = http.Post(url, "application/x-www-form-urlencoded", FormEncode(form));
    } catch (const ENetException& e) {
        throw EOAuthError("OAuth: the " + what + " could not be reached: " + e.what());
    }
    const int status = http.ResponseCode();
    TEndpointAnswer answer;
    try {
        answer.Body = ParseJSON(body);
    } catch (const EJSONError& e) {
        if (status == 200)
            throw EOAuthError("OAuth: the " + what + "'s answer is not valid (" + e.what() + ").");
    }
    if (answer.Body.Kind() != TJSONValue::TKind::Object) {
        throw EOAuthError("OAuth: the " + what + " answered with HTTP status " + IntToStr(status) +
                          " and no OAuth answer.");
    }
    if (const std::string* error = answer.Body.FindString("error")) {
        answer.Error = ForTheLog(*error, form);
        if (answer.Error.empty()) answer.Error = "an unnamed error";
        if (const std::string* description = answer.Body.FindString("error_description"))
            answer.Description = ForTheLog(*description, form);
    } else if (status != 200) {
        throw EOAuthError("OAuth: the " + what + " answered with HTTP status " + IntToStr(status) +
                          ".");
    }
    return answer;
}

TFormFields ClientFields(const TOAuthProvider& provider) {
    if (provider.ClientId.empty())
        throw EOAuthError("OAuth: no client id is set for this provider.");
    TFormFields fields{{"client_id", provider.ClientId}};
    if (!provider.ClientSecret.empty()) fields.emplace_back("client_secret", provider.ClientSecret);
    return fields;
}

TOAuthTokens TokensOf(const TEndpointAnswer& answer, const std::string& scope) {
    const std::string* access = answer.Body.FindString("access_token");
    if (!access || access->empty())
        throw EOAuthError("OAuth: the token endpoint's answer holds no access token.");
    // POP3 sends the token as a bearer token; one of another type would be refused there.
    if (const std::string* type = answer.Body.FindString("token_type");
        type && !SameText(*type, "Bearer")) {
        throw EOAuthError("OAuth: the token endpoint gave a token of type \"" +
                          ForTheLog(*type, {}) + "\", not a bearer token.");
    }
    TOAuthTokens tokens;
    tokens.AccessToken = *access;
    if (const std::string* refresh = answer.Body.FindString("refresh_token"))
        tokens.RefreshToken = *refresh;
    const std::string* named = answer.Body.FindString("scope");
    tokens.Scope = named && !named->empty() ? *named : scope;
    // Some services write the lifetime as a string of digits.
    std::chrono::seconds lifetime = kDefaultLifetime;
    if (const TJSONValue* value = answer.Body.Find("expires_in")) {
        double seconds = -1;
        if (value->Kind() == TJSONValue::TKind::Number) seconds = value->AsNumber();
        if (value->Kind() == TJSONValue::TKind::String) {
            if (const auto parsed = TryDecimalToInt(value->AsString())) seconds = *parsed;
        }
        // A year or more is no lifetime a provider means.
        if (seconds >= 0 && seconds < 366.0 * 24 * 3600)
            lifetime = std::chrono::seconds(static_cast<std::int64_t>(std::floor(seconds)));
    }
    tokens.Expiry = TWallClock::now() + lifetime;
    return tokens;
}

TEndpointAnswer PostToTokenEndpoint(const TOAuthProvider& provider, TFormFields form,
                                    const TOAuthWaitHook& hook) {
    for (auto& field : ClientFields(provider)) form.push_back(std::move(field));
    return PostForm(provider.TokenEndpoint, form, kTokenEndpoint, hook);
}

void FailWithRefusal(const TEndpointAnswer& answer, const std::string& what) {
    std::string text = "OAuth: the " + what + " refused the request: " + answer.Error;
    if (!answer.Description.empty()) text += " (" + answer.Description + ")";
    throw EOAuthError(text + ".");
}

TOAuthTokens ExchangeCode(const TOAuthProvider& provider, const std::string& code,
                          const std::string& redirectUri, const std::string& verifier,
                          const TOAuthWaitHook& hook) {
    TFormFields form{{"grant_type", "authorization_code"},
                     {"code", code},
                     {"redirect_uri", redirectUri},
                     {"code_verifier", verifier}};
    const TEndpointAnswer answer = PostToTokenEndpoint(provider, std::move(form), hook);
    if (!answer.Error.empty()) FailWithRefusal(answer, kTokenEndpoint);
    return TokensOf(answer, provider.Scope);
}

TOAuthTokens RefreshTokens(const TOAuthProvider& provider, const TOAuthTokens& tokens,
                           const TOAuthWaitHook& hook) {
    if (tokens.RefreshToken.empty()) {
        throw EOAuthSignInExpired(
            "OAuth: the provider gave no refresh token, so the sign-in cannot be renewed: sign in "
            "again.");
    }
    TFormFields form{{"grant_type", "refresh_token"}, {"refresh_token", tokens.RefreshToken}};
    // Some providers want the scope again; asking for the same one is always allowed.
    if (!provider.Scope.empty()) form.emplace_back("scope", provider.Scope);
    const TEndpointAnswer answer = PostToTokenEndpoint(provider, std::move(form), hook);
    if (answer.Error == "invalid_grant") throw EOAuthSignInExpired();
    if (!answer.Error.empty()) FailWithRefusal(answer, kTokenEndpoint);
    TOAuthTokens renewed = TokensOf(answer, tokens.Scope);
    if (renewed.RefreshToken.empty()) renewed.RefreshToken = tokens.RefreshToken;
    return renewed;
}

}  // namespace kavrel
