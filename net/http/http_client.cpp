#include "net/http/http_client.h"

#include <optional>

#include "base/integer.h"
#include "base/strings.h"
#include "net/http/http_errors.h"
#include "net/transport/net_errors.h"

namespace kavrel {
namespace {

constexpr std::int32_t kRedirectBodyTimeout = 4000;
constexpr std::int32_t kErrorBodyTimeout = 2000;

std::int32_t PortNumber(const std::string& text) {
    std::int32_t value = 0;
    bool digits = !text.empty();
    for (const char c : text) {
        if (c < '0' || c > '9' || value > 99999) {
            digits = false;
            break;
        }
        value = value * 10 + (c - '0');
    }
    if (!digits) throw EConvertError("'" + text + "' is not a valid integer value");
    return value;
}

// The size before any extension ("1a;name=x"). A line that names no size is a broken body,
// not its end: taking it for the last chunk would pass a cut download off as whole.
std::int64_t ChunkSize(const std::string& line) {
    std::string_view size = line;
    size = size.substr(0, size.find_first_of(" ;"));
    const std::string text = Trim(size);
    std::int64_t value = 0;
    for (const char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0 || value > (INT64_MAX >> 8)) {
            value = -1;
            break;
        }
        value = value * 16 + digit;
    }
    if (text.empty() || value < 0) throw ENetException("'" + line + "' is not a valid chunk size");
    return value;
}

// Puts a field back however the scope is left.
template <class T>
class TRestore {
  public:
    TRestore(T& field, T value) : field_(field), old_(field) { field_ = value; }
    ~TRestore() { field_ = old_; }
    TRestore(const TRestore&) = delete;
    TRestore& operator=(const TRestore&) = delete;

  private:
    T& field_;
    T old_;
};

}  // namespace

THTTPClient::THTTPClient() {
    MaxLineAction = TMaxLineAction::maException;
    SetPort(80);
}

THTTPClient::~THTTPClient() = default;

void THTTPClient::SetHost(const std::string& AHost) {
    Host = AHost;
    TargetUri.Host = AHost;
}

void THTTPClient::SetPort(int APort) {
    Port = APort;
    TargetUri.Port = IntToStr(APort);
}

void THTTPClient::SetProtocol(const std::string& AProtocol) {
    TargetUri.Protocol = AProtocol;
    UseTLS = TargetIsTLS();
}

bool THTTPClient::TargetIsTLS() const { return SameText(TargetUri.Protocol, "https"); }

void THTTPClient::SetCookieManager(TCookieManager* AManager) {
    cookies_ = AManager;
    if (AManager != ownCookies_.get()) ownCookies_.reset();
}

std::string THTTPClient::Get(const std::string& AURL) {
    TMemoryStream content;
    Get(AURL, content);
    return std::move(content.Data);
}

void THTTPClient::Get(const std::string& AURL, TStream& AContent) {
    const std::int64_t start = AContent.Position();
    Request.Method = "GET";
    Request.RequestTarget = AURL;
    requestCount_ = 0;
    Exchange([&] {
        for (;;) {
            ++requestCount_;
            ResolveTarget();
            SendAndReadHead();
            if (DecideNext(AContent) == TNext::Finished) break;
            AContent.SetSize(start);
        }
    });
}

void THTTPClient::Exchange(const std::function<void()>& AExchange) {
    try {
        AExchange();
    } catch (...) {
        // What is left on a connection whose exchange broke off cannot be told from the next
        // answer, so it is never used again.
        try {
            Disconnect();
        } catch (...) {
        }
        throw;
    }
    if (!ConnectionReusable()) Disconnect();
    requestCount_ = 0;
}

