#include "net/transport/tcp_connection.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <exception>
#include <stdexcept>

#include "base/strings.h"
#include "net/transport/net_errors.h"
#include "net/transport/socket_stack.h"
#include "net/transport/tls_handler.h"

namespace kavrel {
namespace {

constexpr std::int32_t AllTries = 2147483647;

}  // namespace

TTCPConnection::TTCPConnection() {
    inputBuffer_.OnConsume = [this](std::size_t count) {
        AddWork(TWorkMode::wkRead, static_cast<std::int64_t>(count));
    };
}

// No events from here: the owner is half destroyed. The owned carrier closes its socket.
TTCPConnection::~TTCPConnection() = default;

TTCPConnection::TReplyScope::TReplyScope(TTCPConnection& connection)
    : connection_(connection), outermost_(!connection.replyDeadline_) {
    if (outermost_ && connection.ReadTimeout > 0) {
        connection.replyDeadline_ =
            Clock::now() + std::chrono::milliseconds(connection.ReadTimeout);
    }
}

TTCPConnection::TReplyScope::~TReplyScope() {
    if (outermost_) connection_.replyDeadline_.reset();
}

TTCPConnection::TTransferScope::TTransferScope(TTCPConnection& connection)
    : connection_(connection), outermost_(!connection.transfer_) {
    if (outermost_) connection.transfer_ = TTransferWatch{Clock::now(), 0};
}

TTCPConnection::TTransferScope::~TTransferScope() {
    if (outermost_) connection_.transfer_.reset();
}

void TTCPConnection::KeepAnswering() {
    if (!OnWaiting) return;
    const Clock::time_point now = Clock::now();
    if (now - lastAnswered_ < std::chrono::milliseconds(kWaitingStepMs)) return;
    lastAnswered_ = now;
    OnWaiting(*this);
}

void TTCPConnection::NoteTransfer(int received) {
    if (!transfer_) return;
    transfer_->bytes += received;
    const Clock::time_point now = Clock::now();
    if (now - transfer_->windowStart < std::chrono::milliseconds(SlowWindowMs)) return;
    if (transfer_->bytes < SlowBytes) {
        CloseSocket();
        throw ESlowTransfer();
    }
    transfer_ = TTransferWatch{now, 0};
}

void TTCPConnection::SetIOHandler(TIOHandler* handler) {
    if (handler == ioHandler_) return;
    ownedIOHandler_.reset();
    ioHandler_ = handler;
}

void TTCPConnection::OpenConnection(const std::string& AHost, int APort, int ATimeout,
                                    const TNotifyEvent& AOnConnected) {
    if (!ioHandler_) {
        ownedIOHandler_ = std::make_unique<TIOHandlerTLS>();
        // So that resolving and connecting reach the connection's own handlers.
        ownedIOHandler_->OnStatus = OnStatus;
        ownedIOHandler_->OnWaiting = [this](TNetComponent&) {
            lastAnswered_ = Clock::now();
            if (OnWaiting) OnWaiting(*this);
        };
        ioHandler_ = ownedIOHandler_.get();
    } else if (ioHandler_->IsOpen()) {
        throw EAlreadyConnected();
    }
    try {
        ioHandler_->Open();
        inputBuffer_.Clear();
        ahead_.clear();
        closedByPeer_ = false;
        ioHandler_->ConnectTo(AHost, APort, ATimeout);
        ReportStatus(TNetStatus::stConnected, AHost);
        if (AOnConnected) AOnConnected(*this);
    } catch (...) {
        CloseSocket();
        throw;
    }
}

void TTCPConnection::Disconnect() {
    const bool wasConnected = IsConnected();
    if (wasConnected) {
        ReportStatus(TNetStatus::stDisconnecting);
        CloseSocket();
    }
    if (ownedIOHandler_) {
        ioHandler_ = nullptr;
        ownedIOHandler_.reset();
    }
    if (wasConnected) {
        if (OnDisconnected) OnDisconnected(*this);
        ReportStatus(TNetStatus::stDisconnected);
    }
}

bool TTCPConnection::IsConnected() {
    CheckPeerClosed(false, false);
    return ioHandler_ && ioHandler_->IsOpen();
}

void TTCPConnection::CloseSocket() {
    ahead_.clear();
    unsent_.clear();
    if (!ioHandler_) return;
    closedByPeer_ = true;
    ioHandler_->Close();
}

void TTCPConnection::CheckPeerClosed(bool ARaise, bool AIgnoreBuffer) {
    if (!ioHandler_) return;
    bool closed = true;
    if (closedByPeer_) {
        if (ioHandler_->IsOpen()) {
            CloseSocket();
            ReportStatus(TNetStatus::stDisconnected);
            if (OnDisconnected) OnDisconnected(*this);
        }
    } else {
        closed = !ioHandler_->IsOpen();
    }
    if (closed && (inputBuffer_.Empty() || AIgnoreBuffer) && ARaise) {
        throw EConnClosedGracefully();
    }
}

int TTCPConnection::FillInputBuffer(bool ARaiseIfClosed, int ATimeout, bool ARaiseOnTimeout) {
    if (ATimeout == TimeoutDefault) ATimeout = ReadTimeout == 0 ? TimeoutInfinite : ReadTimeout;
    CheckPeerClosed(ARaiseIfClosed, false);
    if (!IsConnected()) {
        if (ARaiseIfClosed) throw ENotConnected();
        return 0;
    }
    // A size of 0 would make every receive look like a close.
    const std::size_t size = RecvBufferSize > 0 ? static_cast<std::size_t>(RecvBufferSize) : 1;
    if (scratch_.size() != size) scratch_.assign(size, 0);
    TSocketStack& stack = TSocketStack::Instance();
    for (;;) {
        int wait = ATimeout;
        bool late = false;
        if (replyDeadline_) {
            // Strict even while bytes keep coming: a flood must not outlast the deadline.
            const int left = MillisecondsLeft(*replyDeadline_);
            late = left == 0;
            wait = wait == TimeoutInfinite ? left : std::min(wait, left);
        }
        if (late || !WaitReadableSending(wait)) {
            if (ARaiseOnTimeout) throw EReadTimeout();
            return -1;
        }
        int n = ioHandler_->Receive(scratch_.data(), static_cast<int>(size));
        const int error = errno;
        closedByPeer_ = n == 0;
        if (n < 0) {
            // A reset raises at once even with unread bytes buffered: what is buffered may
            // be a reply cut in the middle. The socket is closed first: nothing more can be
            // said on it, and a QUIT tried later would only report the reset again.
            const std::int32_t code = TSocketStack::CodeFromErrno(error);
            CloseSocket();
            stack.CheckSocketCode(code, {socket_code::Shutdown, socket_code::ConnAborted});
            n = 0;
            if (inputBuffer_.Empty()) stack.RaiseSocketError(code);
        }
        if (n > 0) {
            inputBuffer_.Append(scratch_.data(), static_cast<std::size_t>(n));
            NoteTransfer(n);
            KeepAnswering();
        }
        CheckPeerClosed(ARaiseIfClosed, false);
        if (n != 0 || !IsConnected()) return n;
    }
}

void TTCPConnection::StartTLS(const std::string& AServerName) {
    if (!IsConnected()) throw ENotConnected();
    auto* tls = dynamic_cast<TIOHandlerTLS*>(ioHandler_);
    try {
        if (!tls) throw ETLSError("TLS: this connection's carrier cannot encrypt");
        if (!inputBuffer_.Empty())
            throw ETLSError("TLS: the server sent data before the handshake");
        tls->BeginHandshake(AServerName);
        const auto deadline =
            std::chrono::steady_clock::now() +
            std::chrono::milliseconds(ReadTimeout > 0 ? ReadTimeout : kHandshakeTimeout);
        // Waits as every read does, so the window keeps answering through a slow server.
        for (THandshakeStep step; (step = tls->ContinueHandshake()) != THandshakeStep::hsDone;) {
            const int left = MillisecondsLeft(deadline);
            const bool ready =
                left > 0 &&
                (step == THandshakeStep::hsWantWrite
                     ? WaitInSteps(left, [tls](int ms) { return tls->WaitWritable(ms); })
                     : WaitReadable(left));
            if (!ready) throw ETLSError("TLS: handshake timed out");
        }
    } catch (...) {
        CloseSocket();
        throw;
    }
}

bool TTCPConnection::TLSActive() const {
    const auto* tls = dynamic_cast<const TIOHandlerTLS*>(ioHandler_);
    return tls && tls->TLSActive();
}

void TTCPConnection::SendAhead() {
    while (!unsent_.empty()) {
        const int offer = static_cast<int>(std::min<std::size_t>(unsent_.size(), INT_MAX));
        const int sent = ioHandler_->TrySend(unsent_.data(), offer);
        const int error = errno;
        if (sent == 0) return;
        if (sent < 0) {
            const std::int32_t code = TSocketStack::CodeFromErrno(error);
            CloseSocket();
            TSocketStack::Instance().RaiseSocketError(code);
        }
        AddWork(TWorkMode::wkWrite, sent);
        unsent_.erase(0, static_cast<std::size_t>(sent));
    }
}

bool TTCPConnection::WaitReadableSending(int ATimeout) {
    SendAhead();
    if (unsent_.empty()) return WaitReadable(ATimeout);
    const bool limited = ATimeout != TimeoutInfinite;
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(limited ? std::max(ATimeout, 0) : 0);
    // Input is read as soon as it comes, and the rest of the commands go out as the socket
    // takes them, so a server that reads only once it has answered never waits on us.
    while (!unsent_.empty()) {
        const int left = limited ? MillisecondsLeft(deadline) : kWaitingStepMs;
        const int ready = ioHandler_->WaitEither(std::min(left, kWaitingStepMs));
        if (ready & 1) return true;
        if (ready & 2) SendAhead();
        KeepAnswering();
        if (limited && MillisecondsLeft(deadline) == 0) return false;
    }
    return WaitReadable(limited ? MillisecondsLeft(deadline) : TimeoutInfinite);
}

bool TTCPConnection::WaitReadable(int ATimeout) {
    return WaitInSteps(ATimeout, [this](int ms) { return ioHandler_->WaitReadable(ms); });
}

bool TTCPConnection::WaitInSteps(int ATimeout, const std::function<bool(int)>& wait) {
    if (!OnWaiting || ATimeout == 0) return wait(ATimeout);
    const bool limited = ATimeout != TimeoutInfinite;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(limited ? ATimeout : 0);
    for (;;) {
        int step = kWaitingStepMs;
        if (limited) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0) return false;
            step = int(std::min<long long>(step, left));
        }
        if (wait(step)) return true;
        lastAnswered_ = std::chrono::steady_clock::now();
        OnWaiting(*this);
    }
}

