#include "config/durable_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/unique_fd.h"

namespace kavrel {
namespace {

std::string ParentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A symbolic link is replaced through its target; a dangling one is replaced itself.
std::string ResolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return path;
    return resolved;
}

void SyncDirectory(const std::string& dir) {
    TUniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) ::fsync(fd.get());
}

}  // namespace

TFileContent ReadFileUpTo(const std::string& path, std::size_t maxSize) {
    TFileContent out;
    // Not even opened unless regular: opening a FIFO or a device can wait or have effects.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return out;
    TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return out;
    if (static_cast<std::uintmax_t>(st.st_size) > maxSize) {
        out.TooLarge = true;
        return out;
    }
    std::string text;
    text.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return out;
        if (n == 0) break;
        // The file grew since fstat.
        if (text.size() + static_cast<std::size_t>(n) > maxSize) {
            out.TooLarge = true;
            return out;
        }
        text.append(chunk, static_cast<std::size_t>(n));
    }
    out.Text = std::move(text);
    return out;
}

bool EnsureDirectory(const std::string& dir) {
    if (dir.empty()) return false;
    std::vector<std::string> missing;
    std::string cur = dir;
    while (cur.size() > 1 && cur.back() == '/') cur.pop_back();
    struct stat st {};
    while (::stat(cur.c_str(), &st) != 0) {
        if (errno != ENOENT) return false;
        missing.push_back(cur);
        const std::string parent = ParentOf(cur);
        if (parent == cur) break;
        cur = parent;
    }
    if (missing.empty()) return S_ISDIR(st.st_mode);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view data, mode_t newFileMode) {
    const std::string target = ResolveTarget(path);
    const std::string dir = ParentOf(target);
    if (!EnsureDirectory(dir)) return false;

    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode)) return false;

    std::string tmp = dir + "/." + NameOf(target) + ".XXXXXX";
    TUniqueFd fd(::mkostemp(tmp.data(), O_CLOEXEC));
    if (fd.get() < 0) return false;

    bool ok = ::fchmod(fd.get(), existed ? (old.st_mode & 07777) : newFileMode) == 0;
    if (ok && existed && ::geteuid() == 0) {
        // Root editing someone's file must not take it away from them.
        (void)!::fchown(fd.get(), old.st_uid, old.st_gid);
    }
    ok = ok && WriteAll(fd.get(), data) && ::fsync(fd.get()) == 0;
    ok = fd.Close() && ok;
    ok = ok && ::rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    SyncDirectory(dir);
    return true;
}

}  // namespace kavrel
