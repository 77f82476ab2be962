#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

#include "base/unique_fd.h"

namespace kavrel {

// Where ReadToStream puts what it reads: a position that writes advance, and a size that can
// be cut back.
class TStream {
  public:
    virtual ~TStream() = default;
    virtual std::int64_t Position() const = 0;
    virtual std::int64_t Size() const = 0;
    virtual void SetSize(std::int64_t size) = 0;
    // Writes at the position, overwriting and then extending, and advances it.
    virtual void Write(const char* bytes, std::size_t count) = 0;
};

class TMemoryStream : public TStream {
  public:
    std::string Data;

    std::int64_t Position() const override { return position_; }
    void SetPosition(std::int64_t position) { position_ = position; }
    std::int64_t Size() const override { return static_cast<std::int64_t>(Data.size()); }
    void SetSize(std::int64_t size) override;
    void Write(const char* bytes, std::size_t count) override;

  private:
    std::int64_t position_ = 0;
};

// A stream that could not be written: the disk is full, the file was taken away.
class EStreamError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Writes go straight to an open file, so that a large download never sits in memory whole.
class TFileStream : public TStream {
  public:
    // Takes over a descriptor open for writing on an empty file.
    explicit TFileStream(TUniqueFd fd) : fd_(std::move(fd)) {}

    std::int64_t Position() const override { return position_; }
    std::int64_t Size() const override { return size_; }
    // Raise EStreamError with the system's reason.
    void SetSize(std::int64_t size) override;
    void Write(const char* bytes, std::size_t count) override;

    int Descriptor() const { return fd_.get(); }
    // Flushes the file to the disk and closes it; false when the data may not all be there.
    bool Close();

  private:
    TUniqueFd fd_;
    std::int64_t position_ = 0;
    std::int64_t size_ = 0;
};

}  // namespace kavrel
