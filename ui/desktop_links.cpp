#include "ui/desktop_links.h"

#include "config/u_globals.h"
#include "core/account_checks.h"
#include "core/mail_list.h"
#include "core/summary.h"
#include "desktop/qt_text.h"
#include "ui/f_main.h"

namespace kavrel {

TDesktopLinks::TDesktopLinks(TfMain& window, std::chrono::milliseconds wakeDelay)
    : Wake(wakeDelay), window_(window) {
    Service.OnCheckNow = [&window] { window.CheckSoon(); };
    Wake.OnWake = [&window] { window.CheckSoon(); };
    window.OnCountsChanged = [this] {
        Service.Publish(CountMail(MailList),
                        AccountCounts(MailList, Settings.Active, FailedSlots(AccountChecks)));
    };
    window.OnCountsChanged();
    if (const QString problem = Service.Register(); !problem.isEmpty()) {
        window.AppendLog("\r\nScripts cannot reach Kavrel on the session bus: " +
                         FromQString(problem));
    }
}

TDesktopLinks::~TDesktopLinks() { window_.OnCountsChanged = nullptr; }

}  // namespace kavrel
