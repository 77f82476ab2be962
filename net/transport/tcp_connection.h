#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/transport/io_handler.h"
#include "net/transport/managed_buffer.h"
#include "net/transport/net_component.h"
#include "net/transport/rfc_reply.h"
#include "net/transport/stream.h"

namespace kavrel {

enum class TMaxLineAction { maException, maSplit };

// A byte stream with an input buffer: lines, replies, exact counts and whole streams in,
// text and bytes out. Lines are byte strings; a NUL or a lone CR inside one is data.
class TTCPConnection : public TNetComponent {
  public:
    TTCPConnection();
    ~TTCPConnection() override;

    // 0 means no limit.
    std::int32_t MaxLineLength = 16384;
    TMaxLineAction MaxLineAction = TMaxLineAction::maException;
    // 0 means a read waits without limit. Within a reply scope it bounds the whole reply.
    std::int32_t ReadTimeout = 0;
    // What a server can make one multi-line reply hold, each line counted with the string that
    // holds it: a mailbox of a million messages with ids of 40 bytes lists in about 75 MB.
    std::size_t MaxReplyLines = 2'000'000;
    std::size_t MaxReplyBytes = std::size_t{80} << 20;
    // False for protocols whose status replies are one line whatever follows the code: POP3's
    // "+OK-" is no continuation mark.
    bool MultiLineReplies = true;
    std::int32_t RecvBufferSize = 32768;
    TNotifyEvent OnDisconnected;

    TRFCReply LastReply;

    // Every read inside one reply shares one deadline, ReadTimeout after the scope began (when
    // the reply was asked for): a server that drips or floods holds a reply no longer than a
    // silent one. Scopes nest; the outermost sets the deadline.
    class TReplyScope {
      public:
        explicit TReplyScope(TTCPConnection& connection);
        ~TReplyScope();
        TReplyScope(const TReplyScope&) = delete;
        TReplyScope& operator=(const TReplyScope&) = delete;

      private:
        TTCPConnection& connection_;
        bool outermost_;
    };

    // A transfer that may take long but must keep moving: it fails with ESlowTransfer when
    // fewer than SlowBytes arrive in SlowWindowMs.
    class TTransferScope {
      public:
        explicit TTransferScope(TTCPConnection& connection);
        ~TTransferScope();
        TTransferScope(const TTransferScope&) = delete;
        TTransferScope& operator=(const TTransferScope&) = delete;

      private:
        TTCPConnection& connection_;
        bool outermost_;
    };
    std::int64_t SlowBytes = 60 * 1024;
    int SlowWindowMs = 60000;

    // Calls OnWaiting when kWaitingStepMs have passed since it last did.
    void KeepAnswering();

    TIOHandler* IOHandler() const { return ioHandler_; }
    // A carrier owned by the caller, who keeps it alive while this connection uses it.
    void SetIOHandler(TIOHandler* handler);
    bool OwnsIOHandler() const { return ownedIOHandler_ != nullptr; }

    bool ClosedByPeer() const { return closedByPeer_; }
    bool LineWasSplit() const { return lineWasSplit_; }
    bool LineTimedOut() const { return lineTimedOut_; }
    std::size_t InputBufferSize() const { return inputBuffer_.Size(); }

    virtual void Disconnect();
    bool IsConnected();
    void CloseSocket();

    std::string ReadLine(std::string_view ATerminator = "\n", int ATimeout = TimeoutDefault,
                         std::int32_t AMaxLength = -1);
    std::string ReadReplyLine(std::int32_t ATries);
    void ReadReply();
    virtual std::int32_t AwaitReply(const std::vector<std::int32_t>& AAllowed);
    std::int32_t CheckReply(std::int32_t ACode, const std::vector<std::int32_t>& AAllowed);
    // Appends to ADest; the terminator line itself is not added.
    void ReadLinesUntil(std::vector<std::string>& ADest, std::string_view ATerminator,
                        bool AUnstuff);
    // Replaces ADest with exactly ACount bytes.
    void ReadBytes(std::string& ADest, std::int32_t ACount);
    void ReadToStream(TStream& AStream, std::int64_t AByteCount, bool AReadUntilClose);
    int FillInputBuffer(bool ARaiseIfClosed, int ATimeout, bool ARaiseOnTimeout);
    // The carrier's wait, in steps that call OnWaiting when it is set; the handler must not
    // use this connection.
    bool WaitReadable(int ATimeout);
    void CheckPeerClosed(bool ARaise, bool AIgnoreBuffer);
    void PollPeerClosed(bool ARaise);

    void WriteText(std::string_view AText);
    void WriteLine(std::string_view AText = {});
    void WriteBytes(std::string_view AData, bool ASendNow);
    void BeginWriteBuffer(std::int32_t AThreshold);
    void FlushWriteBuffer(std::int32_t ALimit = -1);
    void EndWriteBuffer();
    bool HasWriteBuffer() const { return writeBuffer_.has_value(); }

    // Turns the open connection into a TLS one, checking the certificate against
    // AServerName; the handshake waits at most ReadTimeout (a minute without one). Anything
    // the peer sent before it and not yet read is refused: it would pass as protected text.
    // On failure the socket is closed and ETLSError goes on.
    void StartTLS(const std::string& AServerName);
    bool TLSActive() const;
    static constexpr int kHandshakeTimeout = 60000;

    // AExpected -1 accepts every reply code. A command that was written ahead is not written
    // again: only its reply is read.
    std::int32_t SendCommand(const std::string& ACommand, std::int32_t AExpected = -1);
    // Queues commands to go out before their replies are read, for a server that allows it;
    // SendCommand must then be given them in the same order. They go out as the socket takes
    // them, also while replies are being read, so that a server that answers only once it has
    // read everything can never hold both sides waiting. Forgotten at a disconnect.
    void WriteAhead(const std::vector<std::string>& ACommands);
    std::size_t CommandsAhead() const { return ahead_.size(); }
    // Bytes of commands written ahead that the socket has not taken yet.
    std::size_t BytesNotYetSent() const { return unsent_.size(); }

  protected:
    // Connects the carrier (made here when there is none) to host and port; on any failure
    // the socket is closed before the error goes on.
    void OpenConnection(const std::string& AHost, int APort, int ATimeout,
                        const TNotifyEvent& AOnConnected);

  private:
    TIOHandler* ioHandler_ = nullptr;
    std::unique_ptr<TIOHandler> ownedIOHandler_;
    TManagedBuffer inputBuffer_;
    std::vector<char> scratch_;
    std::optional<std::string> writeBuffer_;
    std::deque<std::string> ahead_;
    std::string unsent_;
    std::int32_t writeThreshold_ = 0;
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> replyDeadline_;
    struct TTransferWatch {
        Clock::time_point windowStart;
        std::int64_t bytes = 0;
    };
    std::optional<TTransferWatch> transfer_;
    Clock::time_point lastAnswered_ = Clock::now();

    void NoteTransfer(int received);
    // Gives the socket what it takes now of the commands written ahead.
    void SendAhead();
    // WaitReadable that goes on sending the commands written ahead while it waits.
    bool WaitReadableSending(int ATimeout);
    // wait(ms) in steps that call OnWaiting when it is set.
    bool WaitInSteps(int ATimeout, const std::function<bool(int)>& wait);
    bool closedByPeer_ = false;
    bool lineWasSplit_ = false;
    bool lineTimedOut_ = false;
};

}  // namespace kavrel
