#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "net/transport/io_handler.h"

namespace kavrel::fuzz {

// How the peer ends once every byte of its stream has been delivered.
enum class TStreamEnd { Close, Reset, Silence };

// An end picked by two option bits: 1 resets, 2 falls silent, 0 and 3 close.
inline TStreamEnd StreamEndOf(int bits) {
    switch (bits & 3) {
        case 1:
            return TStreamEnd::Reset;
        case 2:
            return TStreamEnd::Silence;
        default:
            return TStreamEnd::Close;
    }
}

// A carrier that plays a fixed byte stream as the peer: in receives of the sizes in Chunks
// (taken in turn; 0 means as much as asked), with a wait that times out before every
// StallEvery-th receive, then the end. Connecting always succeeds and goes on with the same
// stream, so one stream can serve several sessions. What the connection sends is kept.
class TMemoryIOHandler : public TIOHandler {
  public:
    explicit TMemoryIOHandler(std::string_view stream) : stream_(stream) {}

    std::vector<std::size_t> Chunks;
    int StallEvery = 0;
    TStreamEnd End = TStreamEnd::Close;

    std::string Sent;
    std::size_t Delivered() const { return pos_; }
    int Connects() const { return connects_; }

    void Close() override;
    bool IsOpen() const override { return open_; }
    void ConnectTo(const std::string& host, int port, int timeoutMs) override;
    bool WaitReadable(int timeoutMs) override;
    int Receive(char* buffer, int length) override;
    int Send(const char* buffer, int length) override;

  private:
    std::string_view stream_;
    std::size_t pos_ = 0;
    std::size_t chunk_ = 0;
    int waits_ = 0;
    int connects_ = 0;
    bool open_ = false;
    bool resetSent_ = false;
};

}  // namespace kavrel::fuzz