void TTCPConnection::PollPeerClosed(bool ARaise) { FillInputBuffer(ARaise, 1, false); }

std::string TTCPConnection::ReadLine(std::string_view ATerminator, int ATimeout,
                                     std::int32_t AMaxLength) {
    if (AMaxLength == -1) AMaxLength = MaxLineLength;
    const std::string_view end = ATerminator.empty() ? std::string_view("\n") : ATerminator;
    // A negative limit cannot be met by any line; it counts as none, like 0.
    const std::size_t limit = AMaxLength > 0 ? static_cast<std::size_t>(AMaxLength) : 0;
    lineWasSplit_ = false;
    lineTimedOut_ = false;
    std::size_t searched = 0;
    for (;;) {
        const std::string_view unread = inputBuffer_.View();
        // Only the bytes that came since the last look, less the overlap a long terminator
        // may straddle.
        const std::size_t from = searched >= end.size() ? searched - (end.size() - 1) : 0;
        const std::size_t found = unread.find(end, from);
        searched = unread.size();
        bool tooLong = false;
        if (found != std::string_view::npos) {
            if (limit != 0 && found > limit) {
                tooLong = true;
            } else {
                std::string line(unread.substr(0, found));
                if (end == "\n" && !line.empty() && line.back() == '\r') line.pop_back();
                inputBuffer_.Consume(found + end.size());
                return line;
            }
        } else if (limit != 0 && unread.size() > limit) {
            tooLong = true;
        }
        if (tooLong) {
            if (MaxLineAction == TMaxLineAction::maException) throw EReadLnMaxLineLengthExceeded();
            lineWasSplit_ = true;
            return inputBuffer_.Extract(limit);
        }
        // A close raises even with a partial line buffered: a line without its end is not
        // a line.
        CheckPeerClosed(true, true);
        if (FillInputBuffer(true, ATimeout, ATimeout == TimeoutDefault) == -1) {
            lineTimedOut_ = true;
            return {};
        }
    }
}

