#include "config/autostart.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace kavrel {
namespace {

std::string ExecLine(const std::string& program) {
    const std::string text = AutostartEntryText(program);
    const auto start = text.find("\nExec=") + 6;
    return text.substr(start, text.find('\n', start) - start);
}

TEST(Autostart, ExecLineQuoting) {
    struct {
        const char* program;
        const char* exec;
    } const rows[] = {
        {"/usr/bin/kavrel", "\"/usr/bin/kavrel\" -tray"},
        {"/opt/My Apps/kavrel", "\"/opt/My Apps/kavrel\" -tray"},
        {"/opt/a\"b/kavrel", "\"/opt/a\\\\\"b/kavrel\" -tray"},
        {"/opt/$HOME/kavrel", "\"/opt/\\\\$HOME/kavrel\" -tray"},
        {"/opt/back\\slash", "\"/opt/back\\\\\\\\slash\" -tray"},
        {"/opt/100%/kavrel", "\"/opt/100%%/kavrel\" -tray"},
        {"/opt/`cmd`/kavrel", "\"/opt/\\\\`cmd\\\\`/kavrel\" -tray"},
    };
    for (const auto& r : rows) EXPECT_EQ(ExecLine(r.program), r.exec) << r.program;
}

TEST(Autostart, EntryIsNamedKavrel) {
    const std::string text = AutostartEntryText("/usr/bin/kavrel");
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(text.find("\nName=kavrel\n"), std::string::npos);
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
}

TEST(Autostart, EntryPathFollowsXdgConfigHome) {
    test::TScopedEnv xdg("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(AutostartEntryPath(), "/cfg/autostart/kavrel.desktop");
}

}  // namespace
}  // namespace kavrel
