#include "net/transport/tls_handler.h"

#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "net/transport/net_component.h"
#include "net/transport/net_errors.h"
#include "net/transport/socket_stack.h"

namespace kavrel {
namespace {

using Clock = std::chrono::steady_clock;

struct TContextFree {
    void operator()(SSL_CTX* c) const { SSL_CTX_free(c); }
};
struct TSslFree {
    void operator()(SSL* s) const { SSL_free(s); }
};

int FdOf(BIO* bio) { return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio))); }

// OpenSSL's own socket BIO writes without MSG_NOSIGNAL, so a server that has gone away would
// end the program with SIGPIPE; this one behaves like the plain carrier.
int BioWrite(BIO* bio, const char* data, int length) {
    BIO_clear_retry_flags(bio);
    for (;;) {
        const ssize_t n = ::send(FdOf(bio), data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
        if (n >= 0) return static_cast<int>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) BIO_set_retry_write(bio);
        return -1;
    }
}

int BioRead(BIO* bio, char* data, int length) {
    BIO_clear_retry_flags(bio);
    for (;;) {
        const ssize_t n = ::recv(FdOf(bio), data, static_cast<std::size_t>(length), 0);
        if (n >= 0) return static_cast<int>(n);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) BIO_set_retry_read(bio);
        return -1;
    }
}

long BioControl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

int BioCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

BIO_METHOD* SocketMethod() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "socket");
        if (m) {
            BIO_meth_set_write(m, BioWrite);
            BIO_meth_set_read(m, BioRead);
            BIO_meth_set_ctrl(m, BioControl);
            BIO_meth_set_create(m, BioCreate);
        }
        return m;
    }();
    return method;
}

// The oldest queued OpenSSL reason, or an empty text; the queue is left empty.
std::string TakeErrorReason() {
    std::string reason;
    while (const unsigned long e = ERR_get_error()) {
        if (!reason.empty()) continue;
        const char* text = ERR_reason_error_string(e);
        reason = text ? text : "error " + std::to_string(ERR_GET_REASON(e));
    }
    return reason;
}

}  // namespace

struct TIOHandlerTLS::TSession {
    std::unique_ptr<SSL_CTX, TContextFree> context;
    std::unique_ptr<SSL, TSslFree> ssl;
    bool established = false;
    // After a fatal error OpenSSL must not be asked to send a close_notify.
    bool broken = false;
};

TIOHandlerTLS::TIOHandlerTLS() = default;

TIOHandlerTLS::~TIOHandlerTLS() = default;

bool TIOHandlerTLS::TLSActive() const { return session_ && session_->established; }

void TIOHandlerTLS::Forget() {
    session_.reset();
    plain_.clear();
    plainPos_ = 0;
    peerClosed_ = false;
    receiveErrno_ = 0;
}

void TIOHandlerTLS::Open() {
    // A new socket starts plain, whatever the last one was.
    Forget();
    TIOHandlerSocket::Open();
}

void TIOHandlerTLS::Close() {
    if (session_ && session_->established && !session_->broken && IsOpen()) {
        // One try at a polite close; a peer that is gone or slow is not waited for.
        SSL_shutdown(session_->ssl.get());
        ERR_clear_error();
    }
    Forget();
    TIOHandlerSocket::Close();
}

void TIOHandlerTLS::BeginHandshake(const std::string& serverName) {
    if (!IsOpen()) throw EClosedSocket();
    if (session_) throw ETLSError("TLS: the connection is already encrypted");
    ERR_clear_error();
    auto session = std::make_unique<TSession>();
    session->context.reset(SSL_CTX_new(TLS_client_method()));
    if (!session->context) throw ETLSError("TLS: cannot start: " + TakeErrorReason());
    SSL_CTX* context = session->context.get();
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    // Many servers close without a close_notify; the protocols above frame their own data.
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    // Writes written ahead are offered again from a buffer that may have moved, and taken in
    // part when the socket has room for part.
    SSL_CTX_set_mode(context, SSL_MODE_AUTO_RETRY | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER |
                                  SSL_MODE_ENABLE_PARTIAL_WRITE);
    if (SSL_CTX_set_default_verify_paths(context) != 1)
        throw ETLSError("TLS: cannot load the trusted certificates: " + TakeErrorReason());

    session->ssl.reset(SSL_new(context));
    if (!session->ssl) throw ETLSError("TLS: cannot start: " + TakeErrorReason());
    SSL* ssl = session->ssl.get();
    const bool literal = TSocketStack::IsIPLiteral(serverName);
    const bool named =
        literal ? X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), serverName.c_str()) == 1
                : SSL_set1_host(ssl, serverName.c_str()) == 1 &&
                      SSL_set_tlsext_host_name(ssl, serverName.c_str()) == 1;
    if (!named) throw ETLSError("TLS: cannot check the server's name \"" + serverName + "\"");

    BIO* bio = BIO_new(SocketMethod());
    if (!bio) throw ETLSError("TLS: cannot start: " + TakeErrorReason());
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(Binding->Handle())));
    SSL_set_bio(ssl, bio, bio);
    // From here on the socket never blocks: reads wait in polls, within their time-outs.
    Binding->SetBlocking(false);
    session_ = std::move(session);
}