std::string TTCPConnection::ReadReplyLine(std::int32_t ATries) {
    std::string line;
    for (std::int32_t i = 0; i < ATries; ++i) {
        line = Trim(ReadLine());
        if (!line.empty()) break;
    }
    return line;
}

void TTCPConnection::ReadReply() {
    const TReplyScope reply(*this);
    std::vector<std::string> lines{ReadReplyLine(AllTries)};
    if (MultiLineReplies && lines.front().size() > 3 && lines.front()[3] == '-') {
        const std::string marker = lines.front().substr(0, 3) + " ";
        for (;;) {
            lines.push_back(ReadReplyLine(AllTries));
            const std::string& line = lines.back();
            if (line.size() < 4 || SameText(std::string_view(line).substr(0, 4), marker)) break;
        }
    }
    LastReply.SetReply(lines);
}

std::int32_t TTCPConnection::CheckReply(std::int32_t ACode,
                                        const std::vector<std::int32_t>& AAllowed) {
    if (AAllowed.empty()) return ACode;
    for (const std::int32_t allowed : AAllowed) {
        if (allowed == ACode) return ACode;
    }
    throw EProtocolReplyError(LastReply.NumericCode, LastReply.FormattedText());
}

std::int32_t TTCPConnection::AwaitReply(const std::vector<std::int32_t>& AAllowed) {
    ReadReply();
    return CheckReply(LastReply.NumericCode, AAllowed);
}