std::string THTTPClient::Post(const std::string& AURL, const std::string& AContentType,
                              std::string_view ABody) {
    Request.Method = "POST";
    Request.RequestTarget = AURL;
    requestCount_ = 1;
    // The type belongs to this request; a later Get sends none.
    const TRestore<std::string> type(Request.ContentType, AContentType);
    TMemoryStream content;
    Exchange([&] {
        ResolveTarget();
        Request.ContentLength = static_cast<std::int64_t>(ABody.size());
        SendAndReadHead(ABody);
        if (!IsConnected()) throw ENetException("Undefined situation");
        const std::int32_t status = ResponseCode();
        if (status != 204 && status != 304) ReadBody(content);
    });
    return std::move(content.Data);
}

void THTTPClient::SendAndReadHead(std::string_view ABody) {
    EnsureConnection();
    WriteRequest(ABody);
    do {
        ReadResponseHead();
    } while (ResponseCode() == 100);
}

void THTTPClient::ResolveTarget() {
    TURI v;
    v.ParseUri(Request.RequestTarget);
    if (!v.UserName.empty()) {
        Request.Username = v.UserName;
        Request.Password = v.Password;
    }
    TargetUri.UserName = Request.Username;
    TargetUri.Password = Request.Password;
    TargetUri.Path = CombinePath(TargetUri.Path, v.Path);
    // A request target always starts at the root.
    if (!TargetUri.Path.starts_with('/')) TargetUri.Path.insert(0, "/");
    TargetUri.Document = v.Document;
    TargetUri.Params = v.Params;
    if (!v.Host.empty()) TargetUri.Host = v.Host;
    // A relative address stays on TLS when the last one was on it.
    if (!v.Protocol.empty()) {
        TargetUri.Protocol = v.Protocol;
    } else if (!TargetIsTLS()) {
        TargetUri.Protocol = "http";
    }
    if (!v.Port.empty()) {
        TargetUri.Port = v.Port;
    } else if (SameText(v.Protocol, "http")) {
        TargetUri.Port = "80";
    } else if (SameText(v.Protocol, "https")) {
        TargetUri.Port = "443";
    } else if (TargetUri.Port.empty()) {
        throw EUnknownProtocol();
    }
    Request.RequestTarget = TargetUri.Path + TargetUri.Document + TargetUri.Params;
    Request.ContentLength = -1;
    Request.Host = TargetUri.Host;
    if (TargetUri.Port != (TargetIsTLS() ? "443" : "80")) Request.Host += ":" + TargetUri.Port;
}

void THTTPClient::EnsureConnection() {
    const std::int32_t port = PortNumber(TargetUri.Port);
    const bool tls = TargetIsTLS();
    if (!SameText(Host, TargetUri.Host) || Port != port || UseTLS != tls) {
        if (IsConnected()) Disconnect();
        Host = TargetUri.Host;
        Port = port;
        UseTLS = tls;
    }
    if (!ConnectionReusable()) Disconnect();
    PollPeerClosed(false);
    if (!IsConnected()) Connect(ConnectTimeout);
}

void THTTPClient::WriteRequest(std::string_view ABody) {
    Request.BuildHeaderLines();
    if (cookies_) {
        const std::string cookie = cookies_->CookieTextFor(TargetUri, TLSActive());
        if (!cookie.empty()) Request.HeaderLines.Add("Cookie: " + cookie);
    }
    BeginWriteBuffer(0);
    WriteLine(Request.Method + " " + Request.RequestTarget + " HTTP/" +
              (ProtocolVersion == TProtocolVersion::pv1_0 ? "1.0" : "1.1"));
    for (const std::string& line : Request.HeaderLines.Lines()) WriteLine(line);
    WriteLine();
    WriteText(ABody);
    // The whole request leaves in one send.
    EndWriteBuffer();
}

