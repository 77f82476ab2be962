#include "config/durable_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
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

// The start of the name of a temporary file beside target; mkostemp fills in six letters and
// digits after it.
std::string TemporaryPrefix(const std::string& target) { return "." + NameOf(target) + "."; }
constexpr std::size_t kTemporaryLetters = 6;

bool IsTemporaryOf(std::string_view name, std::string_view prefix) {
    if (name.size() != prefix.size() + kTemporaryLetters || name.substr(0, prefix.size()) != prefix)
        return false;
    for (const char c : name.substr(prefix.size())) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return false;
    }
    return true;
}

int ErrorOfType(mode_t mode) { return S_ISDIR(mode) ? EISDIR : EINVAL; }

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
    const auto fail = [&out](int error) {
        out.Error = error;
        return out;
    };
    // Not even opened unless regular: opening a FIFO or a device can wait or have effects.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return fail(errno);
    if (!S_ISREG(st.st_mode)) return fail(ErrorOfType(st.st_mode));
    TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) return fail(errno);
    if (!S_ISREG(st.st_mode)) return fail(ErrorOfType(st.st_mode));
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
        if (n < 0) return fail(errno);
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
    if (missing.empty()) {
        if (!S_ISDIR(st.st_mode)) errno = ENOTDIR;
        return S_ISDIR(st.st_mode);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

TWriteResult ReplaceFileAtomically(const std::string& path, std::string_view data,
                                   mode_t newFileMode, mode_t allowedBits) {
    const std::string target = ResolveTarget(path);
    const std::string dir = ParentOf(target);
    if (!EnsureDirectory(dir)) return {errno};

    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode)) return {ErrorOfType(old.st_mode)};

    std::string tmp = dir + "/" + TemporaryPrefix(target) + std::string(kTemporaryLetters, 'X');
    TUniqueFd fd(::mkostemp(tmp.data(), O_CLOEXEC));
    if (fd.get() < 0) return {errno};

    int error = 0;
    if (::fchmod(fd.get(), (existed ? old.st_mode & 07777 : newFileMode) & allowedBits) != 0)
        error = errno;
    if (error == 0 && existed && ::geteuid() == 0) {
        // Root editing someone's file must not take it away from them.
        (void)!::fchown(fd.get(), old.st_uid, old.st_gid);
    }
    if (error == 0) {
        errno = EIO;  // a write that stores nothing sets no errno of its own
        if (!WriteAll(fd.get(), data) || ::fsync(fd.get()) != 0) error = errno;
    }
    if (!fd.Close() && error == 0) error = errno;
    if (error == 0 && ::rename(tmp.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(tmp.c_str());
        return {error};
    }
    SyncDirectory(dir);
    return {};
}

void RemoveStaleTemporaries(const std::string& path, std::chrono::seconds maxAge) {
    const std::string target = ResolveTarget(path);
    if (NameOf(target).empty()) return;
    const std::string prefix = TemporaryPrefix(target);
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(ParentOf(target).c_str()), ::closedir);
    if (!dir) return;
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!IsTemporaryOf(entry->d_name, prefix)) continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && now - st.st_mtime > maxAge.count())
            ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
    }
}

bool RestrictToOwner(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & 077) == 0)
        return false;
    return ::chmod(path.c_str(), st.st_mode & 0700) == 0;
}

}  // namespace kavrel
