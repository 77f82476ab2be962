#include "core/check_cycle.h"

#include <deque>
#include <exception>
#include <filesystem>
#include <unordered_set>
#include <vector>

#include "base/date_time.h"
#include "base/strings.h"
#include "config/u_globals.h"
#include "core/account_checks.h"
#include "core/account_session.h"
#include "core/login_pauses.h"
#include "core/mail_list.h"
#include "core/mail_lookup.h"
#include "core/secrets.h"
#include "core/summary.h"
#include "net/mail/mail_message.h"

namespace kavrel {
namespace {

constexpr int kConnectTimeout = 10000;

// Holds busy, the hourglass and the progress widgets for one check, and gives all three back
// on every way out.
class TCheckGuard {
  public:
    TCheckGuard(bool& busy, TMailWatchView& view) : busy_(busy), view_(view) {
        busy_ = true;
        view_.BeginWaitCursor();
        view_.ShowProgress();
    }
    ~TCheckGuard() {
        view_.HideProgress();
        busy_ = false;
        view_.EndWaitCursor();
    }
    TCheckGuard(const TCheckGuard&) = delete;
    TCheckGuard& operator=(const TCheckGuard&) = delete;

  private:
    bool& busy_;
    TMailWatchView& view_;
};

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

const std::string& LineAt(const std::vector<std::string>& lines, std::int32_t r) {
    if (r < 1 || std::size_t(r) > lines.size()) {
        throw EStringListError("List index out of bounds (" + std::to_string(r - 1) + ")");
    }
    return lines[std::size_t(r) - 1];
}

bool SlotEnabled(int slot) { return Settings.Active[slot] && HasLogin(slot); }

// Looks message r up and, when it is not tracked yet, adds it to the list and to fresh.
// Filling goes field by field in a fixed order, so a failure half-way leaves the entry as far
// as it got, and the message counts as new all the same.
void TrackMessage(const std::vector<std::string>& listing, std::int32_t r, int slot,
                  const std::string& mailBox, TPOP3& pop, const TMailMessage& msg,
                  TMailLookup& lookup, std::vector<TNewMail>& fresh) {
    // The scan reads line r only when there is an entry to compare it with.
    if (!MailList.empty() && lookup.Find(UidFromUidlLine(LineAt(listing, r)), slot) != nullptr) {
        return;
    }
    fresh.push_back({msg.From.Name.empty() ? msg.From.Address : msg.From.Name, msg.Subject});
    PW_MAIL& m = AppendMail(MailList);
    m.Removed = false;
    m.Seen = true;
    m.AccountIndex = slot;
    m.MsgNumber = r;
    m.UID = UidFromUidlLine(LineAt(listing, r));
    lookup.AddLast();
    m.FoundAt = FormatDateTime("h:mma/p", Now());
    m.SentAt = FormatDateTime("m/d/yyyy h:mma/p", msg.Date);
    m.MailBox = mailBox;
    m.FromAddress = msg.From.Address;
    m.Size = pop.GetMessageSize(r);
    m.Subject = msg.Subject;
}

// With a server that allows pipelining, the commands the loop over the messages will send are
// written ahead of it: TOP for each message and LIST for each that will be new (not tracked
// yet, and not an earlier message's uid again), up to kAheadBytes of commands whose replies
// have not been read, topped up when half of them have been. The commands and their order stay
// those of the loop; it only stops waiting for the server between them. The connection sends
// them while it reads, so no depth can make both sides wait on each other.
class TCommandsAhead {
  public:
    static constexpr std::size_t kAheadBytes = 128 * 1024;

    TCommandsAhead(TPOP3& pop, const std::vector<std::string>& listing, int slot,
                   std::int32_t count, const TMailLookup& lookup)
        : pop_(pop),
          listing_(listing),
          slot_(slot),
          count_(pop.HasCapability("PIPELINING") ? count : 0),
          lookup_(lookup) {}

