#include "core/start_arguments.h"

#include "base/strings.h"

namespace kavrel {

bool IsTrayStart(const std::vector<std::string>& arguments) {
    return !arguments.empty() && Trim(UpperCase(arguments.front())) == "-TRAY";
}

}  // namespace kavrel
