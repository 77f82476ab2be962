#include "config/settings.h"

#include "base/integer.h"
#include "base/strings.h"
#include "config/autostart.h"
#include "config/u_globals.h"
#include "config/utils.h"

namespace kavrel {
namespace {

constexpr const char* kAccounts = "accounts";
constexpr const char* kGeneral = "general";

std::string Key(const char* name, int n) { return name + IntToStr(n); }
const char* YesNo(bool flag) { return flag ? "Y" : "N"; }

bool ReadFlag(const char* section, const std::string& key, const char* def) {
    return FlagOf(ReadSetting(IniPath, section, key, def));
}

}  // namespace

bool FlagOf(const std::string& text) {
    const std::string t = Trim(text);
    return !t.empty() && UpperCase(t.substr(0, 1)) == "Y";
}

void LoadSettings() {
    PW_SETTINGS_TYPE& s = Settings;
    for (int n = 1; n <= kAccountCount; ++n) {
        s.Server[n] = ReadSetting(IniPath, kAccounts, Key("server", n), "");
        s.Account[n] = ReadSetting(IniPath, kAccounts, Key("account", n), "");
        s.Password[n] = ReadSetting(IniPath, kAccounts, Key("pw", n), "");
        s.Active[n] = ReadFlag(kAccounts, Key("active", n), "N");
    }
    s.StartWithWindows = ReadFlag(kGeneral, "startwithwindows", "N");
    s.VisiblePassword = ReadFlag(kGeneral, "visiblepassword", "N");
    s.LaunchOnNewMail = ReadFlag(kGeneral, "launchonnewmail", "N");
    s.ShowOnNewMail = ReadFlag(kGeneral, "showonnewmail", "N");
    s.ConfirmDelete = ReadFlag(kGeneral, "confirmdelete", "Y");

    const auto interval = TryStrToInt(ReadSetting(IniPath, kGeneral, "checkinterval", "5"));
    s.CheckInterval = interval.value_or(5);
    if (s.CheckInterval < 1 || s.CheckInterval > 120) s.CheckInterval = 5;

    s.MailProgram = ReadSetting(IniPath, kGeneral, "mailprogram", "");
    s.NewMailWave = StripQuotes(ReadSetting(IniPath, kGeneral, "newmailwave", ""));
}

void SaveSettings() {
    PW_SETTINGS_TYPE& s = Settings;
    s.NewMailWave = StripQuotes(s.NewMailWave);
    for (int n = 1; n <= kAccountCount; ++n) {
        WriteSetting(IniPath, kAccounts, Key("server", n), s.Server[n]);
        WriteSetting(IniPath, kAccounts, Key("account", n), s.Account[n]);
        WriteSetting(IniPath, kAccounts, Key("pw", n), s.Password[n]);
        WriteSetting(IniPath, kAccounts, Key("active", n), YesNo(s.Active[n]));
    }
    WriteSetting(IniPath, kGeneral, "startwithwindows", YesNo(s.StartWithWindows));
    WriteSetting(IniPath, kGeneral, "visiblepassword", YesNo(s.VisiblePassword));
    WriteSetting(IniPath, kGeneral, "launchonnewmail", YesNo(s.LaunchOnNewMail));
    WriteSetting(IniPath, kGeneral, "showonnewmail", YesNo(s.ShowOnNewMail));
    WriteSetting(IniPath, kGeneral, "confirmdelete", YesNo(s.ConfirmDelete));
    WriteSetting(IniPath, kGeneral, "checkinterval", IntToStr(s.CheckInterval));
    WriteSetting(IniPath, kGeneral, "mailprogram", s.MailProgram);
    WriteSetting(IniPath, kGeneral, "newmailwave", s.NewMailWave);
    UpdateStartAtLogin(s.StartWithWindows, ProgramFile);
}

}  // namespace kavrel
