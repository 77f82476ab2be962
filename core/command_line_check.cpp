#include "core/command_line_check.h"

#include <string>

#include "core/check_cycle.h"
#include "core/message_page.h"
#include "core/summary.h"

namespace kavrel {
namespace {

// The colours of a light desktop theme, for a page printed where there is no desktop.
class TLightColors : public TSystemColors {
  public:
    TColor GetSysColor(TSysColor which) const override {
        switch (which) {
            case TSysColor::ActiveCaption:
                return RGB(0x30, 0x8C, 0xC6);
            case TSysColor::InactiveCaption:
                return RGB(0xA0, 0xA0, 0xA0);
            case TSysColor::WindowText:
            case TSysColor::InfoText:
                return RGB(0x00, 0x00, 0x00);
            case TSysColor::CaptionText:
            case TSysColor::BtnHighlight:
            case TSysColor::Window:
                return RGB(0xFF, 0xFF, 0xFF);
        }
        return 0;
    }
};

// Keeps what a window would show; the reactions to new mail are the window's and do nothing
// here.
class TConsoleView : public TMailWatchView, public TSummaryView {
  public:
    std::string Log;
    std::string Hint;
    std::string Page;

    void SetLog(const std::string& text) override { Log = text; }
    void AppendLog(const std::string& piece) override { Log += piece; }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void ShowProgress() override {}
    void HideProgress() override {}
    void SetProgressLabel(const std::string&) override {}
    void SetProgressMax(int) override {}
    void SetProgressPosition(int) override {}
    void SetLastChecked(const std::string&) override {}
    void ProcessEvents() override {}
    void UpdateSummary() override { kavrel::UpdateSummary(static_cast<TSummaryView&>(*this)); }
    void BuildMessagePage() override {
        kavrel::BuildMessagePage(TLightColors{}, [this](const std::string& page) { Page = page; });
    }
    void OpenWithShell(const std::string&) override {}
    void PlayNewMailSound(const std::string&) override {}
    void ShowMainWindow() override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }

    void SetTrayHint(const std::string& hint) override { Hint = hint; }
    void SetMessagesCaption(const std::string&) override {}
    void SetTrayText(const std::string&, bool) override {}
};

std::string WithNewlines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

}  // namespace

int RunCommandLineCheck(const TCheckOptions& options, TPOP3& pop, std::ostream& out) {
    TConsoleView view;
    bool busy = false;
    const TCheckResult result = CheckMail(pop, busy, view);
    out << WithNewlines(view.Log) << '\n';
    if (options.Page) {
        out << view.Page;
        if (view.Page.empty() || view.Page.back() != '\n') out << '\n';
    } else {
        out << view.Hint << '\n';
    }
    out.flush();
    return result.Accounts > 0 && result.FailedAccounts == result.Accounts ? 1 : 0;
}

int RunCommandLineCheck(const TCheckOptions& options, std::ostream& out) {
    TPOP3 pop;
    pop.ReadTimeout = kMailReadTimeout;
    return RunCommandLineCheck(options, pop, out);
}

}  // namespace kavrel
