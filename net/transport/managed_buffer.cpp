#include "net/transport/managed_buffer.h"

#include <algorithm>

namespace kavrel {

std::string TManagedBuffer::Extract(std::size_t count) {
    count = std::min(count, Size());
    std::string bytes = data_.substr(offset_, count);
    Consume(count);
    return bytes;
}

void TManagedBuffer::Consume(std::size_t count) {
    count = std::min(count, Size());
    if (count == 0) return;
    offset_ += count;
    if (offset_ == data_.size()) {
        data_.clear();
        offset_ = 0;
    } else if (offset_ >= CompactAt) {
        data_.erase(0, offset_);
        offset_ = 0;
    }
    if (OnConsume) OnConsume(count);
}

void TManagedBuffer::Clear() {
    data_.clear();
    offset_ = 0;
}

}  // namespace kavrel