    // Keeps the commands of the messages from r on written, as far as the budget goes.
    void Before(std::int32_t r) {
        for (; first_ < r && !sizes_.empty(); ++first_) {
            bytes_ -= sizes_.front();
            sizes_.pop_front();
        }
        if (next_ > count_ || bytes_ > kAheadBytes / 2) return;
        std::vector<std::string> commands;
        for (; next_ <= count_ && bytes_ < kAheadBytes; ++next_) {
            std::size_t size = 0;
            const auto add = [&](std::string command) {
                size += command.size() + 2;
                commands.push_back(std::move(command));
            };
            add("TOP " + std::to_string(next_) + " 0");
            if (WillBeNew(next_)) add("LIST " + std::to_string(next_));
            sizes_.push_back(size);
            bytes_ += size;
        }
        pop_.WriteAhead(commands);
    }

  private:
    // As TrackMessage decides: a message past the listing fails before its LIST.
    bool WillBeNew(std::int32_t r) {
        if (std::size_t(r) > listing_.size()) return false;
        const std::string uid = UidFromUidlLine(listing_[std::size_t(r) - 1]);
        if (lookup_.Contains(uid, slot_)) return false;
        return fresh_.insert(uid).second;
    }

    TPOP3& pop_;
    const std::vector<std::string>& listing_;
    const int slot_;
    const std::int32_t count_;
    const TMailLookup& lookup_;
    std::int32_t next_ = 1;
    std::int32_t first_ = 1;  // the first message whose commands are counted in bytes_
    std::deque<std::size_t> sizes_;
    std::size_t bytes_ = 0;
    std::unordered_set<std::string> fresh_;
};

std::string HeaderError(std::int32_t r, const std::string& text) {
    return "\r\nERROR retrieving message header #" + std::to_string(r) + "\r\n" + text;
}

// A server's text ends with its line break: the note goes before it.
std::string WithNote(std::string text, const std::string& note) {
    const bool broken = text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
    text.insert(broken ? text.size() - 2 : text.size(), note);
    return text;
}

enum class TAccountOutcome {
    Checked,
    NotReached,  // the log-in, the listing or the count failed
    Incomplete,  // the loop over the messages ended early: the rest is unknown
};

// One enabled slot. An account not checked to the end is recorded in AccountChecks.
TAccountOutcome CheckAccount(int slot, TPOP3& pop, TMailWatchView& view, TMailLookup& lookup,
                             std::vector<TNewMail>& fresh) {
    std::vector<std::string> listing;
    const std::string mailBox = MailBoxOf(slot);
    view.AppendLog("\r\nChecking " + mailBox);
    view.SetProgressLabel("Checking " + mailBox);

    TAccountOutcome outcome = TAccountOutcome::Checked;
    std::int32_t n = 0;
    if (const std::string paused = LoginPaused(slot, Now()); !paused.empty()) {
        view.AppendLog(paused);
        outcome = TAccountOutcome::NotReached;
    } else {
        try {
            // The keyring or the sign-in may fail: that is this account's error.
            PrepareSession(pop, slot);
            pop.Connect(kConnectTimeout);
            NoteLogin(slot, pop, Now());
            const bool inClear = NoteSession(pop);
            pop.ListUids(listing);
            n = pop.GetMessageCount();
            // A password that went in clear is never a quiet matter.
            view.AppendLog(" ... " + std::to_string(n) + " messages waiting." +
                           (inClear ? " (unencrypted)" : ""));
            view.SetProgressMax(n);
        } catch (const std::exception& e) {
            view.AppendLog(" ... ERROR: " + WithNote(e.what(), NoteFailure(slot, pop, Now())));
            n = 0;
            outcome = TAccountOutcome::NotReached;
        }
    }

    TCommandsAhead ahead(pop, listing, slot, n, lookup);
    for (std::int32_t r = 1; r <= n; ++r) {
        view.SetProgressPosition(r);
        try {
            ahead.Before(r);
            view.ProcessEvents();
            TMailMessage msg;
            // The list keeps the sender's address, the subject and the date, and no more.
            pop.FetchHeader(r, msg, TMailMessage::TFields::FromAddressSubjectDate);
            view.ProcessEvents();
            // A header field no parser could read is the sender's fault, not the server's: the
            // message is tracked with what could be read, and the next one is checked.
            if (!msg.ParseError.empty()) view.AppendLog(HeaderError(r, msg.ParseError));
            TrackMessage(listing, r, slot, mailBox, pop, msg, lookup, fresh);
        } catch (const std::exception& e) {
            // The connection or the server's reply failed: what the session would say next
            // cannot be trusted.
            view.AppendLog(HeaderError(r, e.what()));
            outcome = TAccountOutcome::Incomplete;
            break;
        }
    }

    // QUIT could not be sent: the connection is closed all the same, and the next slot goes
    // on. The account's line says why.
    if (pop.IsConnected()) {
        try {
            pop.Disconnect();
        } catch (const std::exception& e) {
            view.AppendLog(std::string(" ... ERROR: ") + e.what());
        }
    }
    if (outcome != TAccountOutcome::Checked) {
        AccountChecks[slot] = {true, mailBox, FormatDateTime("h:nna/p m/d/yyyy", Now())};
    }
    return outcome;
}

void ReactToNewMail(const std::vector<TNewMail>& fresh, TMailWatchView& view) {
    const bool newMail = !fresh.empty();
    const std::string& program = Settings.MailProgram;
    if (!Trim(program).empty()) {
        if (FileExists(program)) {
            if (Settings.LaunchOnNewMail && newMail) view.OpenWithShell(program);
        } else {
            view.AppendLog("\r\nERROR external mail program \"" + program +
                           "\" cannot be found. Please re-configure it.");
        }
    }

    // Before the sound, which holds the thread until it ends.
    if (newMail && Settings.NotifyOnNewMail) view.NotifyNewMail(fresh);

    const std::string& wave = Settings.NewMailWave;
    if (newMail && !wave.empty()) {
        if (FileExists(wave)) {
            try {
                view.PlayNewMailSound(wave);
            } catch (const std::exception& e) {
                view.AppendLog("\r\nERROR unable to play sound file \"" + wave + "\"\r\n" +
                               e.what());
            }
        } else {
            view.AppendLog("\r\nERROR cannot find sound file \"" + wave +
                           "\". Please re-configure it.");
        }
    }

    if (Settings.ShowOnNewMail && newMail) view.ShowMainWindow();
}

}  // namespace

std::string UidFromUidlLine(const std::string& line) {
    const auto blank = line.find(' ');
    if (blank == std::string::npos || blank + 1 == line.size()) return line;
    return line.substr(blank + 1);
}

TCheckResult CheckMail(TPOP3& pop, bool& busy, TMailWatchView& view) {
    TCheckResult result;
    if (busy) return result;
    result.Ran = true;
    TCheckGuard guard(busy, view);

    view.SetLog("Checking accounts " + FormatDateTime("h:nna/p m/d/yyyy", Now()));
    std::vector<TNewMail> fresh;
    ClearSeen(MailList);
    TMailLookup lookup(MailList);
    AccountChecks = {};

    for (int slot = 1; slot <= kAccountCount && !view.Ending(); ++slot) {
        if (!SlotEnabled(slot)) continue;
        ++result.Accounts;
        if (CheckAccount(slot, pop, view, lookup, fresh) == TAccountOutcome::NotReached) {
            ++result.FailedAccounts;
        }
    }

    MarkUnseenRemoved(MailList, FailedSlots(AccountChecks));
    view.SetLastChecked("Last Checked: " + FormatDateTime("h:nna/p m/d/yyyy", Now()));
    view.UpdateSummary();
    view.BuildMessagePage();
    view.ProcessEvents();

    if (!view.Ending()) ReactToNewMail(fresh, view);
    result.NewMail = !fresh.empty();
    return result;
}

}  // namespace kavrel
