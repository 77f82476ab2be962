#pragma once

#include <QIcon>

// The program's own picture for its windows and dialogs: the envelope of the launcher entry,
// built into the program so that it shows without an installed icon theme.
namespace kavrel {

// Drawn from the built-in vector picture at each common size; a null icon when the desktop
// cannot read SVG (its image plugin is missing).
QIcon ProgramIcon();

}  // namespace kavrel
