// The whole mail check of one to four accounts against a server that says anything: log-in,
// UIDL, STAT, TOP and LIST replies, and the summary and page built from what they gave. The
// check must end with busy, the hourglass and the progress widgets given back, and the page
// must hold no markup the server sent.
//
// Input: two option bytes, then everything the server sends, session after session.
//   0  bits 0-1 the accounts checked less one; bit 2 a second check over the same list;
//      bits 3-4 the end (close, reset, silence); bit 5 a wait that times out now and then
//   1  the largest receive (0: no limit of its own)
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "config/u_globals.h"
#include "core/account_checks.h"
#include "core/check_cycle.h"
#include "core/mail_list.h"
#include "core/mail_watch_view.h"
#include "core/message_page.h"
#include "core/summary.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/fuzz/memory_io_handler.h"

namespace kavrel {
namespace {

class TPlainColors : public TSystemColors {
  public:
    TColor GetSysColor(TSysColor) const override { return RGB(1, 2, 3); }
};

std::size_t Count(std::string_view text, std::string_view what) {
    std::size_t n = 0;
    for (auto p = text.find(what); p != std::string_view::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

// A window that only keeps count of what the check asks of it.
class TCountingView : public TMailWatchView {
  public:
    int Cursors = 0;
    bool ProgressShown = false;

    void SetLog(const std::string&) override {}
    void AppendLog(const std::string&) override {}
    void BeginWaitCursor() override { ++Cursors; }
    void EndWaitCursor() override {
        FUZZ_CHECK(Cursors > 0);
        --Cursors;
    }
    void ShowProgress() override { ProgressShown = true; }
    void HideProgress() override { ProgressShown = false; }
    void SetProgressLabel(const std::string&) override {}
    void SetProgressMax(int maximum) override { FUZZ_CHECK(maximum >= 0); }
    void SetProgressPosition(int position) override { FUZZ_CHECK(position >= 1); }
    void SetLastChecked(const std::string&) override {}
    void ProcessEvents() override {}
    void UpdateSummary() override {
        SummaryOf(MailList, Settings.Active, FailedSlots(AccountChecks));
    }
    void BuildMessagePage() override {
        kavrel::BuildMessagePage(TPlainColors{}, [](const std::string& page) {
            // One delete link per row, and none the server slipped in.
            FUZZ_CHECK(Count(page, "<a ") == MailList.size());
            FUZZ_CHECK(Count(page, "<tr ") >= MailList.size() + 1);
        });
    }
    void OpenWithShell(const std::string&) override { FUZZ_CHECK(!"no program is set"); }
    void PlayNewMailSound(const std::string&) override { FUZZ_CHECK(!"no sound is set"); }
    void ShowMainWindow() override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
};

void SetUpAccounts(int count) {
    Settings = PW_SETTINGS_TYPE{};
    const char* servers[] = {"pop.example.org", "mail.example.net:1100", "127.0.0.1", "pop"};
    for (int slot = 1; slot <= count; ++slot) {
        Settings.Active[slot] = true;
        Settings.Server[slot] = servers[slot - 1];
        Settings.Account[slot] = "ann";
        Settings.Password[slot] = "secret";
    }
}

}  // namespace
}  // namespace kavrel

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
    fuzz::TFuzzInput input(data, size);
    const std::uint8_t flags = input.Byte();
    const std::uint8_t receive = input.Byte();
    const std::string_view stream = input.Rest();

    fuzz::TMemoryIOHandler carrier(stream);
    if (receive != 0) carrier.Chunks = {receive};
    carrier.End = fuzz::StreamEndOf(flags >> 3);
    if (flags & 32) carrier.StallEvery = 5;

    SetUpAccounts(1 + (flags & 3));
    MailList.clear();
    TPOP3 pop;
    pop.ReadTimeout = kMailReadTimeout;
    pop.SetIOHandler(&carrier);
    TCountingView view;
    bool busy = false;
    const int checks = (flags & 4) ? 2 : 1;
    for (int i = 0; i < checks; ++i) {
        const TCheckResult result = CheckMail(pop, busy, view);
        FUZZ_CHECK(result.Ran && !busy && view.Cursors == 0 && !view.ProgressShown);
        FUZZ_CHECK(result.FailedAccounts <= result.Accounts);
        FUZZ_CHECK(!pop.IsConnected());
    }
    MailList.clear();
    return 0;
}
