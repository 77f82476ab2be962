#include "tests/support/dovecot_server.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/loopback_ports.h"
#include "tests/support/raw_client.h"

namespace kavrel::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kDovecot = "/usr/sbin/dovecot";

// True once the server greets on the port.
bool Greets(int port) {
    try {
        TRawClient client(port);
        return client.ReadLine(2000).rfind("+OK", 0) == 0;
    } catch (const std::runtime_error&) {
        return false;
    }
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace

TDovecotServer::TDovecotServer(const TUsers& users, const TTls& tls)
    : TDovecotServer(users, tls, TSasl{}) {}

TDovecotServer::TDovecotServer(const TUsers& users, const TTls& tls, const TSasl& sasl) {
    if (::access(kDovecot, X_OK) != 0) {
        throw std::runtime_error(
            "dovecot is not installed: install the Debian packages dovecot-core and "
            "dovecot-pop3d (make deps does)");
    }
    std::string tmpl = "/tmp/kavrel-dovecot-XXXXXX";
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = tmpl;
    // dovecot's auth and mail processes run as an unprivileged user and must reach the files.
    ::chmod(dir_.c_str(), 0755);

    std::string internalUser;
    if (::geteuid() == 0) {
        // Mail processes refuse to run as root.
        const passwd* pw = ::getpwnam("nobody");
        const group* gr = ::getgrnam("nogroup");
        if (pw == nullptr || gr == nullptr) throw std::runtime_error("no user nobody:nogroup");
        mailUid_ = pw->pw_uid;
        mailGid_ = gr->gr_gid;
        internalUser = "nobody";
    } else {
        mailUid_ = ::geteuid();
        mailGid_ = ::getegid();
        const passwd* pw = ::getpwuid(mailUid_);
        internalUser = pw != nullptr ? pw->pw_name : "nobody";
    }

    std::string passwd;
    for (const TUser& u : users) passwd += u.name + ":{PLAIN}" + u.password + "::::::\n";
    WriteText(dir_ + "/users", passwd);
    ::chmod((dir_ + "/users").c_str(), 0644);
    fs::create_directories(dir_ + "/mail");
    ::chown((dir_ + "/mail").c_str(), mailUid_, mailGid_);
    for (const TUser& u : users) ClearMailbox(u.name);

    // dovecot binds the ports itself: take free ones and let them go again, both held at
    // once so that they differ.
    const bool secure = !tls.cert.empty();
    {
        const TUniqueFd plain = BoundLoopbackSocket(port_);
        if (secure) BoundLoopbackSocket(tlsPort_);
    }
    const bool oauth = !sasl.introspectionUrl.empty();
    if (oauth) {
        // Read by the auth process, which runs as the login user.
        WriteText(dir_ + "/oauth2.conf",
                  "introspection_mode = post\nintrospection_url = " + sasl.introspectionUrl +
                      "\nusername_attribute = username\nactive_attribute = active\n"
                      "active_value = true\n");
        ::chmod((dir_ + "/oauth2.conf").c_str(), 0644);
    }
    const std::string oauthPassdb =
        oauth
            ? "passdb {\n  driver = oauth2\n  mechanisms = xoauth2 oauthbearer\n  args = " + dir_ +
                  "/oauth2.conf\n}\n"
            : std::string();
    std::ostringstream conf;
    conf << "base_dir = " << dir_ << "/run\n"
         << "state_dir = " << dir_ << "/state\n"
         << "log_path = " << dir_ << "/dovecot.log\n"
         << "protocols = pop3\n"
         << "listen = 127.0.0.1\n"
         << (secure ? "ssl = yes\nssl_cert = <" + tls.cert + "\nssl_key = <" + tls.key +
                          "\nssl_min_protocol = TLSv1.2\n"
                    : std::string("ssl = no\n"))
         << "disable_plaintext_auth = no\n"
         << "auth_mechanisms = plain login" << (sasl.scram ? " scram-sha-256" : "")
         << (oauth ? " xoauth2 oauthbearer" : "") << "\n"
         << "auth_failure_delay = 0\n"
         << "default_internal_user = " << internalUser << "\n"
         << "default_login_user = " << internalUser << "\n"
         << "mail_location = maildir:" << dir_ << "/mail/%u/Maildir\n"
         << "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " << dir_ << "/users\n}\n"
         << oauthPassdb << "userdb {\n  driver = static\n  args = uid=" << mailUid_
         << " gid=" << mailGid_ << " home=" << dir_ << "/mail/%u\n}\n"
         << "service pop3-login {\n  inet_listener pop3 {\n    address = 127.0.0.1\n"
         << "    port = " << port_ << "\n  }\n";
    if (secure) {
        conf << "  inet_listener pop3s {\n    address = 127.0.0.1\n    port = " << tlsPort_
             << "\n    ssl = yes\n  }\n";
    }
    conf << "}\n"
         // Failed logins would otherwise slow every later login from 127.0.0.1.
         << "service anvil {\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n";
    WriteText(dir_ + "/dovecot.conf", conf.str());
    Start();
}

TDovecotServer::~TDovecotServer() {
    Stop();
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

void TDovecotServer::Start() {
    std::error_code ec;
    fs::remove_all(dir_ + "/run", ec);  // a stale penalty socket there slows the start
    fs::create_directories(dir_ + "/state");
    pid_ = Spawn({kDovecot, "-F", "-c", dir_ + "/dovecot.conf"}, EnvironmentWith(), -1, -1);
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("dovecot ended at start:\n" + Log());
        }
        if (Greets(port_)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Stop();
    throw std::runtime_error("dovecot did not answer within 15 s:\n" + Log());
}

void TDovecotServer::Stop() { StopChild(pid_); }

std::string TDovecotServer::MaildirOf(const std::string& user) const {
    return dir_ + "/mail/" + user + "/Maildir";
}

void TDovecotServer::ClearMailbox(const std::string& user) {
    std::error_code ec;
    fs::remove_all(MaildirOf(user), ec);
    for (const std::string& p : {dir_ + "/mail/" + user, MaildirOf(user), MaildirOf(user) + "/new",
                                 MaildirOf(user) + "/cur", MaildirOf(user) + "/tmp"}) {
        fs::create_directories(p);
        ::chown(p.c_str(), mailUid_, mailGid_);
    }
}

std::string TDovecotServer::AddMessage(const std::string& user, const std::string& message) {
    // What tells the names apart comes last: dovecot's hash of a maildir name is decided by
    // its last few characters, and a common ending would chain every message in one bucket,
    // making each command cost time in proportion to the mailbox.
    const std::string name = std::to_string(1700000000 + serial_) + ".P" +
                             std::to_string(::getpid()) + ".kavrel-test-" + std::to_string(serial_);
    ++serial_;
    const std::string path = MaildirOf(user) + "/new/" + name;
    WriteText(path, message);
    ::chown(path.c_str(), mailUid_, mailGid_);
    return name;
}

std::string TDovecotServer::Log() const {
    std::ifstream in(dir_ + "/dovecot.log");
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace kavrel::test
