#include "core/summary.h"

#include <gtest/gtest.h>

#include "config/u_globals.h"

#include <vector>

namespace kavrel {
namespace {

// Entries as a string of account digits; a letter x after a digit marks that entry removed.
TMailList ListOf(const std::string& accounts) {
    TMailList list;
    for (char c : accounts) {
        if (c == 'x') {
            list.back().Removed = true;
            continue;
        }
        PW_MAIL& m = AppendMail(list);
        m.AccountIndex = c - '0';
        m.UID = std::to_string(list.size());
    }
    return list;
}

TAccountSlots<bool> ActiveOf(const std::string& slots) {
    TAccountSlots<bool> active;
    for (char c : slots) active[c - '0'] = true;
    return active;
}

class TRecordingView : public TSummaryView {
  public:
    void SetTrayHint(const std::string& hint) override { calls.push_back("hint=" + hint); }
    void SetMessagesCaption(const std::string& caption) override {
        calls.push_back("caption=" + caption);
    }
    void SetTrayText(const std::string& text, bool uncertain) override {
        calls.push_back("text=" + text + (uncertain ? " uncertain" : ""));
    }
    std::vector<std::string> calls;
};

TEST(Summary, HintLabelAndTrayText) {
    struct {
        const char* name;
        const char* entries;
        const char* active;
        const char* hint;
        const char* caption;
        const char* failed = "";  // slots whose last check failed
    } const rows[] = {
        {"nothing at all", "", "", "0 emails waiting", "0 messages waiting"},
        {"one active slot", "2222", "2", "4 emails waiting", "4 messages waiting"},
        {"one active slot, others' mail in the total", "1122", "1", "4 emails waiting",
         "4 messages waiting"},
        {"slots 1 and 3", "1133333", "13", "7 (2/5) waiting", "7 messages waiting"},
        {"zeros of active slots are listed", "113", "123", "3 (2/0/1) waiting",
         "3 messages waiting"},
        {"all four, in slot order", "4321", "1234", "4 (1/1/1/1) waiting", "4 messages waiting"},
        {"two active slots, both empty", "", "24", "0 (0/0) waiting", "0 messages waiting"},
        {"slot switched off since the check", "11224", "14", "5 (2/1) waiting",
         "5 messages waiting"},
        {"removed entries are not counted", "1x12x23", "123", "3 (1/1/1) waiting",
         "3 messages waiting"},
        {"everything removed", "1x2x", "12", "0 (0/0) waiting", "0 messages waiting"},
        {"a failed slot among two", "1111222", "12", "7 (4/3?) waiting",
         "7 messages waiting (1 account not checked)", "2"},
        {"the one active slot failed", "111", "1", "3? emails waiting",
         "3 messages waiting (1 account not checked)", "1"},
        {"nothing known of two failed slots", "", "134", "0 (0?/0/0?) waiting",
         "0 messages waiting (2 accounts not checked)", "14"},
        {"a failed slot switched off since", "1122", "1", "4 emails waiting", "4 messages waiting",
         "2"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TMailList list = ListOf(r.entries);
        TRecordingView view;
        UpdateSummary(list, ActiveOf(r.active), view, ActiveOf(r.failed));
        const bool uncertain = std::string(r.caption).find("not checked") != std::string::npos;
        const std::vector<std::string> expected = {
            std::string("hint=") + r.hint, std::string("caption=") + r.caption,
            "text=" + std::to_string(list.size()) + (uncertain ? " uncertain" : "")};
        EXPECT_EQ(view.calls, expected);
        for (const PW_MAIL& m : list) EXPECT_FALSE(m.Removed);
    }
}

// Readable in a 16-pixel square: never more than three characters.
TEST(Summary, TrayCountText) {
    const std::pair<std::size_t, const char*> rows[] = {
        {0, "0"},      {99, "99"},    {999, "999"},   {1000, "1k+"},
        {1999, "1k+"}, {9999, "9k+"}, {250000, "9k+"}};
    for (const auto& [count, text] : rows) EXPECT_EQ(TrayCountText(count), text) << count;
}

TEST(Summary, GlobalFormUsesMailListAndSettings) {
    MailList = ListOf("113x");
    Settings.Active = ActiveOf("13");
    TRecordingView view;
    UpdateSummary(view);
    EXPECT_EQ(MailList.size(), 2u);
    EXPECT_EQ(view.calls.front(), "hint=2 (2/0) waiting");
    MailList.clear();
    Settings = PW_SETTINGS_TYPE{};
}

}  // namespace
}  // namespace kavrel
