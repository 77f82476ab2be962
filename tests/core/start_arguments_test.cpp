#include "core/start_arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kavrel {
namespace {

struct TTrayCase {
    const char* name;
    std::vector<std::string> args;
    bool tray;
};

const TTrayCase kTrayCases[] = {
    {"none", {}, false},
    {"exact", {"-TRAY"}, true},
    {"lower_case", {"-tray"}, true},
    {"mixed_case_and_blanks", {" -Tray "}, true},
    {"tabs_and_line_ends_are_trimmed", {"\t-tray\r\n"}, true},
    {"control_codes_are_trimmed", {std::string("\x01-tray\x1f")}, true},
    {"longer_word", {"-TRAYX"}, false},
    {"longer_word_after_blank", {"-TRAY X"}, false},
    {"without_dash", {"TRAY"}, false},
    {"double_dash", {"--tray"}, false},
    {"blank_inside", {"- TRAY"}, false},
    {"second_argument", {"-x", "-TRAY"}, false},
    {"first_of_two", {"-tray", "-x"}, true},
    {"empty_first", {"", "-TRAY"}, false},
    // Only a to z change case: a byte above 127 is not a letter.
    {"non_ascii_byte", {"-TR\xC1Y"}, false},
};

TEST(TrayArgument, FirstArgumentOnly) {
    for (const auto& c : kTrayCases) {
        EXPECT_EQ(IsTrayStart(c.args), c.tray) << c.name;
    }
}

}  // namespace
}  // namespace kavrel
