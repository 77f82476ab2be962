#include "core/message_deletion.h"

#include <exception>
#include <string>
#include <vector>

#include "config/u_globals.h"
#include "core/account_session.h"
#include "core/check_cycle.h"
#include "core/mail_list.h"

namespace kavrel {
namespace {

constexpr int kConnectTimeout = 10000;

class TBusyGuard {
  public:
    explicit TBusyGuard(bool& busy) : busy_(busy) { busy_ = true; }
    ~TBusyGuard() { busy_ = false; }
    TBusyGuard(const TBusyGuard&) = delete;
    TBusyGuard& operator=(const TBusyGuard&) = delete;

  private:
    bool& busy_;
};

class TWaitGuard {
  public:
    explicit TWaitGuard(TMailWatchView& view) : view_(view) { view_.BeginWaitCursor(); }
    ~TWaitGuard() { view_.EndWaitCursor(); }
    TWaitGuard(const TWaitGuard&) = delete;
    TWaitGuard& operator=(const TWaitGuard&) = delete;

  private:
    TMailWatchView& view_;
};

}  // namespace

void DeleteMessage(std::int32_t position, TPOP3& pop, bool& busy, TMailWatchView& view) {
    if (busy) return;
    // The page is rebuilt on every change of the list, so this cannot come from a link of
    // ours; touch nothing.
    if (position < 1 || std::size_t(position) > MailList.size()) return;
    TBusyGuard busyGuard(busy);

    // The entry is read through its position every time: the list does not change while busy
    // is held, and a reference would not survive a rebuild.
    auto entry = [position]() -> PW_MAIL& { return MailList[std::size_t(position) - 1]; };

    if (Settings.ConfirmDelete &&
        !view.AskYesNo("Confirm delete", "Delete message with subject of \r" + entry().Subject)) {
        return;
    }

    std::vector<std::string> listing;
    TWaitGuard waitGuard(view);
    const std::string uid = entry().UID;
    const int slot = entry().AccountIndex;
    view.AppendLog("\r\nDeleting email " + entry().Subject);

    try {
        // The keyring or the sign-in may fail: that is this deletion's error.
        PrepareSession(pop, slot);
        pop.Connect(kConnectTimeout);
        NoteSession(pop);
        pop.ListUids(listing);
        for (std::size_t a = 1; a <= listing.size(); ++a) {
            if (UidFromUidlLine(listing[a - 1]) == uid) {
                pop.MarkDeleted(std::int32_t(a));
                MarkDeleted(MailList, std::size_t(position));
                break;
            }
        }
        view.AppendLog(entry().Removed ? " ... message deleted" : " ... message not found");
        view.UpdateSummary();
        view.BuildMessagePage();
    } catch (const std::exception& e) {
        view.AppendLog(std::string(" ... ERROR deleting: ") + e.what());
    }

    // Without QUIT the server keeps the message: say so on the deletion's line.
    if (pop.IsConnected()) {
        try {
            pop.Disconnect();
        } catch (const std::exception& e) {
            view.AppendLog(std::string(" ... ERROR deleting: ") + e.what());
        }
    }
}

}  // namespace kavrel
