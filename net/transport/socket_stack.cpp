#include "net/transport/socket_stack.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "base/strings.h"
#include "net/transport/net_errors.h"

namespace kavrel {
namespace {

std::mutex stackLock;
int stackCount = 0;
std::unique_ptr<TSocketStack> stackInstance;

struct TCodeRow {
    int posix;
    std::int32_t code;
    const char* text;
};

// EWOULDBLOCK is EAGAIN on Linux, so one row serves both.
const TCodeRow codeTable[] = {
    {EINTR, 10004, "Interrupted system call."},
    {EBADF, 10009, "Bad file number."},
    {EACCES, 10013, "Access denied."},
    {EFAULT, 10014, "Bad address."},
    {EINVAL, 10022, "Invalid argument."},
    {EMFILE, 10024, "Too many open files."},
    {EWOULDBLOCK, 10035, "Operation would block. "},
    {EINPROGRESS, 10036, "Operation now in progress."},
    {EALREADY, 10037, "Operation already in progress."},
    {ENOTSOCK, 10038, "Socket operation on non-socket."},
    {EDESTADDRREQ, 10039, "Destination address required."},
    {EMSGSIZE, 10040, "Message too long."},
    {EPROTOTYPE, 10041, "Protocol wrong type for socket."},
    {ENOPROTOOPT, 10042, "Bad protocol option."},
    {EPROTONOSUPPORT, 10043, "Protocol not supported."},
    {ESOCKTNOSUPPORT, 10044, "Socket type not supported."},
    {EOPNOTSUPP, 10045, "Operation not supported on socket."},
    {EPFNOSUPPORT, 10046, "Protocol family not supported."},
    {EAFNOSUPPORT, 10047, "Address family not supported by protocol family."},
    {EADDRINUSE, 10048, "Address already in use."},
    {EADDRNOTAVAIL, 10049, "Cannot assign requested address."},
    {ENETDOWN, 10050, "Network is down."},
    {ENETUNREACH, 10051, "Network is unreachable."},
    {ENETRESET, 10052, "Net dropped connection or reset."},
    {ECONNABORTED, 10053, "Software caused connection abort."},
    {ECONNRESET, 10054, "Connection reset by peer."},
    {ENOBUFS, 10055, "No buffer space available."},
    {EISCONN, 10056, "Socket is already connected."},
    {ENOTCONN, 10057, "Socket is not connected."},
    {ESHUTDOWN, 10058, "Cannot send or receive after socket is closed."},
    {ETOOMANYREFS, 10059, "Too many references, cannot splice."},
    {ETIMEDOUT, 10060, "Connection timed out."},
    {ECONNREFUSED, 10061, "Connection refused."},
    {ELOOP, 10062, "Too many levels of symbolic links."},
    {ENAMETOOLONG, 10063, "File name too long."},
    {EHOSTDOWN, 10064, "Host is down."},
    {EHOSTUNREACH, 10065, "No route to host."},
    {ENOTEMPTY, 10066, "Directory not empty"},
    {0, 11001, "Host not found."},
};

// Digits only, no sign, no blanks; leading zeros are decimal, not octal.
std::optional<std::uint64_t> DecimalPart(std::string_view part, std::uint64_t max) {
    if (part.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : part) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > max) return std::nullopt;
    }
    return value;
}

}  // namespace

TSocketStackRef::TSocketStackRef() {
    const std::lock_guard<std::mutex> guard(stackLock);
    // Linux sockets need no start-up step, so creation cannot fail here.
    if (stackCount == 0) stackInstance.reset(new TSocketStack());
    ++stackCount;
}

TSocketStackRef::~TSocketStackRef() {
    const std::lock_guard<std::mutex> guard(stackLock);
    if (--stackCount == 0) stackInstance.reset();
}

TSocketStack& TSocketStack::Instance() {
    const std::lock_guard<std::mutex> guard(stackLock);
    if (!stackInstance) throw std::logic_error("socket layer used without a network object");
    return *stackInstance;
}

int TSocketStack::InstanceCount() {
    const std::lock_guard<std::mutex> guard(stackLock);
    return stackInstance ? 1 : 0;
}

