#include "tests/support/http_file_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "tests/support/child_process.h"

namespace kavrel::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kPython = "/usr/bin/python3";

// http.server over TLS, announcing itself as `python3 -m http.server` does.
constexpr const char* kHttpsServer = R"(
import functools, http.server, ssl, sys
root, cert, key = sys.argv[1:4]
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=root)
httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
httpd.socket = context.wrap_socket(httpd.socket, server_side=True)
port = httpd.server_address[1]
print(f"Serving HTTPS on 127.0.0.1 port {port} (https://127.0.0.1:{port}/) ...", flush=True)
httpd.serve_forever()
)";

}  // namespace

THTTPFileServer::THTTPFileServer(const std::string& root, const TTls& tls) {
    if (::access(kPython, X_OK) != 0) {
        throw std::runtime_error("python3 is not installed: install the Debian package python3");
    }
    std::string logTemplate = "/tmp/kavrel-http-log-XXXXXX";
    const int logFd = ::mkostemp(logTemplate.data(), O_CLOEXEC);
    if (logFd < 0) throw std::runtime_error("no log file for the web server");
    log_ = logTemplate;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        ::close(logFd);
        throw std::runtime_error("no pipe for the web server");
    }
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::dup2(logFd, STDERR_FILENO);
        // Port 0: the system picks a free one, and the server names it on its first line.
        if (tls.cert.empty()) {
            ::execl(kPython, kPython, "-u", "-m", "http.server", "0", "--bind", "127.0.0.1",
                    "--directory", root.c_str(), static_cast<char*>(nullptr));
        } else {
            ::execl(kPython, kPython, "-u", "-c", kHttpsServer, root.c_str(), tls.cert.c_str(),
                    tls.key.c_str(), static_cast<char*>(nullptr));
        }
        _exit(127);
    }
    ::close(logFd);
    ::close(pipeFds[1]);
    output_.reset(pipeFds[0]);

    // "Serving HTTP on 127.0.0.1 port 40123 (http://127.0.0.1:40123/) ..."
    std::string text;
    port_ = AnnouncedPort(output_.get(), ") ...", text);
    if (port_ <= 0) {
        Stop();
        throw std::runtime_error("python3 http.server did not start: " + text);
    }
}

THTTPFileServer::~THTTPFileServer() { Stop(); }

void THTTPFileServer::Stop() {
    StopChild(pid_);
    if (!log_.empty()) ::unlink(log_.c_str());
    log_.clear();
}

std::string THTTPFileServer::Address() const { return "127.0.0.1:" + std::to_string(port_); }

std::vector<std::string> THTTPFileServer::Requests() const {
    // 127.0.0.1 - - [10/Jun/2024 10:00:00] "GET /files/kavrel.version HTTP/1.1" 200 -
    std::vector<std::string> paths;
    std::ifstream in(log_);
    for (std::string line; std::getline(in, line);) {
        const auto at = line.find("\"GET ");
        if (at == std::string::npos) continue;
        const auto end = line.find(' ', at + 5);
        paths.push_back(line.substr(at + 5, end - at - 5));
    }
    return paths;
}

}  // namespace kavrel::test
