#pragma once

#include <string_view>

namespace kavrel {

// Owns a POSIX descriptor and closes it on every path out of its scope.
class TUniqueFd {
  public:
    TUniqueFd() = default;
    explicit TUniqueFd(int fd) : fd_(fd) {}
    TUniqueFd(TUniqueFd&& other) noexcept : fd_(other.release()) {}
    TUniqueFd& operator=(TUniqueFd&& other) noexcept;
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;
    ~TUniqueFd() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1);
    // Closes now and reports the result: a failed close of a written file can mean lost data.
    bool Close();

  private:
    int fd_ = -1;
};

// Writes every byte, resuming after partial writes and signals; false on any failure.
bool WriteAll(int fd, std::string_view data);

}  // namespace kavrel