std::optional<std::uint32_t> TSocketStack::ParseIPLiteral(std::string_view text) {
    std::string_view parts[4];
    std::string_view rest = text;
    for (int i = 0; i < 3; ++i) {
        const std::size_t dot = rest.find('.');
        if (dot == std::string_view::npos) {
            parts[i] = rest;
            rest = {};
            break;
        }
        parts[i] = rest.substr(0, dot);
        rest = rest.substr(dot + 1);
    }
    parts[3] = rest;  // further dots included
    // The first empty part after the first one decides the form; anything behind it is
    // ignored, so "1..9" is 0.0.0.1.
    int count = 4;
    for (int i = 1; i < 4; ++i) {
        if (parts[i].empty()) {
            count = i;
            break;
        }
    }
    std::uint32_t address = 0;
    for (int i = 0; i < count; ++i) {
        const bool last = i == count - 1;
        const int bytes = last ? 4 - i : 1;
        const std::uint64_t max = (std::uint64_t{1} << (8 * bytes)) - 1;
        const auto value = DecimalPart(parts[i], max);
        if (!value) return std::nullopt;
        address |= static_cast<std::uint32_t>(*value << (8 * (last ? 0 : 3 - i)));
    }
    return address;
}

std::string TSocketStack::LookupHost(const std::string& host) {
    if (SameText(host, "LOCALHOST")) return "127.0.0.1";
    if (IsIPLiteral(host)) return host;
    // An empty name would mean "this machine" to the resolver; for a mail server it is a
    // missing setting.
    if (host.empty()) RaiseSocketError(socket_code::HostNotFound);
    std::string address;
    if (const std::int32_t code = ResolveName(host, address)) RaiseSocketError(code);
    return address;
}

std::int32_t TSocketStack::ResolveName(const std::string& host, std::string& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (rc != 0) return CodeFromLookupError(rc, errno);
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> guard(found, &::freeaddrinfo);
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        if (a->ai_family != AF_INET) continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* sin = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
        if (::inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text) != nullptr) {
            address = text;
            return 0;
        }
    }
    return socket_code::HostNotFound;
}

bool TSocketStack::CheckSocketResult(int result, std::initializer_list<std::int32_t> ignore) {
    if (result != -1) return false;
    return CheckSocketCode(CodeFromErrno(errno), ignore);
}

bool TSocketStack::CheckSocketCode(std::int32_t code, std::initializer_list<std::int32_t> ignore) {
    lastError_ = code;
    if (std::find(ignore.begin(), ignore.end(), code) != ignore.end()) return true;
    RaiseSocketError(code);
}

void TSocketStack::RaiseSocketError(std::int32_t code) {
    lastError_ = code;
    throw ESocketError(code, SocketErrorText(code));
}

std::string TSocketStack::SocketErrorText(std::int32_t code) {
    std::string text = "Socket Error # " + std::to_string(code) + "\r\n";
    for (const auto& row : codeTable) {
        if (row.code == code) return text + row.text;
    }
    return text;
}

std::int32_t TSocketStack::CodeFromErrno(int error) {
    // A send to a peer that has gone away; Windows reports the reset.
    if (error == EPIPE) return socket_code::ConnReset;
    if (error == ENFILE) return 10024;
    if (error == ENOMEM) return 10055;
    if (error == EPERM) return 10013;
    for (const auto& row : codeTable) {
        if (row.posix != 0 && row.posix == error) return row.code;
    }
    // Outside the table: the plain number, which cannot collide with a table code.
    return error;
}

std::int32_t TSocketStack::CodeFromLookupError(int gaiError, int error) {
    switch (gaiError) {
        case EAI_NONAME:
        case EAI_NODATA:
        case EAI_ADDRFAMILY:
            // The name exists only without an IPv4 address: as far as we can reach, it is not
            // there.
            return socket_code::HostNotFound;
        case EAI_AGAIN:
            return socket_code::TryAgain;
        case EAI_MEMORY:
            return 10055;
        case EAI_SYSTEM:
            return CodeFromErrno(error);
        default:
            return socket_code::NoRecovery;
    }
}

}  // namespace kavrel
