#include "config/settings.h"

#include <sys/stat.h>

#include <chrono>
#include <system_error>
#include <utility>

#include "base/integer.h"
#include "base/strings.h"
#include "config/autostart.h"
#include "config/durable_file.h"
#include "config/ini_file.h"
#include "config/u_globals.h"
#include "config/utils.h"

namespace kavrel {
namespace {

constexpr const char* kAccounts = "accounts";
constexpr const char* kGeneral = "general";

std::string Key(const char* name, int n) { return name + IntToStr(n); }
const char* YesNo(bool flag) { return flag ? "Y" : "N"; }

// The "securityN" values; a missing or unknown one is Auto, as files written before the choice
// existed have none.
constexpr std::pair<TSecurity, const char*> kSecurityKeys[] = {
    {TSecurity::TLS, "tls"},
    {TSecurity::STARTTLS, "starttls"},
    {TSecurity::WhenOffered, "starttls-if-offered"},
    {TSecurity::None, "none"},
};

TSecurity SecurityOf(const std::string& text) {
    for (const auto& [security, key] : kSecurityKeys) {
        if (SameText(Trim(text), key)) return security;
    }
    return TSecurity::Auto;
}

std::string SecurityText(TSecurity security) {
    for (const auto& [value, key] : kSecurityKeys) {
        if (value == security) return key;
    }
    return {};
}

std::string WhyNotSaved(int error) {
    struct stat st {};
    if (::stat(IniPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file";
    return std::generic_category().message(error);
}

}  // namespace

bool FlagOf(const std::string& text) {
    const std::string t = Trim(text);
    return !t.empty() && UpperCase(t.substr(0, 1)) == "Y";
}

std::string LoadSettings() {
    // Younger ones may belong to a save that a running copy is making beside this one.
    RemoveStaleTemporaries(IniPath, std::chrono::minutes(1));
    const TIniView ini = TIniView::Load(IniPath);
    const auto read = [&](const char* section, const std::string& key, const char* def) {
        return ReadSetting(ini, section, key, def);
    };
    const auto flag = [&](const char* section, const std::string& key, const char* def) {
        return FlagOf(read(section, key, def));
    };
    PW_SETTINGS_TYPE& s = Settings;
    for (int n = 1; n <= kAccountCount; ++n) {
        s.Server[n] = read(kAccounts, Key("server", n), "");
        s.Account[n] = read(kAccounts, Key("account", n), "");
        s.Password[n] = read(kAccounts, Key("pw", n), "");
        s.Active[n] = flag(kAccounts, Key("active", n), "N");
        s.Security[n] = SecurityOf(read(kAccounts, Key("security", n), ""));
        s.SignIn[n] = SameText(Trim(read(kAccounts, Key("signin", n), "")), "oauth")
                          ? TSignIn::OAuth
                          : TSignIn::Password;
        s.Provider[n] = Trim(read(kAccounts, Key("provider", n), ""));
    }
    s.StartWithWindows = flag(kGeneral, "startwithwindows", "N");
    s.VisiblePassword = flag(kGeneral, "visiblepassword", "N");
    s.LaunchOnNewMail = flag(kGeneral, "launchonnewmail", "N");
    s.ShowOnNewMail = flag(kGeneral, "showonnewmail", "N");
    s.ConfirmDelete = flag(kGeneral, "confirmdelete", "Y");
    s.PasswordsInKeyring = flag(kGeneral, "keyringpasswords", "N");
    s.NotifyOnNewMail = flag(kGeneral, "notify", "Y");

    const auto interval = TryStrToInt(read(kGeneral, "checkinterval", "5"));
    s.CheckInterval = interval.value_or(5);
    if (s.CheckInterval < 1 || s.CheckInterval > 120) s.CheckInterval = 5;

    s.MailProgram = read(kGeneral, "mailprogram", "");
    s.NewMailWave = StripQuotes(read(kGeneral, "newmailwave", ""));
    static_assert(kMaxIniFileSize == 1 << 20, "the sentence below names the size");
    if (ini.TooLarge())
        return "The settings file " + IniPath + " is larger than 1 MB and was not read.";
    if (ini.HoldsPasswords() && RestrictToOwner(IniPath)) {
        return "The settings file " + IniPath +
               " held passwords others could read; it is now readable by you alone.";
    }
    return {};
}

void SaveSettings() {
    PW_SETTINGS_TYPE& s = Settings;
    s.NewMailWave = StripQuotes(s.NewMailWave);
    // One replacement of the file for the whole save, in the order the keys have always been
    // written, so a crash half-way keeps the old settings whole.
    TIniBatch ini(IniPath);
    // Keys newer than the file's first form are written only where they differ from what
    // their absence means, or to undo a value the file already has (value "" = the default).
    const TIniView before = TIniView::Load(IniPath);
    const auto optional = [&](const char* section, const std::string& key, const std::string& value,
                              const char* absent) {
        if (!value.empty()) {
            ini.Write(section, key, value);
        } else if (before.Read(section, key)) {
            ini.Write(section, key, absent);
        }
    };
    for (int n = 1; n <= kAccountCount; ++n) {
        ini.Write(kAccounts, Key("server", n), s.Server[n]);
        ini.Write(kAccounts, Key("account", n), s.Account[n]);
        // With the keyring holding them the file keeps the key, empty, as a file without a
        // password always had it.
        ini.Write(kAccounts, Key("pw", n), s.PasswordsInKeyring ? "" : s.Password[n]);
        ini.Write(kAccounts, Key("active", n), YesNo(s.Active[n]));
        // Left out until chosen, so that the text goes on deciding for a file written before.
        if (s.Security[n] != TSecurity::Auto) {
            ini.Write(kAccounts, Key("security", n), SecurityText(s.Security[n]));
        }
        optional(kAccounts, Key("signin", n), s.SignIn[n] == TSignIn::OAuth ? "oauth" : "",
                 "password");
        optional(kAccounts, Key("provider", n), s.Provider[n], "");
    }
    ini.Write(kGeneral, "startwithwindows", YesNo(s.StartWithWindows));
    ini.Write(kGeneral, "visiblepassword", YesNo(s.VisiblePassword));
    ini.Write(kGeneral, "launchonnewmail", YesNo(s.LaunchOnNewMail));
    ini.Write(kGeneral, "showonnewmail", YesNo(s.ShowOnNewMail));
    ini.Write(kGeneral, "confirmdelete", YesNo(s.ConfirmDelete));
    optional(kGeneral, "keyringpasswords", s.PasswordsInKeyring ? "Y" : "", "N");
    optional(kGeneral, "notify", s.NotifyOnNewMail ? "" : "N", "Y");
    ini.Write(kGeneral, "checkinterval", IntToStr(s.CheckInterval));
    ini.Write(kGeneral, "mailprogram", s.MailProgram);
    ini.Write(kGeneral, "newmailwave", s.NewMailWave);
    if (const TWriteResult saved = ini.Commit(); !saved) {
        throw ESettingsSaveError("Unable to save the settings to " + IniPath + ": " +
                                 WhyNotSaved(saved.Error) + ".");
    }
    UpdateStartAtLogin(s.StartWithWindows, ProgramFile);
}

}  // namespace kavrel
