#include "update/installer_file.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "base/strings.h"
#include "config/paths.h"

namespace kavrel {
namespace {

// Enough for any download folder a person keeps; past it the folder is someone's trap.
constexpr int kMaxNumber = 999;

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

// Relative paths are refused, as the XDG rules ask: they would depend on the current folder.
bool IsFolder(const std::string& path) {
    std::error_code ec;
    return path.starts_with('/') && std::filesystem::is_directory(path, ec);
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    std::string base = home != nullptr ? home : "";
    if (base.empty()) {
        const passwd* pw = ::getpwuid(::getuid());
        if (pw != nullptr && pw->pw_dir != nullptr) base = pw->pw_dir;
    }
    return base.empty() ? base : WithoutTrailingSlash(base);
}

// user-dirs.dirs is read by the shell: XDG_DOWNLOAD_DIR="$HOME/Downloads" or an absolute path
// in double quotes, backslash escapes, and the last assignment wins.
std::string UserDirsDownload(const std::string& home) {
    constexpr std::string_view kKey = "XDG_DOWNLOAD_DIR=\"";
    std::ifstream in(UserConfigHome() + "/user-dirs.dirs");
    std::string line;
    std::string found;
    while (std::getline(in, line)) {
        const std::string text = Trim(line);
        if (!text.starts_with(kKey) || !text.ends_with('"') || text.size() <= kKey.size()) continue;
        std::string_view value = std::string_view(text).substr(kKey.size());
        value.remove_suffix(1);
        std::string path;
        if (value.starts_with("$HOME") && (value.size() == 5 || value[5] == '/')) {
            if (home.empty()) continue;
            path = home;
            value.remove_prefix(5);
        }
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) ++i;
            path += value[i];
        }
        found = path;
    }
    return found;
}

// Program, settings, version file, desktop entry: whatever Kavrel keeps is named so.
bool IsOwnFileName(const std::string& name) { return StartsText(name, "kavrel"); }

// The browsers' way: "setup.exe", "setup (1).exe", "setup (2).exe" ...
std::string Numbered(const std::string& name, int n) {
    if (n == 0) return name;
    const std::string number = " (" + std::to_string(n) + ")";
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return name + number;
    return name.substr(0, dot) + number + name.substr(dot);
}

// 0, or the errno of the failure: EEXIST when the name is taken by anything, a dangling link
// included.
int PlaceWithoutReplacing(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP) return errno;
    // FAT and some network file systems have no hard links but can rename without replacing.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    return errno;
}

// Lower-case hexadecimal SHA-256 of the whole file; empty when it cannot be read.
std::string Sha256Of(int fd) {
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(),
                                                                      EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) return {};
    std::vector<char> buffer(64 * 1024);
    off_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {};
        if (n == 0) break;
        if (EVP_DigestUpdate(ctx.get(), buffer.data(), static_cast<std::size_t>(n)) != 1) return {};
        at += n;
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest, &length) != 1) return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

}  // namespace

std::string DownloadFolder() {
    if (const char* env = std::getenv("XDG_DOWNLOAD_DIR"); env != nullptr && IsFolder(env)) {
        return WithoutTrailingSlash(env);
    }
    const std::string home = HomeFolder();
    if (const std::string named = UserDirsDownload(home); IsFolder(named)) {
        return WithoutTrailingSlash(named);
    }
    if (IsFolder(home + "/Downloads")) return home + "/Downloads";
    std::error_code ec;
    const std::filesystem::path current = std::filesystem::current_path(ec);
    return ec ? "." : current.string();
}

std::string TInstallerFile::SaveFailure(const std::string& path) {
    return "Unable to save the update as " + path;
}

TInstallerFile::TInstallerFile(std::string folder, std::string name)
    : folder_(std::move(folder)), name_(std::move(name)), path_(Join(folder_, name_)) {
    partial_ = Join(folder_, "." + name_ + ".XXXXXX");
    TUniqueFd fd(::mkostemp(partial_.data(), O_CLOEXEC));
    if (!fd.valid()) throw EUpdateError(SaveFailure(path_));
    stream_ = std::make_unique<TFileStream>(std::move(fd));
}

TInstallerFile::~TInstallerFile() {
    if (!committed_) ::unlink(partial_.c_str());
}

void TInstallerFile::Commit(std::string_view sha256) {
    if (!sha256.empty()) {
        const std::string actual = Sha256Of(stream_->Descriptor());
        if (actual.empty()) throw EUpdateError(SaveFailure(path_));
        if (!SameText(actual, sha256)) {
            throw EUpdateError(
                "The downloaded update does not match the SHA-256 checksum in the version "
                "information, so it was not saved.");
        }
    }
    // Readable like any download, and never executable: the desktop's handler for its type
    // decides what opening it means.
    if (::fchmod(stream_->Descriptor(), 0644) != 0 || !stream_->Close()) {
        throw EUpdateError(SaveFailure(path_));
    }
    for (int n = IsOwnFileName(name_) ? 1 : 0; n <= kMaxNumber; ++n) {
        const std::string candidate = Join(folder_, Numbered(name_, n));
        const int error = PlaceWithoutReplacing(partial_, candidate);
        if (error == EEXIST) continue;
        if (error != 0) break;
        path_ = candidate;
        committed_ = true;
        return;
    }
    throw EUpdateError(SaveFailure(path_));
}

}  // namespace kavrel
