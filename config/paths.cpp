#include "config/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace kavrel {

std::string ProgramFilePath() {
    std::vector<char> buf(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string UserConfigHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    std::string base = home != nullptr ? home : "";
    if (base.empty()) {
        const passwd* pw = ::getpwuid(::getuid());
        if (pw != nullptr && pw->pw_dir != nullptr) base = pw->pw_dir;
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/.config";
}

std::string InstalledBinFolder() {
#ifdef KAVREL_INSTALL_BINDIR
    return KAVREL_INSTALL_BINDIR;
#else
    return {};
#endif
}

namespace {

// Symbolic links and "/" at the end must not tell the same folder apart; a folder that does
// not exist is no one's.
bool SameFolder(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace

std::string ChooseIniPath(const std::string& appPath, const std::string& installedBin) {
    const std::string beside = appPath + "kavrel.ini";
    std::error_code ec;
    if (std::filesystem::is_regular_file(beside, ec)) return beside;
    if (!appPath.empty() && !SameFolder(appPath, installedBin) &&
        ::access(appPath.c_str(), W_OK) == 0) {
        return beside;
    }
    return UserConfigHome() + "/kavrel/kavrel.ini";
}

}  // namespace kavrel
