#include "desktop/desktop_notifier.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(NewMailNote, NamesTheMessagesAndCountsTheRest) {
    const TNewMail ann{"Ann", "Lunch?"};
    const TNewMail bare{"", ""};
    struct {
        const char* name;
        std::vector<TNewMail> mail;
        const char* summary;
        const char* body;
    } const rows[] = {
        // The summary is never markup.
        {"one, markup in it", {{"A <b>", "x<y & z>"}}, "A <b>", "x&lt;y &amp; z&gt;"},
        {"nothing to name", {bare}, "(unknown sender)", "(no subject)"},
        {"four all listed",
         {ann, bare, ann, ann},
         "4 new messages",
         "Ann: Lunch?\n(unknown sender): (no subject)\nAnn: Lunch?\nAnn: Lunch?"},
        {"five: three and the count",
         {ann, ann, ann, bare, bare},
         "5 new messages",
         "Ann: Lunch?\nAnn: Lunch?\nAnn: Lunch?\nand 2 more"},
    };
    for (const auto& r : rows) {
        const TNewMailNote note = NewMailNote(r.mail, true);
        EXPECT_EQ(note.Summary.toStdString(), r.summary) << r.name;
        EXPECT_EQ(note.Body.toStdString(), r.body) << r.name;
    }
}

}  // namespace
}  // namespace kavrel
