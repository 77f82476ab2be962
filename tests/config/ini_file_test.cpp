#include "config/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>

#include "tests/support/file_size_limit.h"
#include "tests/support/temp_dir.h"

namespace kavrel {
namespace {

using test::ReadFile;
using test::TTempDir;
using test::WriteFile;

TEST(IniRead, Lookup) {
    const std::string file =
        "; written by hand\r\n"
        "\r\n"
        "[Accounts]\r\n"
        "  Server1 =  pop.example.org  \r\n"
        "pw1=\"  quoted  \"\r\n"
        "pw2='single'\r\n"
        "pw3=\"unmatched'\r\n"
        "pw4=\"\r\n"
        "empty=\r\n"
        "equals=a=b\r\n"
        "dup=first\r\n"
        "dup=second\r\n"
        "novalue\r\n"
        "[general]\n"
        "checkinterval=10\n"
        "[ACCOUNTS]\n"
        "late=in a second section of the same name\n"
        "[last]\n"
        "tail=no line end";
    struct {
        const char* name;
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    } const rows[] = {
        {"blanks around key and value go", "accounts", "server1", "pop.example.org"},
        {"section and key ignore case", "ACCOUNTS", "SERVER1", "pop.example.org"},
        {"double quotes come off, inner blanks stay", "accounts", "pw1", "  quoted  "},
        {"single quotes come off", "accounts", "pw2", "single"},
        {"unmatched quotes stay", "accounts", "pw3", "\"unmatched'"},
        {"a lone quote stays", "accounts", "pw4", "\""},
        {"empty value", "accounts", "empty", ""},
        {"value runs from the first equals sign", "accounts", "equals", "a=b"},
        {"first of two keys", "accounts", "dup", "first"},
        {"a line without equals is no key", "accounts", "novalue", std::nullopt},
        {"LF line ends", "general", "checkinterval", "10"},
        {"key of another section", "general", "server1", std::nullopt},
        {"only the first section of a name counts", "accounts", "late", std::nullopt},
        {"missing section", "nothere", "server1", std::nullopt},
        {"comment is not a key", "accounts", "; written by hand", std::nullopt},
        {"last line without a line end", "last", "tail", "no line end"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(IniReadText(file, r.section, r.key), r.expected) << r.name;
    }
}

TEST(IniRead, ByteOrderMarkBeforeFirstSection) {
    EXPECT_EQ(IniReadText("\xEF\xBB\xBF[general]\nkey=v\n", "general", "key"), "v");
}

TEST(IniWrite, Placement) {
    struct {
        const char* name;
        const char* before;
        const char* section;
        const char* key;
        const char* value;
        const char* after;
    } const rows[] = {
        {"file created from nothing", "", "accounts", "server1", "pop",
         "[accounts]\nserver1=pop\n"},
        {"replaced in place, spelling kept", "[a]\nOne=1\nTwo=2\n", "A", "one", "x",
         "[a]\nOne=x\nTwo=2\n"},
        {"new key at the end of its section, before blank lines", "[a]\nk=1\n\n[b]\nm=2\n", "a",
         "n", "3", "[a]\nk=1\nn=3\n\n[b]\nm=2\n"},
        {"new key in the last section", "[a]\nk=1\n[b]\nm=2\n", "b", "n", "3",
         "[a]\nk=1\n[b]\nm=2\nn=3\n"},
        {"new key in an empty section", "[a]\n[b]\n", "a", "k", "v", "[a]\nk=v\n[b]\n"},
        {"new section at the end", "[a]\nk=1\n", "b", "k", "2", "[a]\nk=1\n[b]\nk=2\n"},
        {"missing last line end is mended", "[a]\nk=1", "b", "k", "2", "[a]\nk=1\n[b]\nk=2\n"},
        {"CRLF files stay CRLF", "[a]\r\nk=1\r\n", "a", "n", "2", "[a]\r\nk=1\r\nn=2\r\n"},
        {"empty value keeps the key", "[a]\nk=1\n", "a", "k", "", "[a]\nk=\n"},
        {"comments and blank lines survive", "; mine\n\n[a]\n# note\nk=1\n", "a", "k", "2",
         "; mine\n\n[a]\n# note\nk=2\n"},
        {"first of two keys is replaced", "[a]\nk=1\nk=2\n", "a", "k", "3", "[a]\nk=3\nk=2\n"},
        {"line breaks cannot inject keys", "", "a", "pw1", "x\n[general]\r\nmailprogram=evil",
         "[a]\npw1=x [general]  mailprogram=evil\n"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(IniWriteText(r.before, r.section, r.key, r.value), r.after) << r.name;
    }
}

TEST(IniWrite, ValuesComeBackAsReadRules) {
    const std::string file =
        IniWriteText(IniWriteText("", "s", "blanks", "  x y  "), "s", "quoted", "'abc'");
    EXPECT_EQ(IniReadText(file, "s", "blanks"), "x y");
    EXPECT_EQ(IniReadText(file, "s", "quoted"), "abc");
}

TEST(IniFile, NewFileIsPrivateAndExistingKeepsItsMode) {
    TTempDir dir;
    const std::string fresh = dir / "sub/folder/kavrel.ini";
    ASSERT_TRUE(IniWrite(fresh, "accounts", "pw1", "secret"));
    struct stat st {};
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(::stat((dir / "sub").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);

    const std::string shared = dir / "shared.ini";
    WriteFile(shared, "[a]\nk=1\n");
    ASSERT_EQ(::chmod(shared.c_str(), 0644), 0);
    ASSERT_TRUE(IniWrite(shared, "a", "k", "2"));
    ASSERT_EQ(::stat(shared.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(ReadFile(shared), "[a]\nk=2\n");
}

TEST(IniFile, WriteThroughSymlinkKeepsTheLink) {
    TTempDir dir;
    WriteFile(dir / "real.ini", "[a]\nk=1\n");
    std::filesystem::create_symlink(dir / "real.ini", dir / "link.ini");
    ASSERT_TRUE(IniWrite(dir / "link.ini", "a", "k", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(ReadFile(dir / "real.ini"), "[a]\nk=2\n");
}

TEST(IniFile, FailedWriteLeavesTheOldFileWhole) {
    TTempDir dir;
    const std::string path = dir / "kavrel.ini";
    const std::string old = "[accounts]\nserver1=pop.example.org\npw1=secret\n";
    WriteFile(path, old);
    const auto written = test::WithFileSizeLimit(
        16, [&] { return IniWrite(path, "accounts", "pw2", std::string(4096, 'x')); });
    EXPECT_EQ(written, false) << "the write should have reported failure";
    EXPECT_EQ(ReadFile(path), old);
    // ... and no temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(IniFile, UnreadablePathIsNotReplaced) {
    TTempDir dir;
    const std::string path = dir / "kavrel.ini";
    std::filesystem::create_directory(path);  // exists, yet cannot be read as a file
    EXPECT_FALSE(IniWrite(path, "a", "k", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(IniRead(path, "a", "k"), std::nullopt);
}

TEST(IniFile, MissingFileReadsNothingAndStaysMissing) {
    TTempDir dir;
    EXPECT_EQ(IniRead(dir / "none.ini", "a", "k"), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(dir / "none.ini"));
}

}  // namespace
}  // namespace kavrel
