#pragma once

namespace kavrel {

// The program's title: the main window's caption, the about box's first line and the name
// the update check gives this build.
inline constexpr char kProgramTitle[] = "Kavrel v1.5";

}  // namespace kavrel
