#include "base/unique_fd.h"

#include <unistd.h>

#include <cerrno>

namespace kavrel {

TUniqueFd& TUniqueFd::operator=(TUniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

void TUniqueFd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

bool TUniqueFd::Close() { return fd_ >= 0 && ::close(release()) == 0; }

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace kavrel