THandshakeStep TIOHandlerTLS::ContinueHandshake() {
    SSL* ssl = session_->ssl.get();
    errno = 0;
    const int result = SSL_connect(ssl);
    if (result == 1) {
        session_->established = true;
        return THandshakeStep::hsDone;
    }
    const int error = SSL_get_error(ssl, result);
    if (error == SSL_ERROR_WANT_READ) return THandshakeStep::hsWantRead;
    if (error == SSL_ERROR_WANT_WRITE) return THandshakeStep::hsWantWrite;
    const long verify = SSL_get_verify_result(ssl);
    const std::string reason = TakeErrorReason();
    if (verify != X509_V_OK)
        throw ETLSError(std::string("TLS: certificate verify failed: ") +
                        X509_verify_cert_error_string(verify));
    if (!reason.empty()) throw ETLSError("TLS: handshake failed: " + reason);
    if (error == SSL_ERROR_SYSCALL && errno != 0)
        throw ETLSError(std::string("TLS: handshake failed: ") + std::strerror(errno));
    throw ETLSError("TLS: handshake failed: the server closed the connection");
}

bool TIOHandlerTLS::ReadAvailable() {
    if (plainPos_ < plain_.size() || peerClosed_ || receiveErrno_ != 0) return true;
    SSL* ssl = session_->ssl.get();
    char chunk[16384];
    plain_.clear();
    plainPos_ = 0;
    for (;;) {
        errno = 0;
        const int n = SSL_read(ssl, chunk, sizeof chunk);
        if (n > 0) {
            plain_.assign(chunk, static_cast<std::size_t>(n));
            return true;
        }
        const int error = SSL_get_error(ssl, n);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) return false;
        if (error == SSL_ERROR_ZERO_RETURN) {
            peerClosed_ = true;
            return true;
        }
        session_->broken = true;
        const std::string reason = TakeErrorReason();
        if (error == SSL_ERROR_SYSCALL && reason.empty()) {
            // A reset or another socket fault: reported as the plain carrier reports it.
            if (errno == 0) {
                peerClosed_ = true;
            } else {
                receiveErrno_ = errno;
            }
            return true;
        }
        throw ETLSError("TLS: " + (reason.empty() ? std::string("read failed") : reason));
    }
}

bool TIOHandlerTLS::WaitReadable(int timeoutMs) {
    if (!TLSActive()) return TIOHandlerSocket::WaitReadable(timeoutMs);
    if (!IsOpen()) throw EConnClosedGracefully();
    const bool limited = timeoutMs >= 0;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(limited ? timeoutMs : 0);
    for (;;) {
        if (ReadAvailable()) return true;
        // A record arrives in pieces: wait for the rest within the same limit.
        if (!Binding->Wait(false, limited ? MillisecondsLeft(deadline) : -1)) return false;
    }
}

int TIOHandlerTLS::Receive(char* buffer, int length) {
    if (!TLSActive()) return TIOHandlerSocket::Receive(buffer, length);
    if (!IsOpen()) throw EClosedSocket();
    while (!ReadAvailable()) Binding->Wait(false, -1);
    if (plainPos_ < plain_.size()) {
        const std::size_t n = std::min(plain_.size() - plainPos_, static_cast<std::size_t>(length));
        std::memcpy(buffer, plain_.data() + plainPos_, n);
        plainPos_ += n;
        return static_cast<int>(n);
    }
    if (peerClosed_) return 0;
    errno = receiveErrno_;
    return -1;
}

int TIOHandlerTLS::WriteOnce(const char* buffer, int length, bool& wantWrite) {
    SSL* ssl = session_->ssl.get();
    if (retryLength_ > 0) length = retryLength_;
    errno = 0;
    const int n = SSL_write(ssl, buffer, length);
    if (n > 0) {
        retryLength_ = 0;
        return n;
    }
    const int error = SSL_get_error(ssl, n);
    if (error == SSL_ERROR_WANT_WRITE || error == SSL_ERROR_WANT_READ) {
        retryLength_ = length;
        wantWrite = error == SSL_ERROR_WANT_WRITE;
        return 0;
    }
    session_->broken = true;
    const std::string reason = TakeErrorReason();
    if (error == SSL_ERROR_SYSCALL && reason.empty()) {
        if (errno == 0) errno = EPIPE;
        return -1;
    }
    throw ETLSError("TLS: " + (reason.empty() ? std::string("write failed") : reason));
}

int TIOHandlerTLS::Send(const char* buffer, int length) {
    if (!TLSActive()) return TIOHandlerSocket::Send(buffer, length);
    if (!IsOpen()) throw EClosedSocket();
    for (;;) {
        bool wantWrite = false;
        const int n = WriteOnce(buffer, length, wantWrite);
        if (n != 0) return n;
        Binding->Wait(wantWrite, -1);
    }
}

int TIOHandlerTLS::TrySend(const char* buffer, int length) {
    if (!TLSActive()) return TIOHandlerSocket::TrySend(buffer, length);
    if (!IsOpen()) throw EClosedSocket();
    bool wantWrite = false;
    return WriteOnce(buffer, length, wantWrite);
}

int TIOHandlerTLS::WaitEither(int timeoutMs) {
    if (!TLSActive()) return TIOHandlerSocket::WaitEither(timeoutMs);
    if (!IsOpen()) throw EConnClosedGracefully();
    const bool limited = timeoutMs >= 0;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(limited ? timeoutMs : 0);
    for (;;) {
        if (ReadAvailable()) return 1;
        // Input that is not a whole record yet is read on the next round.
        const int ready = Binding->WaitEither(limited ? MillisecondsLeft(deadline) : -1);
        if (ready & 2) return ready & 2;
        if (ready == 0) return 0;
    }
}

}  // namespace kavrel
