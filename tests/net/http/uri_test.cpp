#include "net/http/uri.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(URI, ParseUri) {
    struct {
        const char* name;
        const char* text;
        TURI
            expected;  // Protocol, UserName, Password, Host, Port, Path, Document, Params, Bookmark
    } const rows[] = {
        {"absolute path",
         "/files/kavrel.version",
         {"", "", "", "", "", "/files/", "kavrel.version", "", ""}},
        {"bare name", "setup.exe", {"", "", "", "", "", "", "setup.exe", "", ""}},
        {"empty", "", {}},
        {"relative folder", "../x/", {"", "", "", "", "", "../x/", "", "", ""}},
        {"query", "/a/b.exe?x=1/y", {"", "", "", "", "", "/a/", "b.exe", "?x=1/y", ""}},
        {"equals sign starts the parameters without a question mark",
         "a/b=c/d",
         {"", "", "", "", "", "a/", "b", "=c/d", ""}},
        {"full address",
         "http://h2:8080/a/b.exe?x=1#f",
         {"http", "", "", "h2", "8080", "/a/", "b.exe", "?x=1", "f"}},
        {"bookmark in the document",
         "http://h/a/page#top",
         {"http", "", "", "h", "", "/a/", "page", "", "top"}},
        {"nothing after the host", "http://h", {"http", "", "", "h", "", "/", "", "", ""}},
        {"credentials",
         "http://ann:secret@h:81/x",
         {"http", "ann", "secret", "h", "81", "/", "x", "", ""}},
        {"password without a user name is dropped",
         "http://:secret@h/",
         {"http", "", "", "h", "", "/", "", "", ""}},
        {"backslashes are slashes",
         "http://h\\files\\setup.exe",
         {"http", "", "", "h", "", "/files/", "setup.exe", "", ""}},
        {"other protocol", "ftp://h/f", {"ftp", "", "", "h", "", "/", "f", "", ""}},
    };
    for (const auto& r : rows) {
        TURI u;
        u.Protocol = "left over";
        u.ParseUri(r.text);
        const TURI& e = r.expected;
        EXPECT_EQ(u.Protocol, e.Protocol) << r.name;
        EXPECT_EQ(u.UserName, e.UserName) << r.name;
        EXPECT_EQ(u.Password, e.Password) << r.name;
        EXPECT_EQ(u.Host, e.Host) << r.name;
        EXPECT_EQ(u.Port, e.Port) << r.name;
        EXPECT_EQ(u.Path, e.Path) << r.name;
        EXPECT_EQ(u.Document, e.Document) << r.name;
        EXPECT_EQ(u.Params, e.Params) << r.name;
        EXPECT_EQ(u.Bookmark, e.Bookmark) << r.name;
    }
}

TEST(URI, CombinePath) {
    struct {
        const char* name;
        const char* base;
        const char* path;
        const char* expected;
    } const rows[] = {
        {"name in the folder", "/files/", "setup.exe", "/files/setup.exe"},
        {"empty path keeps the folder", "/files/", "", "/files/"},
        {"up one", "/files/", "../x/", "/x/"},
        {"absolute replaces", "/files/", "/a/", "/a/"},
        {"base without its slash", "/files", "a/", "/files/a/"},
        {"runs of slashes collapse", "/files//", "a//b/", "/files/a/b/"},
        {"up past the root stays there", "/", "../../a/", "/a/"},
        {"up twice", "/a/b/c/", "../../d/", "/a/d/"},
        {"a name starting with dots is a name", "/files/", "..x/", "/files/..x/"},
        {"trailing slash dropped unless the path has one", "/files/", "a/..", "/files"},
        {"no base", "", "a/", "a/"},
        {"root", "/", "", "/"},
    };
    for (const auto& r : rows) EXPECT_EQ(CombinePath(r.base, r.path), r.expected) << r.name;
}

}  // namespace
}  // namespace kavrel