std::int32_t TTCPConnection::SendCommand(const std::string& ACommand, std::int32_t AExpected) {
    if (ahead_.empty()) {
        WriteLine(ACommand);
    } else {
        // Another command here would be given the reply of the one written ahead.
        if (ahead_.front() != ACommand)
            throw std::logic_error("\"" + ACommand + "\" sent while \"" + ahead_.front() +
                                   "\" was written ahead");
        ahead_.pop_front();
    }
    if (AExpected == -1) return AwaitReply({});
    return AwaitReply({AExpected});
}

void TTCPConnection::WriteAhead(const std::vector<std::string>& ACommands) {
    CheckPeerClosed(true, true);
    if (!IsConnected()) throw ENotConnected();
    for (const std::string& command : ACommands) unsent_ += command + "\r\n";
    ahead_.insert(ahead_.end(), ACommands.begin(), ACommands.end());
    SendAhead();
}

void TTCPConnection::ReadLinesUntil(std::vector<std::string>& ADest, std::string_view ATerminator,
                                    bool AUnstuff) {
    const TReplyScope reply(*this);
    const TWorkBracket work(*this, TWorkMode::wkRead, 0);
    std::size_t lines = 0;
    std::size_t bytes = 0;
    for (;;) {
        std::string line = ReadLine();
        if (line == ATerminator) break;
        if (AUnstuff && line.starts_with("..")) line.erase(0, 1);
        bytes += line.size() + sizeof(std::string);
        // The rest of an endless reply is not read: the connection cannot be used again.
        if (++lines > MaxReplyLines || bytes > MaxReplyBytes) {
            CloseSocket();
            throw EReplyTooLarge(lines > MaxReplyLines ? MaxReplyLines : 0, MaxReplyBytes);
        }
        ADest.push_back(std::move(line));
    }
}

void TTCPConnection::ReadBytes(std::string& ADest, std::int32_t ACount) {
    if (ACount <= 0) return;
    const auto count = static_cast<std::size_t>(ACount);
    while (inputBuffer_.Size() < count) {
        FillInputBuffer(true, TimeoutDefault, true);
        CheckPeerClosed(true, true);
    }
    ADest = inputBuffer_.Extract(count);
}

