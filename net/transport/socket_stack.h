#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace kavrel {

// Socket error codes are reported in the Windows Sockets numbering, whatever the platform
// says, because the texts and the codes in the log are part of the program's interface.
namespace socket_code {
inline constexpr std::int32_t Interrupted = 10004;
inline constexpr std::int32_t BadFile = 10009;
inline constexpr std::int32_t NotSocket = 10038;
inline constexpr std::int32_t ConnAborted = 10053;
inline constexpr std::int32_t ConnReset = 10054;
inline constexpr std::int32_t Shutdown = 10058;
inline constexpr std::int32_t ConnRefused = 10061;
inline constexpr std::int32_t HostNotFound = 11001;
inline constexpr std::int32_t TryAgain = 11002;
inline constexpr std::int32_t NoRecovery = 11003;
}  // namespace socket_code

// The process's one socket layer object. It lives while any network object does; the
// TSocketStackRef held by every TNetComponent keeps it alive.
class TSocketStack {
  public:
    TSocketStack(const TSocketStack&) = delete;
    TSocketStack& operator=(const TSocketStack&) = delete;

    // Only valid while a TSocketStackRef exists.
    static TSocketStack& Instance();
    static int InstanceCount();

    // Decimal forms only: "a", "a.b", "a.b.c" and "a.b.c.d", the last part taking the
    // remaining bytes. Gives the address in host byte order.
    static std::optional<std::uint32_t> ParseIPLiteral(std::string_view text);
    static bool IsIPLiteral(std::string_view text) { return ParseIPLiteral(text).has_value(); }

    // A dotted address; raises ESocketError (11001 for a name that does not exist).
    std::string LookupHost(const std::string& host);
    // The platform's part of LookupHost for a name that is no literal: the address, or the
    // socket error code. Touches no instance, so a thread may run it while the program ends.
    static std::int32_t ResolveName(const std::string& host, std::string& address);

    // For a result of -1 reads errno, stores its code and returns true when the code is in
    // ignore, else raises ESocketError. Any other result returns false.
    bool CheckSocketResult(int result, std::initializer_list<std::int32_t> ignore);
    // The same for a code already known.
    bool CheckSocketCode(std::int32_t code, std::initializer_list<std::int32_t> ignore);
    [[noreturn]] void RaiseSocketError(std::int32_t code);

    static std::string SocketErrorText(std::int32_t code);
    static std::int32_t CodeFromErrno(int error);
    static std::int32_t CodeFromLookupError(int gaiError, int error);

    std::int32_t LastError() const { return lastError_; }

  private:
    friend class TSocketStackRef;
    TSocketStack() = default;

    std::atomic<std::int32_t> lastError_ = 0;
};

// Counts one user of the socket layer: the first creates it, the last destroys it.
class TSocketStackRef {
  public:
    TSocketStackRef();
    ~TSocketStackRef();
    TSocketStackRef(const TSocketStackRef&) = delete;
    TSocketStackRef& operator=(const TSocketStackRef&) = delete;
};

}  // namespace kavrel
