#include "net/transport/stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include "tests/support/raises.h"
#include "tests/support/temp_dir.h"

namespace kavrel {
namespace {

// A download that was cut back for a retry ends as the retry wrote it, on disk as in memory.
TEST(Stream, FileAndMemoryAgreeAfterACutBack) {
    test::TTempDir dir;
    const std::string path = dir / "out";
    TFileStream file(TUniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600)));
    TMemoryStream memory;
    for (TStream* s : {static_cast<TStream*>(&file), static_cast<TStream*>(&memory)}) {
        s->Write("redirect page", 13);
        s->SetSize(0);
        s->Write("hello", 5);
        s->Write(" world", 6);
        EXPECT_EQ(s->Position(), 11);
        EXPECT_EQ(s->Size(), 11);
    }
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(test::ReadFile(path), "hello world");
    EXPECT_EQ(memory.Data, "hello world");
}

TEST(Stream, FileThatCannotBeWrittenRaises) {
    test::TTempDir dir;
    test::WriteFile(dir / "ro", "");
    TFileStream file(TUniqueFd(::open((dir / "ro").c_str(), O_RDONLY)));
    EXPECT_EQ(test::MessageOf<EStreamError>([&] { file.Write("x", 1); }),
              "Cannot write the file: Bad file descriptor");
}

}  // namespace
}  // namespace kavrel
