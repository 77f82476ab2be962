#include "tests/support/test_authority.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <vector>

#include "tests/support/child_process.h"

namespace kavrel::test {
namespace {

constexpr const char* kOpenssl = "/usr/bin/openssl";

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Runs openssl with args; its output goes into the error when it fails.
void Openssl(const std::vector<std::string>& args, const std::string& log) {
    const TUniqueFd out(
        ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600));
    const pid_t pid =
        Spawn(std::vector<std::string>{kOpenssl} + args, EnvironmentWith(), -1, out.get(), log);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
    std::ifstream in(log);
    const std::string output((std::istreambuf_iterator<char>(in)), {});
    throw std::runtime_error("openssl " + args.front() + " failed:\n" + output);
}

const std::vector<std::string> kNewKey = {"-newkey", "ec", "-pkeyopt",
                                          "ec_paramgen_curve:prime256v1", "-nodes"};

}  // namespace

TTestAuthority::TTestAuthority()
    : caFile_(dir_ / "ca.pem"),
      caKey_(dir_ / "ca.key"),
      certFile_("SSL_CERT_FILE", dir_ / "ca.pem"),
      certDir_("SSL_CERT_DIR", dir_.path()) {
    if (::access(kOpenssl, X_OK) != 0)
        throw std::runtime_error("openssl is not installed: install the Debian package openssl");
    Openssl(std::vector<std::string>{"req", "-x509"} + kNewKey +
                std::vector<std::string>{"-keyout", caKey_, "-out", caFile_, "-days", "2", "-subj",
                                         "/CN=Kavrel Test Authority", "-addext",
                                         "basicConstraints=critical,CA:TRUE", "-addext",
                                         "keyUsage=critical,keyCertSign,cRLSign"},
            dir_ / "openssl.log");
}

TTestAuthority::TKeyPair TTestAuthority::Issue(const std::string& altNames, int days,
                                               bool selfSigned) {
    const std::string base = dir_ / ("server" + std::to_string(++serial_));
    TKeyPair pair{base + ".pem", base + ".key"};
    const std::string log = base + ".log";
    const std::string subject = "/CN=Kavrel Test Server " + std::to_string(serial_);
    if (selfSigned) {
        Openssl(std::vector<std::string>{"req", "-x509"} + kNewKey +
                    std::vector<std::string>{"-keyout", pair.key, "-out", pair.cert, "-days",
                                             std::to_string(days), "-subj", subject, "-addext",
                                             "subjectAltName=" + altNames},
                log);
        return pair;
    }
    const std::string request = base + ".csr";
    const std::string extensions = base + ".ext";
    std::ofstream(extensions) << "subjectAltName=" << altNames << "\n"
                              << "extendedKeyUsage=serverAuth\n";
    Openssl(std::vector<std::string>{"req", "-new"} + kNewKey +
                std::vector<std::string>{"-keyout", pair.key, "-out", request, "-subj", subject},
            log);
    Openssl({"x509", "-req", "-in", request, "-CA", caFile_, "-CAkey", caKey_, "-set_serial",
             std::to_string(1000 + serial_), "-out", pair.cert, "-days", std::to_string(days),
             "-extfile", extensions},
            log);
    return pair;
}

}  // namespace kavrel::test
