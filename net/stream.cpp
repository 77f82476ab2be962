#include "net/stream.h"

#include <algorithm>

namespace kavrel {

void TMemoryStream::SetSize(std::int64_t size) {
    Data.resize(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)));
    position_ = std::min(position_, Size());
}

void TMemoryStream::Write(const char* bytes, std::size_t count) {
    const auto at = static_cast<std::size_t>(position_);
    if (Data.size() < at + count) Data.resize(at + count);
    Data.replace(at, count, bytes, count);
    position_ += static_cast<std::int64_t>(count);
}

}  // namespace kavrel
