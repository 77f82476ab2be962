#include "app/tray_argument.h"

#include "base/strings.h"

namespace kavrel {

bool IsTrayStart(const std::vector<std::string>& args) {
    if (args.empty()) return false;
    return Trim(UpperCase(args.front())) == "-TRAY";
}

}  // namespace kavrel
