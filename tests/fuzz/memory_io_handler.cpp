#include "tests/fuzz/memory_io_handler.h"

#include <algorithm>
#include <cerrno>

#include "net/transport/net_errors.h"
#include "tests/fuzz/fuzz_support.h"

namespace kavrel::fuzz {

void TMemoryIOHandler::Close() {
    TIOHandler::Close();
    open_ = false;
}

void TMemoryIOHandler::ConnectTo(const std::string&, int, int) {
    open_ = true;
    ++connects_;
}

bool TMemoryIOHandler::WaitReadable(int timeoutMs) {
    // As the socket carrier does.
    if (!open_) throw EConnClosedGracefully();
    const bool limited = timeoutMs >= 0;
    if (StallEvery > 0 && limited && ++waits_ % StallEvery == 0) return false;
    if (pos_ < stream_.size() || End != TStreamEnd::Silence) return true;
    // A peer that says nothing more: a wait without a limit would never return.
    FUZZ_CHECK(limited && "a read without a time-out waits for ever on a silent peer");
    return false;
}

int TMemoryIOHandler::Receive(char* buffer, int length) {
    if (!open_) throw EClosedSocket();
    if (pos_ == stream_.size()) {
        FUZZ_CHECK(End != TStreamEnd::Silence && "a receive on a silent peer blocks for ever");
        if (End == TStreamEnd::Close) return 0;
        resetSent_ = true;
        errno = ECONNRESET;
        return -1;
    }
    std::size_t n = std::min(static_cast<std::size_t>(std::max(length, 0)), stream_.size() - pos_);
    if (!Chunks.empty()) {
        const std::size_t chunk = Chunks[chunk_++ % Chunks.size()];
        if (chunk > 0) n = std::min(n, chunk);
    }
    std::copy_n(stream_.data() + pos_, n, buffer);
    pos_ += n;
    return static_cast<int>(n);
}

int TMemoryIOHandler::Send(const char* buffer, int length) {
    if (!open_) throw EClosedSocket();
    if (resetSent_) {
        errno = ECONNRESET;
        return -1;
    }
    Sent.append(buffer, static_cast<std::size_t>(std::max(length, 0)));
    return length;
}

}  // namespace kavrel::fuzz
