// What Kavrel costs a desktop that runs it all day: the time from start to the window shown,
// the CPU it takes when idle with the tray icon up and the timer at 1 minute, its resident
// memory idle and at the peak of a check of a large mailbox. Runs the real program on a private
// X server with a tray host, against dovecot on loopback.
// Run: build/bench/bench_resource_use [messages] (default 10000; about 3 minutes)
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/pop3_mailbox.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace kavrel;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A child process, killed and reaped with the object.
class TChild {
  public:
    explicit TChild(std::vector<std::string> argv) {
        pid_ = ::fork();
        if (pid_ < 0) throw std::runtime_error("fork failed");
        if (pid_ == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            std::vector<char*> args;
            for (std::string& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
    }
    ~TChild() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;
    pid_t Pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
};

bool Succeeds(const std::string& command) { return std::system(command.c_str()) == 0; }

// CPU seconds (user and system) the process has used.
double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoll(field);
        if (i == 15) stime = std::stoll(field);
    }
    return double(utime + stime) / double(::sysconf(_SC_CLK_TCK));
}

// A line of /proc/PID/status in MiB ("VmRSS", "VmHWM").
double StatusMiB(pid_t pid, const std::string& key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string name;
    while (in >> name) {
        long kib = 0;
        if (name == key + ":" && in >> kib) return double(kib) / 1024.0;
        in.ignore(1 << 16, '\n');
    }
    return 0;
}

std::string FreeDisplay() {
    for (int n = 91; n < 140; ++n) {
        if (!std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n)) &&
            !std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock")) {
            return ":" + std::to_string(n);
        }
    }
    throw std::runtime_error("no free X display");
}

struct TRun {
    double startSeconds = 0;
    pid_t pid = 0;
};

// Starts the program and waits for its window.
TRun StartKavrel(const std::string& program, std::unique_ptr<TChild>& child) {
    const auto start = Clock::now();
    child = std::make_unique<TChild>(std::vector<std::string>{program});
    for (;;) {
        if (Succeeds("xdotool search --name '^Kavrel v1.5$' >/dev/null 2>&1")) break;
        if (Clock::now() - start > std::chrono::seconds(30)) {
            throw std::runtime_error("the window did not appear");
        }
        std::this_thread::sleep_for(milliseconds(5));
    }
    return {std::chrono::duration<double>(Clock::now() - start).count(), child->Pid()};
}

void WriteSettings(const std::string& ini, int port, const std::string& user) {
    test::WriteFile(ini, "[accounts]\nserver1=127.0.0.1:" + std::to_string(port) + "\naccount1=" +
                             user + "\npw1=secret\nactive1=Y\n[general]\ncheckinterval=1\n");
}

}  // namespace

int main(int argc, char** argv) {
    const int size = argc > 1 ? std::atoi(argv[1]) : 10000;
    try {
        test::TTempDir dir;
        const std::string program = dir / "kavrel";
        std::filesystem::copy_file(KAVREL_PROGRAM, program);
        test::TDovecotServer server(
            test::TDovecotServer::TUsers{{"ann", "secret"}, {"idle", "secret"}});
        for (int n = 1; n <= size; ++n) server.AddMessage("ann", bench::Message(n));
        bench::FloorSession(server.Port(), size);  // the server indexes the mailbox once

        const std::string display = FreeDisplay();
        for (const char* d : {"home", "config"}) std::filesystem::create_directories(dir / d);
        std::filesystem::create_directories(dir / "run");
        std::filesystem::permissions(dir / "run", std::filesystem::perms::owner_all);
        ::setenv("DISPLAY", display.c_str(), 1);
        ::setenv("HOME", (dir / "home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (dir / "run").c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        TChild xvfb({"Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        for (int i = 0; i < 200 && !Succeeds("xdotool getmouselocation >/dev/null 2>&1"); ++i) {
            std::this_thread::sleep_for(milliseconds(20));
        }
        TChild trayer({"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel",
                       "--width", "120", "--height", "24"});
        std::this_thread::sleep_for(milliseconds(500));

        // Idle: an empty mailbox, so the one check in the minute costs next to nothing.
        WriteSettings(dir / "kavrel.ini", server.Port(), "idle");
        std::unique_ptr<TChild> kavrel;
        const TRun idle = StartKavrel(program, kavrel);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const double cpu0 = CpuSeconds(idle.pid);
        const auto t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(60));
        const double idleCpu = (CpuSeconds(idle.pid) - cpu0) /
                               std::chrono::duration<double>(Clock::now() - t0).count() * 100;
        const double idleRss = StatusMiB(idle.pid, "VmRSS");
        kavrel.reset();

        // A check of the large mailbox, one minute after the start.
        std::filesystem::remove(dir / "kavrel.ini");
        WriteSettings(dir / "kavrel.ini", server.Port(), "ann");
        const TRun busy = StartKavrel(program, kavrel);
        double last = CpuSeconds(busy.pid);
        auto quietSince = Clock::now();
        bool checked = false;
        auto checkStart = Clock::now(), checkEnd = Clock::now();
        const auto deadline = Clock::now() + std::chrono::seconds(240);
        while (Clock::now() < deadline) {
            std::this_thread::sleep_for(milliseconds(250));
            const double now = CpuSeconds(busy.pid);
            const bool active = now - last > 0.05;
            last = now;
            if (active) {
                if (!checked) checkStart = Clock::now();
                checked = true;
                quietSince = Clock::now();
                checkEnd = Clock::now();
            } else if (checked && Clock::now() - quietSince > std::chrono::seconds(3)) {
                break;
            }
        }
        if (!checked) throw std::runtime_error("no check was seen");
        const double peakRss = StatusMiB(busy.pid, "VmHWM");
        const double afterRss = StatusMiB(busy.pid, "VmRSS");

        std::printf("start-up to the window shown: %.0f ms (idle run), %.0f ms (second run)\n",
                    idle.startSeconds * 1000, busy.startSeconds * 1000);
        std::printf("idle CPU over 60 s, timer at 1 minute: %.3f %%\n", idleCpu);
        std::printf("resident memory idle: %.1f MiB\n", idleRss);
        std::printf(
            "check of %d messages in the window: about %.1f s; peak resident memory "
            "%.1f MiB, %.1f MiB after it\n",
            size, std::chrono::duration<double>(checkEnd - checkStart).count(), peakRss, afterRss);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_resource_use: %s\n", e.what());
        return 1;
    }
    return 0;
}
