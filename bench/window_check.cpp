// The check as the window runs it (progress bar, log, page and viewer, on Qt's offscreen
// platform) beside "kavrel --check" against the same dovecot mailbox: a first cycle where
// every message is new and a second where every one is known; then the window's resident
// memory with the page of every message shown.
// Run: build/bench/bench_window_check [sizes...] (default 1000 10000)
#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/pop3_mailbox.h"
#include "config/settings.h"
#include "config/u_globals.h"
#include "core/command_line_check.h"
#include "core/mail_list.h"
#include "tests/support/temp_dir.h"
#include "ui/f_main.h"

namespace {

using namespace kavrel;
using bench::Clock;

constexpr int kRounds = 3;

void PointAt(const std::string& server) {
    Settings.Active[1] = true;
    Settings.Server[1] = server;
    Settings.Account[1] = "ann";
    Settings.Password[1] = "secret";
}

template <typename F>
double Seconds(F&& step) {
    const auto start = Clock::now();
    step();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double ResidentMiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024;
    }
    return -1;
}

struct TCycles {
    double first = 0;
    double second = 0;
};

TCycles CommandLine(const std::string& server) {
    std::vector<double> first, second;
    for (int round = 0; round < kRounds; ++round) {
        Settings = PW_SETTINGS_TYPE{};
        PointAt(server);
        MailList.clear();
        std::ostringstream out;
        first.push_back(Seconds([&] { RunCommandLineCheck({}, out); }));
        second.push_back(Seconds([&] { RunCommandLineCheck({}, out); }));
    }
    return {bench::Median(first), bench::Median(second)};
}

TCycles Window(const std::string& server, double& resident) {
    std::vector<double> first, second;
    for (int round = 0; round < kRounds; ++round) {
        test::TTempDir dir;
        test::WriteFile(dir / "kavrel.ini", "");
        MailList.clear();
        TfMain window({}, nullptr, [&] {
            AppPath = dir.path() + "/";
            IniPath = dir / "kavrel.ini";
            Settings = PW_SETTINGS_TYPE{};
            return LoadSettings();
        });
        window.resize(700, 500);
        window.show();
        QCoreApplication::processEvents();
        PointAt(server);
        first.push_back(Seconds([&] { window.CheckMail(); }));
        second.push_back(Seconds([&] { window.CheckMail(); }));
        QCoreApplication::processEvents();
        resident = ResidentMiB();
    }
    return {bench::Median(first), bench::Median(second)};
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform has no tray; Qt's note about it is not a figure.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES")) {
        qputenv("QT_LOGGING_RULES", "qt.core.qobject.connect=false");
    }
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid()) {
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    }
    QApplication app(argc, argv);
    const std::vector<int> sizes = bench::Sizes(argc, argv);
    try {
        for (const int size : sizes) {
            const bench::TMailboxPair mailbox(size);
            const std::string server = "127.0.0.1:" + std::to_string(mailbox.plain.Port());
            const TCycles line = CommandLine(server);
            double resident = 0;
            const TCycles window = Window(server, resident);
            std::printf(
                "%6d messages: the window's first cycle %.3f s (%.2f x kavrel --check %.3f s), "
                "second %.3f s (%.2f x %.3f s); resident with the page shown %.1f MiB\n",
                size, window.first, window.first / line.first, line.first, window.second,
                window.second / line.second, line.second, resident);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_window_check: %s\n", e.what());
        return 1;
    }
    return 0;
}
