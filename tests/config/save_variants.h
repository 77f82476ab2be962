#pragma once

#include <string>

#include "config/settings.h"
#include "config/window_placement.h"

// Two complete sets of values for the durability tests: whatever moment a save is cut at, the
// file must hold one of them whole.
namespace kavrel::test {

inline PW_SETTINGS_TYPE SettingsVariant(int variant) {
    PW_SETTINGS_TYPE s;
    const std::string tag = variant == 0 ? "old" : "new";
    for (int n = 1; n <= kAccountCount; ++n) {
        s.Server[n] = tag + "-pop" + std::to_string(n) + ".example.org";
        s.Account[n] = tag + "-user" + std::to_string(n);
        s.Password[n] = tag + "-secret" + std::to_string(n);
        s.Active[n] = (n + variant) % 2 == 0;
    }
    s.CheckInterval = variant == 0 ? 7 : 9;
    s.MailProgram = "/usr/bin/" + tag + "-mailer";
    s.NewMailWave = "/usr/share/sounds/" + tag + ".wav";
    s.ConfirmDelete = variant == 0;
    s.ShowOnNewMail = variant != 0;
    return s;
}

inline TPlacementRecord PlacementVariant(int variant) {
    TPlacementRecord r;
    r.NormPos = variant == 0 ? TRect{10, 20, 310, 420} : TRect{50, 60, 750, 860};
    r.ShowCmd = variant == 0 ? 1 : 3;
    return r;
}

}  // namespace kavrel::test
