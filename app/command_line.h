#pragma once

#include <string>
#include <vector>

#include "core/command_line_check.h"

// What the command line asks for: the window (with "-TRAY" honoured there), a check on the
// console, the version, or help.
namespace kavrel {

enum class TRunMode { Window, Check, Version, Help, Invalid };

struct TCommandLine {
    TRunMode Mode = TRunMode::Window;
    TCheckOptions Check;
    std::string Error;  // for Invalid: what was wrong, as one sentence
};

// arguments: without the program name.
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

extern const char* const kUsage;

}  // namespace kavrel
