#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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

}  // namespace kavrel
