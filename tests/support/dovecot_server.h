#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace kavrel::test {

// A real POP3 server for the tests: dovecot started in the foreground on a free loopback port,
// with its configuration, users, mailboxes, state and log in a private temporary folder.
// Stopped and removed again by the destructor. Throws std::runtime_error when dovecot is not
// installed or does not come up, saying which package to install.
class TDovecotServer {
  public:
    struct TUser {
        std::string name;
        std::string password;
    };

    using TUsers = std::vector<TUser>;

    // With a certificate and its key: STLS on Port() and TLS from the first byte on
    // TlsPort(). Without: plain POP3 only, no STLS offered.
    struct TTls {
        std::string cert;
        std::string key;
    };

    // The SASL mechanisms offered beside PLAIN and LOGIN. With an introspection URL (the
    // test authorization server's /introspect) XOAUTH2 and OAUTHBEARER are offered too, and
    // their bearer tokens are checked there.
    struct TSasl {
        bool scram = false;  // SCRAM-SHA-256, from the users' passwords
        std::string introspectionUrl;
    };

    explicit TDovecotServer(const TUsers& users, const TTls& tls = {});
    TDovecotServer(const TUsers& users, const TTls& tls, const TSasl& sasl);
    TDovecotServer(const TDovecotServer&) = delete;
    TDovecotServer& operator=(const TDovecotServer&) = delete;
    ~TDovecotServer();

    int Port() const { return port_; }
    int TlsPort() const { return tlsPort_; }

    // Puts a message (header, blank line, body; LF or CRLF line ends) into the user's
    // mailbox; it is seen from the next session on. Returns the file's name.
    std::string AddMessage(const std::string& user, const std::string& message);

    // Removes the user's messages and starts the mailbox afresh.
    void ClearMailbox(const std::string& user);

    std::string Log() const;

  private:
    void Start();
    void Stop();
    std::string MaildirOf(const std::string& user) const;

    std::string dir_;
    int port_ = 0;
    int tlsPort_ = 0;
    pid_t pid_ = -1;
    uid_t mailUid_ = 0;
    gid_t mailGid_ = 0;
    int serial_ = 0;
};

}  // namespace kavrel::test
