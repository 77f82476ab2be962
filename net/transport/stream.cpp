#include "net/transport/stream.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kavrel {

void TMemoryStream::SetSize(std::int64_t size) {
    Data.resize(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)));
    position_ = std::min(position_, Size());
}

void TMemoryStream::Write(const char* bytes, std::size_t count) {
    const auto at = static_cast<std::size_t>(position_);
    // A download only ever appends; filling the new room with zeros first would write every
    // byte twice.
    if (at == Data.size()) {
        Data.append(bytes, count);
    } else {
        if (Data.size() < at + count) Data.resize(at + count);
        Data.replace(at, count, bytes, count);
    }
    position_ += static_cast<std::int64_t>(count);
}

void TFileStream::SetSize(std::int64_t size) {
    size = std::max<std::int64_t>(size, 0);
    if (::ftruncate(fd_.get(), static_cast<off_t>(size)) != 0) {
        throw EStreamError(std::string("Cannot cut the file: ") + std::strerror(errno));
    }
    size_ = size;
    position_ = std::min(position_, size_);
}

void TFileStream::Write(const char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t written = ::pwrite(fd_.get(), bytes, count, static_cast<off_t>(position_));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            throw EStreamError(std::string("Cannot write the file: ") +
                               std::strerror(written < 0 ? errno : ENOSPC));
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
        position_ += written;
        size_ = std::max(size_, position_);
    }
}

bool TFileStream::Close() {
    if (!fd_.valid()) return false;
    const bool synced = ::fsync(fd_.get()) == 0;
    return fd_.Close() && synced;
}

}  // namespace kavrel
