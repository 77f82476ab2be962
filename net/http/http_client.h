#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "net/http/cookie_manager.h"
#include "net/http/http_request.h"
#include "net/http/http_response.h"
#include "net/http/uri.h"
#include "net/transport/stream.h"
#include "net/transport/tcp_client.h"

namespace kavrel {

enum class TProtocolVersion { pv1_0, pv1_1 };

class THTTPClient;

// Asked before a redirect is followed; AAccept comes in as HandleRedirects and the handler
// may change it and the destination.
using TRedirectEvent = std::function<void(THTTPClient& Sender, std::string& ADest, bool& AAccept)>;

// An HTTP/1.1 client for GET and for POST of a form. For GET every status outside 200 to 299
// is an error whose message is the status line; redirects are followed only when asked for.
// Bytes of a body are reported through OnWork as they are read.
class THTTPClient : public TTCPClient {
  public:
    THTTPClient();
    ~THTTPClient() override;

    // The target; each also sets its field of TargetUri.
    void SetHost(const std::string& AHost);
    void SetPort(int APort);
    // "http" or "https"; also what a relative address is fetched with.
    void SetProtocol(const std::string& AProtocol);
    const std::string& GetHost() const { return Host; }
    int GetPort() const { return Port; }

    TProtocolVersion ProtocolVersion = TProtocolVersion::pv1_1;
    // Lets the client make its own cookie store at the first response.
    bool AllowCookies = true;
    bool HandleRedirects = false;
    // Most requests one Get may make when it follows redirects.
    std::int32_t RedirectMaximum = 15;
    // Of the connects the client makes by itself; 0 waits as long as the platform does.
    std::int32_t ConnectTimeout = 0;
    // What a server can make a response head hold; browsers draw the line about here.
    std::size_t MaxHeadLines = 1000;
    std::size_t MaxHeadBytes = std::size_t{256} << 10;
    TRedirectEvent OnRedirect;

    THTTPRequest Request;
    THTTPResponse Response;
    // Kept between requests: a relative address is resolved against its path.
    TURI TargetUri;

    // A store of the caller's, kept alive by it; replaces the client's own.
    void SetCookieManager(TCookieManager* AManager);
    TCookieManager* CookieManager() const { return cookies_; }

    std::int32_t ResponseCode() const { return Response.StatusCode(); }
    // The requests the current Get has made; 0 between calls.
    std::int32_t RequestCount() const { return requestCount_; }

    // The body of the document at AURL. Raises on every failure; no partial body is
    // returned then.
    std::string Get(const std::string& AURL);
    // The same, written into AContent from its position on.
    void Get(const std::string& AURL, TStream& AContent);
    // Sends ABody as AContentType and returns the body of the answer whatever its status,
    // which ResponseCode() gives: services such as OAuth explain a refusal in the body of a
    // 400. Redirects are never followed, since the body would have to be sent again. Raises
    // only when no whole answer comes.
    std::string Post(const std::string& AURL, const std::string& AContentType,
                     std::string_view ABody);

  private:
    // Runs one exchange of requests and answers on the connection, closing it when the exchange
    // fails or the server will not keep it.
    void Exchange(const std::function<void()>& AExchange);
    using TTCPClient::Host;
    using TTCPClient::Port;

    enum class TNext { Finished, Retry };

    bool TargetIsTLS() const;
    void ResolveTarget();
    void EnsureConnection();
    void WriteRequest(std::string_view ABody = {});
    void ReadResponseHead();
    // The request written on a connection made if need be, and the head of its final answer
    // read (past any 100 Continue).
    void SendAndReadHead(std::string_view ABody = {});
    TNext DecideNext(TStream& AContent);
    void ReadBody(TStream& AContent);
    [[noreturn]] void FailWithStatus();
    bool ConnectionReusable();
    void StoreCookies();

    std::unique_ptr<TCookieManager> ownCookies_;
    TCookieManager* cookies_ = nullptr;
    std::int32_t requestCount_ = 0;
    bool hasResponse_ = false;
};

}  // namespace kavrel
