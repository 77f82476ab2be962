#include "update/update_hosts.h"

#include "base/strings.h"
#include "config/ini_file.h"
#include "config/utils.h"

namespace kavrel {
namespace {

TUpdateHosts& Hosts() {
    static TUpdateHosts hosts;
    return hosts;
}

}  // namespace

const TUpdateHosts& UpdateHosts() { return Hosts(); }

void LoadUpdateHosts(const std::string& iniPath) {
    const TUpdateHosts defaults;
    const TIniView ini = TIniView::Load(iniPath);
    Hosts().UpdateHost = Trim(ReadSetting(ini, "general", "updatehost", defaults.UpdateHost));
    Hosts().WebHost = Trim(ReadSetting(ini, "general", "webhost", defaults.WebHost));
}

std::string WebAddress() { return "https://" + Hosts().WebHost + "/"; }

}  // namespace kavrel
