// Saves the settings and a window's place over and over, alternating between two sets of
// values, until it is killed: "save_probe FILE" (or "save_probe FILE once" for one set A).
#include <string>

#include "config/settings.h"
#include "config/u_globals.h"
#include "config/window_placement.h"
#include "tests/config/save_variants.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    kavrel::IniPath = argv[1];
    kavrel::ProgramFile = "/usr/bin/kavrel";
    const bool once = argc > 2 && std::string(argv[2]) == "once";
    // Set B first, so that a run killed after its first save has changed the file.
    for (int round = once ? 0 : 1;; ++round) {
        const int variant = round % 2;
        kavrel::Settings = kavrel::test::SettingsVariant(variant);
        kavrel::SaveSettings();
        kavrel::WritePlacement(kavrel::IniPath, "TfMain", kavrel::test::PlacementVariant(variant),
                               "(1024x768)");
        if (once) return 0;
    }
}
