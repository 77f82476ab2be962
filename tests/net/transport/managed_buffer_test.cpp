#include "net/transport/managed_buffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kavrel {
namespace {

TEST(ManagedBuffer, ConsumingKeepsOrderAcrossCompaction) {
    TManagedBuffer buffer;
    std::size_t consumed = 0;
    buffer.OnConsume = [&](std::size_t n) { consumed += n; };
    std::string sent;
    for (int i = 0; i < 5000; ++i) sent += std::to_string(i) + "\n";
    buffer.Append(sent.data(), sent.size());
    // Many small reads carry the offset past the compaction point several times.
    std::string read;
    while (buffer.Size() > 7) read += buffer.Extract(7);
    read += buffer.Extract(100);
    EXPECT_EQ(read, sent);
    EXPECT_EQ(consumed, sent.size());
    EXPECT_TRUE(buffer.Empty());
}

TEST(ManagedBuffer, ClearTellsNobody) {
    TManagedBuffer buffer;
    int calls = 0;
    buffer.OnConsume = [&](std::size_t) { ++calls; };
    buffer.Append("abc", 3);
    buffer.Consume(0);
    buffer.Clear();
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(buffer.Empty());
    buffer.Append("xy", 2);
    EXPECT_EQ(buffer.View(), "xy");
}

}  // namespace
}  // namespace kavrel
