#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace kavrel {

// Received bytes not yet consumed, in arrival order. Consuming advances a read offset; the
// unread rest moves to the front only after CompactAt bytes have been consumed, so reading
// many short lines does not copy the buffer once per line.
class TManagedBuffer {
  public:
    static constexpr std::size_t CompactAt = 32768;

    // Called with the byte count of every consumption.
    std::function<void(std::size_t)> OnConsume;

    std::size_t Size() const { return data_.size() - offset_; }
    bool Empty() const { return Size() == 0; }
    std::string_view View() const { return std::string_view(data_).substr(offset_); }

    void Append(const char* bytes, std::size_t count) { data_.append(bytes, count); }
    // Takes the first count unread bytes (all, when fewer are left).
    std::string Extract(std::size_t count);
    void Consume(std::size_t count);
    // Drops everything without telling OnConsume.
    void Clear();

  private:
    std::string data_;
    std::size_t offset_ = 0;
};

}  // namespace kavrel
