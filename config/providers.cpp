#include "config/providers.h"

#include "base/strings.h"
#include "config/ini_file.h"
#include "config/u_globals.h"

// Client ids are issued to whoever builds and distributes the program (cmake
// -DKAVREL_GOOGLE_CLIENT_ID=... and so on); the source carries none.
#ifndef KAVREL_GOOGLE_CLIENT_ID
#define KAVREL_GOOGLE_CLIENT_ID ""
#endif
#ifndef KAVREL_GOOGLE_CLIENT_SECRET
#define KAVREL_GOOGLE_CLIENT_SECRET ""
#endif
#ifndef KAVREL_MICROSOFT_CLIENT_ID
#define KAVREL_MICROSOFT_CLIENT_ID ""
#endif

namespace kavrel {
namespace {

const char* const kAppPassword =
    "an app password made in the provider's account security settings (two-step "
    "verification must be on); the usual password is refused";

std::vector<TProvider> MakeProviders() {
    std::vector<TProvider> list;
    const auto add = [&](std::string id, std::string name, std::string server, std::string note,
                         bool oauth = false, bool password = true) {
        TProvider p;
        p.Id = std::move(id);
        p.Name = std::move(name);
        p.Server = std::move(server);
        p.PasswordNote = std::move(note);
        p.OAuth = oauth;
        p.PasswordAccepted = password;
        list.push_back(std::move(p));
    };
    add("gmail", "Gmail", "pop.gmail.com:995",
        std::string("POP must be turned on in Gmail's settings (Forwarding and POP/IMAP); then ") +
            kAppPassword,
        true);
    add("outlook", "Outlook.com / Microsoft 365", "outlook.office365.com:995",
        "Microsoft accepts only OAuth 2.0 sign-in for POP3; POP must be turned on in "
        "Outlook's settings (Forwarding and IMAP, \"Let devices and apps use POP\")",
        true, false);
    add("yahoo", "Yahoo Mail", "pop.mail.yahoo.com:995", kAppPassword);
    add("aol", "AOL Mail", "pop.aol.com:995", kAppPassword);
    add("gmx", "GMX", "pop.gmx.net:995",
        "POP3 access must be turned on in GMX's settings (POP3 & IMAP)");
    add("webde", "WEB.DE", "pop3.web.de:995",
        "POP3 access must be turned on in WEB.DE's settings (POP3 & IMAP); WEB.DE allows one "
        "log-in every 15 minutes");
    add("tonline", "T-Online", "securepop.t-online.de:995",
        "the separate e-mail password from the Telekom customer centre, not the log-in one");
    add("fastmail", "Fastmail", "pop.fastmail.com:995", kAppPassword);
    add("yandex", "Yandex Mail", "pop.yandex.com:995",
        std::string("POP3 must be allowed in Yandex Mail's settings (Mail clients); then ") +
            kAppPassword);
    add("zoho", "Zoho Mail", "pop.zoho.com:995",
        "POP access must be turned on in Zoho Mail's settings (Mail Accounts); with two-factor "
        "sign-in, an application-specific password");
    return list;
}

TOAuthService BuiltInService(const std::string& id) {
    TOAuthService s;
    if (id == "gmail") {
        s.AuthorizeUrl = "https://accounts.google.com/o/oauth2/v2/auth";
        s.TokenUrl = "https://oauth2.googleapis.com/token";
        s.Scope = "https://mail.google.com/";
        // A refresh token comes only with consent asked for offline use.
        s.ExtraAuthorizeParams = "access_type=offline&prompt=consent";
        s.ClientId = KAVREL_GOOGLE_CLIENT_ID;
        s.ClientSecret = KAVREL_GOOGLE_CLIENT_SECRET;
    } else if (id == "outlook") {
        s.AuthorizeUrl = "https://login.microsoftonline.com/common/oauth2/v2.0/authorize";
        s.TokenUrl = "https://login.microsoftonline.com/common/oauth2/v2.0/token";
        s.DeviceUrl = "https://login.microsoftonline.com/common/oauth2/v2.0/devicecode";
        s.Scope = "https://outlook.office.com/POP.AccessAsUser.All offline_access";
        s.ClientId = KAVREL_MICROSOFT_CLIENT_ID;
    }
    return s;
}

}  // namespace

const std::vector<TProvider>& Providers() {
    static const std::vector<TProvider> list = MakeProviders();
    return list;
}

const TProvider* FindProvider(std::string_view id) {
    for (const TProvider& p : Providers()) {
        if (SameText(p.Id, id)) return &p;
    }
    return nullptr;
}

TOAuthService OAuthServiceOf(const TProvider& provider) {
    TOAuthService s = BuiltInService(provider.Id);
    const TIniView ini = TIniView::Load(IniPath);
    const std::string section = "oauth-" + provider.Id;
    const auto take = [&](const char* key, std::string& field) {
        if (const auto value = ini.Read(section, key); value && !Trim(*value).empty()) {
            field = Trim(*value);
        }
    };
    take("clientid", s.ClientId);
    take("clientsecret", s.ClientSecret);
    take("authorize", s.AuthorizeUrl);
    take("token", s.TokenUrl);
    take("device", s.DeviceUrl);
    take("scope", s.Scope);
    return s;
}

}  // namespace kavrel