void THTTPClient::ReadResponseHead() {
    const TReplyScope reply(*this);
    Response.StatusLine = ReadLine();
    Response.HeaderLines.Clear();
    std::size_t bytes = 0;
    for (;;) {
        std::string line;
        try {
            line = ReadLine();
        } catch (const EConnClosedGracefully&) {
            // A head the close cut short is still the head.
            Disconnect();
            break;
        }
        if (line.empty()) break;
        bytes += line.size();
        if (Response.HeaderLines.Count() >= MaxHeadLines || bytes > MaxHeadBytes) {
            CloseSocket();
            throw EReplyTooLarge(bytes > MaxHeadBytes ? 0 : MaxHeadLines, MaxHeadBytes);
        }
        Response.HeaderLines.Add(std::move(line));
    }
    hasResponse_ = true;
    Response.ProcessHeaders();
    StoreCookies();
}

void THTTPClient::StoreCookies() {
    if (!cookies_ && AllowCookies) {
        ownCookies_ = std::make_unique<TCookieManager>();
        cookies_ = ownCookies_.get();
    }
    if (!cookies_) return;
    for (const std::string& value : HeaderValues(Response.HeaderLines, "Set-cookie"))
        cookies_->TakeCookie(value, TargetUri.Host, TCookieKind::SetCookie);
    for (const std::string& value : HeaderValues(Response.HeaderLines, "Set-cookie2"))
        cookies_->TakeCookie(value, TargetUri.Host, TCookieKind::SetCookie2);
}

THTTPClient::TNext THTTPClient::DecideNext(TStream& AContent) {
    const std::int32_t status = ResponseCode();
    const std::int32_t kind = status / 100;
    if ((kind == 3 && status != 304) || !Response.Location.empty()) {
        std::string dest = Response.Location;
        bool accept = HandleRedirects;
        if (OnRedirect) OnRedirect(*this, dest, accept);
        if (!accept || requestCount_ >= RedirectMaximum) FailWithStatus();
        Request.RequestTarget = dest;
        try {
            const TRestore timeout(ReadTimeout, kRedirectBodyTimeout);
            TMemoryStream dropped;
            ReadBody(dropped);
        } catch (const ENetException&) {
            // The next request finds out whether the connection is still good.
        }
        return TNext::Retry;
    }
    if (kind != 2) FailWithStatus();
    if (!IsConnected()) throw ENetException("Undefined situation");
    if (status != 204) ReadBody(AContent);
    return TNext::Finished;
}

void THTTPClient::FailWithStatus() {
    TMemoryStream body;
    {
        const TRestore timeout(ReadTimeout, kErrorBodyTimeout);
        try {
            ReadBody(body);
        } catch (const EConnClosedGracefully&) {
            // An error body cut short still comes with its status, which is the error.
        }
    }
    throw EHTTPProtocolException(ResponseCode(), Response.StatusLine, std::move(body.Data));
}

void THTTPClient::ReadBody(TStream& AContent) {
    // A body may take long while it moves; one that trickles is given up.
    const TTransferScope transfer(*this);
    if (Response.ContentLength >= 1) {
        // A close before the announced end raises: a cut download is not a shorter one.
        ReadToStream(AContent, Response.ContentLength, false);
        return;
    }
    // The exact case: any other spelling is read to the close, size lines and all.
    if (Response.TransferEncoding.find("chunked") != std::string::npos) {
        ReportStatus(TNetStatus::stText, "Chunk Started");
        for (std::int64_t size = ChunkSize(ReadLine()); size > 0; size = ChunkSize(ReadLine())) {
            ReadToStream(AContent, size, false);
            ReadLine();
        }
        try {
            ReadLine();
        } catch (const EConnClosedGracefully&) {
            // The last chunk has come; a server that closes before the final line end has
            // sent the whole body.
        }
        return;
    }
    if (!Response.LengthKnown) ReadToStream(AContent, -1, true);
}

bool THTTPClient::ConnectionReusable() {
    CheckPeerClosed(false, false);
    if (!IsConnected()) return false;
    if (!hasResponse_) return true;
    auto says = [this](const char* word) {
        return SameText(Trim(Response.Connection), word) ||
               SameText(Trim(Response.ProxyConnection), word);
    };
    if (ProtocolVersion == TProtocolVersion::pv1_1) return !says("close");
    return says("keep-alive");
}

}  // namespace kavrel
