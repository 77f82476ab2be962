#include "core/check_cycle.h"

#include <gtest/gtest.h>

#include "core/mail_list.h"
#include "core/mail_lookup.h"

namespace kavrel {
namespace {

TEST(UidFromUidlLine, TakesTheTextAfterTheFirstBlank) {
    struct {
        const char* line;
        const char* uid;
    } const rows[] = {
        {"1 whqtswO00WBw418f9t5JxYwZ", "whqtswO00WBw418f9t5JxYwZ"},
        {"12 a b", "a b"},   // only the first blank separates
        {"1  two", " two"},  // the uid keeps a second blank
        {"x uid", "uid"},    // the number is not looked at
        {"nouid", "nouid"},  // no blank: the whole line
        {"1 ", "1 "},        // a blank at the end: the whole line
        {" lead", "lead"},
        {"", ""},
    };
    for (const auto& r : rows) EXPECT_EQ(UidFromUidlLine(r.line), r.uid) << '"' << r.line << '"';
}

// The lookup must give what the scan gives, duplicates and entries added on the way included.
TEST(MailLookup, AnswersAsTheScanDoes) {
    TMailList list;
    const struct {
        const char* uid;
        int account;
    } entries[] = {{"a", 1}, {"b", 1}, {"a", 2}, {"a", 1}, {"", 3}};
    for (const auto& e : entries) {
        PW_MAIL& m = AppendMail(list);
        m.UID = e.uid;
        m.AccountIndex = e.account;
    }
    TMailList scanned = list;
    TMailLookup lookup(list);
    const struct {
        const char* uid;
        int account;
    } queries[] = {{"a", 1}, {"a", 2}, {"b", 1}, {"b", 2}, {"", 3}, {"A", 1}, {"c", 1}};
    for (const auto& q : queries) {
        const PW_MAIL* fast = lookup.Find(q.uid, q.account);
        const PW_MAIL* slow = FindMail(scanned, q.uid, q.account);
        ASSERT_EQ(fast == nullptr, slow == nullptr) << q.uid << "/" << q.account;
        if (fast) {
            EXPECT_EQ(fast - list.data(), slow - scanned.data()) << q.uid;
        }
    }
    for (std::size_t i = 0; i < list.size(); ++i) EXPECT_EQ(list[i].Seen, scanned[i].Seen) << i;

    PW_MAIL& added = AppendMail(list);
    added.UID = "c";
    added.AccountIndex = 1;
    lookup.AddLast();
    EXPECT_EQ(lookup.Find("c", 1), &list.back());
}

}  // namespace
}  // namespace kavrel
