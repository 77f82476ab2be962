#include <QApplication>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/single_instance.h"
#include "config/u_globals.h"
#include "core/command_line_check.h"
#include "core/program_title.h"
#include "core/secrets.h"
#include "desktop/f_about.h"
#include "desktop/keyring.h"
#include "desktop/tray_text_icon.h"
#include "ui/desktop_links.h"
#include "ui/f_main.h"

namespace {

int RunWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kavrel"));
    // No display name: the platform would append it to every window's title.
    QApplication::setDesktopFileName(QStringLiteral("kavrel"));

    // A second start brings the first copy's window forward and ends without a window.
    kavrel::TSingleInstance instance;
    if (!instance.Acquire()) return 0;

    kavrel::TfMain fMain(QApplication::arguments().mid(1));
    // Dialogs and message boxes take the main window's picture too.
    QApplication::setWindowIcon(fMain.windowIcon());
    QObject::connect(&instance, &kavrel::TSingleInstance::ShowRequested, &fMain,
                     [&fMain] { fMain.txtTray->ShowMainWindow(); });
    fMain.OnEnding = [&instance] { instance.Release(); };
    kavrel::TDesktopLinks links(fMain);
    links.Wake.WatchNetwork();
    fMain.ShowAtStart();
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const kavrel::TCommandLine line = kavrel::ParseCommandLine(arguments);
    // Asked only when an account needs it: most never do.
    kavrel::SetSecrets(std::make_unique<kavrel::TDesktopKeyring>());
    switch (line.Mode) {
        case kavrel::TRunMode::Window:
            return RunWindow(argc, argv);
        case kavrel::TRunMode::Check:
            // No display, no single-instance lock: this runs over SSH, in a console and
            // beside a running window.
            if (const std::string problem = kavrel::InitGlobals(); !problem.empty()) {
                std::cerr << "kavrel: " << problem << "\n";
            }
            return kavrel::RunCommandLineCheck(line.Check, std::cout);
        case kavrel::TRunMode::Version:
            std::cout << kavrel::kProgramTitle << "\n";
            return 0;
        case kavrel::TRunMode::Help:
            std::cout << kavrel::kUsage;
            return 0;
        case kavrel::TRunMode::Invalid:
            std::cerr << "kavrel: " << line.Error << "\n" << kavrel::kUsage;
            return 2;
    }
    return 2;
}
