#include "net/mail/header_list.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/strings.h"

namespace kavrel {
namespace {

TEST(HeaderList, Lookup) {
    THeaderList h;
    for (const char* line : {"Received: from a", "\tby b", "Subject: Hello", "\tworld", "  again  ",
                             "SUBJECT:second", "To : spaced@name", "From:x@y.z", "No colon here",
                             "X-Empty:", "Date: Tue, 15 Nov 1994 08:12:31"}) {
        h.Add(line);
    }
    h.Add("");  // the blank line that ends a header is not kept
    EXPECT_EQ(h.Count(), 11u);
    struct {
        const char* name;
        const char* value;
    } const rows[] = {
        {"Subject", "Hello world again"},  // folded lines join with single blanks; first wins
        {"subject", "Hello world again"},
        {"Received", "from a by b"},
        {"To", ""},  // 'To : x' is named "TO " and does not answer to "To"
        {"To ", "spaced@name"},
        {"FROM", "x@y.z"},
        {"X-Empty", ""},
        {"Missing", ""},
        {"Date", "Tue, 15 Nov 1994 08:12:31"},  // colons inside the value stay
    };
    for (const auto& r : rows) EXPECT_EQ(h.HeaderValue(r.name), r.value) << r.name;
    EXPECT_EQ(FieldNameOf("Subject : x"), "SUBJECT ");
    EXPECT_EQ(FieldNameOf("no colon"), "");
}

// The lookup rule read off the lines one by one, as it is written.
std::string ScannedValue(const std::vector<std::string>& lines, std::string_view name) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto colon = lines[i].find(':');
        if (colon == std::string::npos || !SameText(lines[i].substr(0, colon), name)) continue;
        std::string value = lines[i].substr(colon + 1);
        for (std::size_t j = i + 1; j < lines.size() && (lines[j][0] == ' ' || lines[j][0] == '\t');
             ++j) {
            value = Trim(value) + " " + Trim(lines[j]);
        }
        return Trim(value);
    }
    return "";
}

// Names that differ in case, only past a-z ("[" and "{", umlauts), or by a trailing blank, and
// continuation lines that hold a colon: the index must answer as the scan does, also after
// Add and Clear change the lines behind it, and in a copy.
TEST(HeaderList, IndexAnswersAsTheScanThroughChanges) {
    const char* const names[] = {"a", "A", "ab", "aB ", "[", "{", "\xE4", "\xC4", "", " a", "\ta"};
    std::mt19937 rng(20261211);
    for (int round = 0; round < 300; ++round) {
        THeaderList h;
        std::vector<std::string> lines;
        for (int step = 0; step < 30; ++step) {
            if (rng() % 16 == 0) {
                h.Clear();
                lines.clear();
            }
            std::string line = names[rng() % std::size(names)];
            if (rng() % 4 != 0) line += ":" + std::to_string(step) + (rng() % 3 ? "" : " :x ");
            h.Add(line);
            if (!line.empty()) lines.push_back(line);
            const std::string name = names[rng() % std::size(names)];
            ASSERT_EQ(h.HeaderValue(name), ScannedValue(lines, name)) << round << '/' << step;
        }
        const THeaderList copy = h;
        for (const char* name : names) ASSERT_EQ(copy.HeaderValue(name), ScannedValue(lines, name));
    }
}

}  // namespace
}  // namespace kavrel
