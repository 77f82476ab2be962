#include "tests/support/http_file_server.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

#include "tests/support/child_process.h"

namespace kavrel::test {
namespace {

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
    const TUniqueFd logFd(::mkostemp(logTemplate.data(), O_CLOEXEC));
    if (!logFd.valid()) throw std::runtime_error("no log file for the web server");
    log_ = logTemplate;
    // Port 0: the system picks a free one, and the server names it on its first line.
    std::vector<std::string> argv = {kPython,  "-u",        "-m",          "http.server", "0",
                                     "--bind", "127.0.0.1", "--directory", root};
    if (!tls.cert.empty()) argv = {kPython, "-u", "-c", kHttpsServer, root, tls.cert, tls.key};
    TPipe output;
    pid_ = Spawn(argv, EnvironmentWith(), -1, output.writeEnd.get(), log_);
    output.writeEnd.reset();
    output_.reset(output.readEnd.release());

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
