// Times a full settings save (every key written with a durable atomic replace) and a full
// load, in a temporary folder, then a load of a hand-grown file just under the size that is
// still read. Run: build/bench/bench_settings_io [rounds]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/timing.h"
#include "config/u_globals.h"
#include "tests/support/temp_dir.h"

using kavrel::bench::MillisecondsOf;

int main(int argc, char** argv) {
    using namespace kavrel;
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    char dir[] = "/tmp/kavrel-bench-XXXXXX";
    if (::mkdtemp(dir) == nullptr) return 1;
    IniPath = std::string(dir) + "/kavrel.ini";
    ::setenv("XDG_CONFIG_HOME", dir, 1);
    for (int n = 1; n <= kAccountCount; ++n) {
        Settings.Server[n] = "pop" + std::to_string(n) + ".example.org";
        Settings.Account[n] = "user" + std::to_string(n);
        Settings.Password[n] = "secret";
        Settings.Active[n] = true;
    }
    const double save = MillisecondsOf(rounds, SaveSettings);
    const double load = MillisecondsOf(rounds, LoadSettings);
    std::printf("SaveSettings: %.2f ms (%d keys, the file replaced durably once)\n", save, 24);
    std::printf("LoadSettings: %.3f ms\n", load);

    std::string grown = "; " + std::string(1000, '-') + "\n";
    while (grown.size() < 1000000) grown += grown.substr(0, 1003);
    test::WriteFile(IniPath, grown + test::ReadFile(IniPath));
    const double loadGrown = MillisecondsOf(rounds, [] { LoadSettings(); });
    std::printf("LoadSettings of a 1 MB file: %.2f ms\n", loadGrown);
    std::filesystem::remove_all(dir);
    return 0;
}
