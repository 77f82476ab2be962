#include "update/update_hosts.h"

#include "base/strings.h"
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
    Hosts().UpdateHost = Trim(ReadSetting(iniPath, "general", "updatehost", defaults.UpdateHost));
    Hosts().WebHost = Trim(ReadSetting(iniPath, "general", "webhost", defaults.WebHost));
}

std::string WebAddress() { return "https://" + Hosts().WebHost + "/"; }

}  // namespace kavrel
