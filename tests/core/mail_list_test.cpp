#include "core/mail_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace kavrel {
namespace {

// Entries written as "1a 2b": the digit is the account, the letter the uid.
TMailList ListOf(const std::string& spec) {
    TMailList list;
    for (std::size_t i = 0; i < spec.size(); i += 3) {
        PW_MAIL& m = AppendMail(list);
        m.AccountIndex = spec[i] - '0';
        m.UID = std::string(1, spec[i + 1]);
    }
    return list;
}

std::string Spec(const TMailList& list) {
    std::string out;
    for (const PW_MAIL& m : list) {
        if (!out.empty()) out += ' ';
        out += std::to_string(m.AccountIndex) + m.UID;
    }
    return out;
}

TEST(MailList, SortIsTheExchangeSort) {
    struct {
        const char* before;
        const char* after;
    } const rows[] = {
        {"", ""},
        {"1a", "1a"},
        {"2a 1b", "1b 2a"},
        {"1a 1b 1c 2d", "1b 1c 1a 2d"},
        {"1b 1c 1a 2d", "1c 1a 1b 2d"},  // the same list sorted again moves once more
        {"1a 2b 2c 3d", "1a 2c 2b 3d"},
        {"2a 1b 2c 1d", "1b 1d 2c 2a"},
        {"3a 3b 3c", "3a 3b 3c"},  // one account only: untouched
    };
    for (const auto& r : rows) {
        TMailList list = r.before[0] ? ListOf(r.before) : TMailList{};
        SortMailList(list);
        EXPECT_EQ(Spec(list), r.after) << r.before;
    }
}

// The double loop as the table page has always run it.
void ExchangeSort(TMailList& list) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        for (std::size_t j = 0; j < list.size(); ++j) {
            if (list[i].AccountIndex < list[j].AccountIndex) std::swap(list[i], list[j]);
        }
    }
}

TEST(MailList, SortGivesTheDoubleLoopsOrderRowForRow) {
    const std::vector<std::vector<std::int32_t>> keySets = {
        {1, 2, 3, 4},
        {1, 3},
        {INT32_MIN, -7, 0, 1, 9, INT32_MAX},
        {},  // keys drawn from as many values as the list has entries
    };
    std::mt19937 rng(20261211);
    for (const auto& keys : keySets) {
        for (int round = 0; round < 1500; ++round) {
            const std::size_t n = rng() % 48;
            TMailList list;
            for (std::size_t e = 0; e < n; ++e) {
                PW_MAIL& m = AppendMail(list);
                m.AccountIndex = keys.empty() ? static_cast<std::int32_t>(rng() % (n + 1))
                                              : keys[rng() % keys.size()];
                m.UID = "#" + std::to_string(e);  // "1#23": key 1, entry 23
            }
            TMailList expected = list;
            // Sorted again, as at every page build: the prefix is then ordered already.
            for (int build = 0; build < 3; ++build) {
                SortMailList(list);
                ExchangeSort(expected);
                ASSERT_EQ(Spec(list), Spec(expected)) << "round " << round << ", build " << build;
            }
        }
    }
}

TEST(MailList, SortMovesWholeEntries) {
    TMailList list = ListOf("2a 1b");
    list[0].Subject = "for a";
    list[0].Size = 7;
    SortMailList(list);
    EXPECT_EQ(list[1].UID, "a");
    EXPECT_EQ(list[1].Subject, "for a");
    EXPECT_EQ(list[1].Size, 7);
}

TEST(MailList, CompactKeepsOrder) {
    TMailList list = ListOf("1a 2b 1c 3d");
    CompactMailList(list);
    EXPECT_EQ(Spec(list), "1a 2b 1c 3d");
    list[1].Removed = true;
    list[3].Removed = true;
    CompactMailList(list);
    EXPECT_EQ(Spec(list), "1a 1c");
    for (PW_MAIL& m : list) m.Removed = true;
    CompactMailList(list);
    EXPECT_TRUE(list.empty());
}

TEST(MailList, FindMatchesUidAndSlotFirstEntryWins) {
    TMailList list = ListOf("1a 2a 1b 1a");
    list[0].MailBox = "first";
    list[3].MailBox = "duplicate";
    PW_MAIL* hit = FindMail(list, "a", 1);
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->MailBox, "first");
    EXPECT_TRUE(list[0].Seen);
    EXPECT_FALSE(list[3].Seen) << "only the first match is marked";
    EXPECT_EQ(FindMail(list, "a", 2), &list[1]);
    EXPECT_EQ(FindMail(list, "A", 1), nullptr) << "uids compare case-sensitively";
    EXPECT_EQ(FindMail(list, "b", 2), nullptr) << "the slot takes part in matching";
}

TEST(MailList, OneCheckOverTheList) {
    // Found at an earlier check: a on account 1, b on account 2.
    TMailList list = ListOf("1a 2b");
    list[0].FoundAt = "8:00a";
    for (PW_MAIL& m : list) m.Seen = true;

    ClearSeen(list);
    EXPECT_NE(FindMail(list, "a", 1), nullptr);  // still there
    ASSERT_EQ(FindMail(list, "c", 1), nullptr);  // new
    PW_MAIL& added = AppendMail(list);
    EXPECT_FALSE(added.Seen || added.Removed || added.AccountIndex || added.Size ||
                 !added.UID.empty());
    added.Seen = true;
    added.AccountIndex = 1;
    added.UID = "c";
    MarkUnseenRemoved(list);  // b was not found
    CompactMailList(list);
    EXPECT_EQ(Spec(list), "1a 1c");
    EXPECT_EQ(list[0].FoundAt, "8:00a") << "an entry found again keeps its creation time";
}

TEST(MailList, MarkDeletedByPosition) {
    TMailList list = ListOf("1a 1b");
    list[1].Seen = true;
    EXPECT_TRUE(MarkDeleted(list, 2));
    EXPECT_FALSE(list[1].Seen);
    EXPECT_TRUE(list[1].Removed);
    EXPECT_FALSE(MarkDeleted(list, 0));
    EXPECT_FALSE(MarkDeleted(list, 3));
    CompactMailList(list);
    EXPECT_EQ(Spec(list), "1a");
}

TEST(MailList, Counts) {
    const TMailList list = ListOf("1a 3b 3c 4d");
    EXPECT_EQ(CountMail(list), 4u);
    EXPECT_EQ(CountMail(list, 1), 1u);
    EXPECT_EQ(CountMail(list, 2), 0u);
    EXPECT_EQ(CountMail(list, 3), 2u);
}

}  // namespace
}  // namespace kavrel