void TTCPConnection::ReadToStream(TStream& AStream, std::int64_t AByteCount, bool AReadUntilClose) {
    // The stream is not grown by the announced count first: that count comes from the peer,
    // and a false one would make us allocate it up front. The stream ends the same.
    struct TCutAtPosition {
        TStream& stream;
        int unwinding = std::uncaught_exceptions();
        ~TCutAtPosition() noexcept(false) {
            try {
                if (stream.Size() > stream.Position()) stream.SetSize(stream.Position());
            } catch (...) {
                // The read's own error is the one to report.
                if (std::uncaught_exceptions() == unwinding) throw;
            }
        }
    } const cut{AStream};
    const std::int64_t announced = AByteCount < 0 ? 0 : AByteCount;
    const TWorkBracket work(
        *this, TWorkMode::wkRead,
        AReadUntilClose ? 0
                        : static_cast<std::int32_t>(std::min<std::int64_t>(announced, INT32_MAX)));
    // To the close means to the close: a count would cut a large download short unnoticed.
    std::int64_t remaining = AReadUntilClose ? INT64_MAX : announced;

    const std::string_view buffered = inputBuffer_.View();
    const auto first = static_cast<std::size_t>(
        std::min<std::int64_t>(remaining, static_cast<std::int64_t>(buffered.size())));
    if (first > 0) {
        AStream.Write(buffered.data(), first);
        inputBuffer_.Consume(first);
        remaining -= static_cast<std::int64_t>(first);
    }

    const std::int64_t chunk =
        std::min<std::int64_t>(remaining, RecvBufferSize > 0 ? RecvBufferSize : 1);
    std::string bytes;
    try {
        while (remaining > 0 && IsConnected()) {
            const auto count = static_cast<std::int32_t>(std::min(remaining, chunk));
            ReadBytes(bytes, count);
            AStream.Write(bytes.data(), bytes.size());
            remaining -= count;
        }
    } catch (const EConnClosedGracefully&) {
        if (!AReadUntilClose) throw;
        const std::string_view rest = inputBuffer_.View();
        AStream.Write(rest.data(), rest.size());
        inputBuffer_.Clear();
        return;
    }
    // A count that the peer's close cut short is a failure, not a shorter result.
    if (!AReadUntilClose && remaining > 0) throw EConnClosedGracefully();
}

void TTCPConnection::WriteText(std::string_view AText) { WriteBytes(AText, false); }

void TTCPConnection::WriteLine(std::string_view AText) {
    std::string line(AText);
    line += "\r\n";
    WriteText(line);
}

void TTCPConnection::WriteBytes(std::string_view AData, bool ASendNow) {
    if (AData.empty()) return;
    CheckPeerClosed(true, true);
    if (!IsConnected()) throw ENotConnected();
    // Nothing may overtake a command written ahead. Its reply has not been read only when
    // the caller broke off its own order, and then the connection is not used for replies.
    if (!unsent_.empty()) {
        std::string queued;
        queued.swap(unsent_);
        WriteBytes(queued, true);
    }
    if (writeBuffer_ && !ASendNow) {
        writeBuffer_->append(AData);
        if (writeThreshold_ > 0 &&
            writeBuffer_->size() >= static_cast<std::size_t>(writeThreshold_))
            FlushWriteBuffer(writeThreshold_);
        return;
    }
    TSocketStack& stack = TSocketStack::Instance();
    while (!AData.empty()) {
        const int offer = static_cast<int>(std::min<std::size_t>(AData.size(), INT_MAX));
        const int sent = ioHandler_->Send(AData.data(), offer);
        const int error = errno;
        closedByPeer_ = sent == 0;
        CheckPeerClosed(true, false);
        if (sent < 0) {
            const std::int32_t code = TSocketStack::CodeFromErrno(error);
            stack.CheckSocketCode(
                code, {socket_code::Shutdown, socket_code::ConnAborted, socket_code::ConnReset});
            CloseSocket();
            stack.RaiseSocketError(code);
        }
        AddWork(TWorkMode::wkWrite, sent);
        AData.remove_prefix(static_cast<std::size_t>(sent));
    }
}

void TTCPConnection::BeginWriteBuffer(std::int32_t AThreshold) {
    // Bytes of a buffer still open are kept, not thrown away.
    if (!writeBuffer_) writeBuffer_.emplace();
    writeThreshold_ = AThreshold;
}

void TTCPConnection::FlushWriteBuffer(std::int32_t ALimit) {
    if (!writeBuffer_ || writeBuffer_->empty()) return;
    if (ALimit >= 0 && writeBuffer_->size() >= static_cast<std::size_t>(ALimit)) {
        const std::string head = writeBuffer_->substr(0, static_cast<std::size_t>(ALimit));
        WriteBytes(head, true);
        writeBuffer_->erase(0, head.size());
    } else {
        const std::string all = *writeBuffer_;
        WriteBytes(all, true);
        writeBuffer_->clear();
    }
}

void TTCPConnection::EndWriteBuffer() {
    struct TDiscard {
        std::optional<std::string>& buffer;
        ~TDiscard() { buffer.reset(); }
    } const discard{writeBuffer_};
    FlushWriteBuffer(-1);
}

}  // namespace kavrel
