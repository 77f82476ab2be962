#include "config/utils.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/file_size_limit.h"
#include "tests/support/temp_dir.h"

namespace kavrel {
namespace {

using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

TEST(Utils, RightChars) {
    EXPECT_EQ(RightChars("abc", 1), "c");
    EXPECT_EQ(RightChars("abc", 3), "abc");
    EXPECT_EQ(RightChars("abc", 5), "abc");
    EXPECT_EQ(RightChars("", 1), "");
    EXPECT_EQ(RightChars("abc", 0), "");
    EXPECT_EQ(RightChars("abc", -1), "");
}

TEST(Utils, StripQuotes) {
    struct {
        const char* in;
        const char* out;
    } const rows[] = {
        {"", ""},     {"\"", ""},       {"\"\"", ""},           {"\"a\"", "a"}, {"\"a", "a"},
        {"a\"", "a"}, {"a\"b", "a\"b"}, {"\"\"a\"\"", "\"a\""}, {"'a'", "'a'"}, {"plain", "plain"},
    };
    for (const auto& r : rows) EXPECT_EQ(StripQuotes(r.in), r.out) << r.in;
}

TEST(Utils, ReadSettingFallsBackOnEmptyAndMissing) {
    TTempDir dir;
    const std::string ini = dir / "v.ini";
    WriteFile(ini, "[information]\nversion=1.6\nempty=\n");
    EXPECT_EQ(ReadSetting(ini, "information", "version", "x"), "1.6");
    EXPECT_EQ(ReadSetting(ini, "information", "empty", "dflt"), "dflt");
    EXPECT_EQ(ReadSetting(ini, "information", "missing", "dflt"), "dflt");
    EXPECT_EQ(ReadSetting(ini, "other", "version", "dflt"), "dflt");
    EXPECT_EQ(ReadSetting(dir / "none.ini", "information", "version", "dflt"), "dflt");
}

TEST(Utils, WriteNewFile) {
    TTempDir dir;
    const std::string fresh = dir / "setup.bin";
    const std::string data("MZ\0\x01\xFF binary", 12);
    EXPECT_TRUE(WriteNewFile(fresh, data));
    EXPECT_EQ(ReadFile(fresh), data);

    const std::string existing = dir / "existing";
    WriteFile(existing, "old");
    EXPECT_FALSE(WriteNewFile(existing, "new"));
    EXPECT_EQ(ReadFile(existing), "old");

    EXPECT_TRUE(WriteNewFile(dir / "empty", ""));
    EXPECT_EQ(ReadFile(dir / "empty"), "");
    EXPECT_FALSE(WriteNewFile(dir / "no/such/folder/file", "x"));
}

TEST(Utils, WriteNewFileReportsAShortWriteAndRemovesThePart) {
    TTempDir dir;
    const std::string path = dir / "setup.bin";
    const auto written =
        test::WithFileSizeLimit(100, [&] { return WriteNewFile(path, std::string(1000, 'x')); });
    EXPECT_EQ(written, false) << "a short write must not count as success";
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace kavrel
