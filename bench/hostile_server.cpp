// What a hostile server can cost: each case runs in a process of its own against a scripted
// server on loopback, with the program's real bounds, and reports the wall time and the
// process's peak resident memory beside the bound that holds it. The mail cases run the check
// as "kavrel --check" does; the web cases run one GET as the update check does.
// Run: build/bench/bench_hostile_server [read-timeout-ms] (default 10000; the program uses
// 60000, and the deadline cases take exactly that long)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "config/u_globals.h"
#include "core/command_line_check.h"
#include "net/http/http_client.h"
#include "tests/support/pop3_script.h"

namespace {

using namespace kavrel;
using namespace kavrel::test;

int gReadTimeout = 10000;

struct TCase {
    const char* name;
    const char* bound;  // what ends it
    std::function<std::string()> run;
};

std::string CheckAgainst(const TScript& script) {
    TScriptServer server(script, 120000);
    Settings = PW_SETTINGS_TYPE{};
    Settings.Active[1] = true;
    Settings.Server[1] = "127.0.0.1:" + std::to_string(server.Port());
    Settings.Account[1] = "ann";
    Settings.Password[1] = "secret";
    TPOP3 pop;
    pop.ReadTimeout = gReadTimeout;
    std::ostringstream out;
    RunCommandLineCheck({}, pop, out);
    const std::string log = out.str();
    const auto error = log.find("ERROR");
    return error == std::string::npos ? "no error"
                                      : log.substr(error, log.find('\n', error) - error);
}

std::string GetFrom(const TScript& response) {
    // The request is not read: the answer follows it after a moment, whatever it asked.
    TScriptServer server(TScript{Stall(100)} + response, 120000);
    THTTPClient http;
    http.ReadTimeout = gReadTimeout;
    http.SetHost("127.0.0.1");
    http.SetPort(server.Port());
    try {
        http.Get("/files/kavrel.version");
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

std::vector<TCase> Cases() {
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    std::string cookies;
    for (int i = 0; i < 999; ++i) cookies += "Set-Cookie: c" + std::to_string(i) + "=v\r\n";
    const TScript topOne = {Expect("TOP 1 0"), SendLine("+OK")};
    const std::vector<TScriptMessage> one = {{"u1", "Hello", 100}};
    return {
        {"an empty mailbox (the baseline)", "-",
         [] { return CheckAgainst(LogIn() + Uidl({}) + Stat(0) + Quit()); }},
        {"an endless listing of short lines", "2000000 lines",
         [] {
             return CheckAgainst(
                 LogIn() + TScript{Expect("UIDL"), SendLine("+OK"), Repeat("1 u\r\n", 3'000'000)});
         }},
        {"an endless listing of 70-byte ids", "80 MB",
         [] {
             return CheckAgainst(LogIn() +
                                 TScript{Expect("UIDL"), SendLine("+OK"),
                                         Repeat("1 " + std::string(70, 'u') + "\r\n", 2'000'000)});
         }},
        {"a header without end", "read time-out, 1 MB kept",
         [=] {
             return CheckAgainst(
                 LogIn() + Uidl(one) + Stat(1) + topOne +
                 TScript{Repeat("X-Junk: " + std::string(1000, 'j') + "\r\n", 100'000'000)});
         }},
        {"empty lines for ever after CAPA", "read time-out",
         [] {
             return CheckAgainst(
                 TScript{SendLine("+OK ready"), Expect("CAPA"), Repeat("\r\n", 2'000'000'000)});
         }},
        {"a byte every 100 ms", "read time-out",
         [] {
             return CheckAgainst(
                 LogIn() + TScript{Expect("UIDL"), SendLine("+OK"), Repeat("1", 1'000'000, 100)});
         }},
        {"an endless response head", "1000 lines",
         [=] {
             return GetFrom(TScript{Send(ok), Repeat("X-A: b\r\n", 100'000'000)});
         }},
        {"a response head of long lines", "256 KB",
         [=] {
             return GetFrom(
                 TScript{Send(ok), Repeat("X-A: " + std::string(8000, 'a') + "\r\n", 100'000)});
         }},
        {"999 cookies in one head", "cookies per host",
         [=] { return GetFrom(TScript{Send(ok + cookies + "Content-Length: 2\r\n\r\nok")}); }},
    };
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) gReadTimeout = std::atoi(argv[1]);
    std::printf("read time-out %d ms; each case in a process of its own\n\n", gReadTimeout);
    std::printf("%-36s %-26s %8s %9s %10s  %s\n", "case", "bound", "seconds", "/time-out",
                "peak MiB", "how it ended");
    for (const TCase& c : Cases()) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) return 1;
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipeFds[0]);
            const std::string ended = c.run();
            if (::write(pipeFds[1], ended.data(), ended.size()) < 0) ::_exit(1);
            ::_exit(0);
        }
        ::close(pipeFds[1]);
        std::string ended;
        char buffer[512];
        for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
            ended.append(buffer, n);
        ::close(pipeFds[0]);
        int status = 0;
        rusage usage{};
        ::wait4(child, &status, 0, &usage);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%-36s %-26s %8.2f %9.2f %10.1f  %s\n", c.name, c.bound, seconds,
                    seconds * 1000 / gReadTimeout, usage.ru_maxrss / 1024.0, ended.c_str());
        std::fflush(stdout);
    }
    return 0;
}
