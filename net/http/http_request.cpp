#include "net/http/http_request.h"

#include "base/integer.h"
#include "net/http/http_date.h"

namespace kavrel {

void THTTPRequest::BuildHeaderLines() {
    HeaderLines.Clear();
    auto text = [this](const char* name, const std::string& value) {
        if (!value.empty()) HeaderLines.Add(std::string(name) + ": " + value);
    };
    auto date = [this](const char* name, TDateTime value) {
        if (value > 0) HeaderLines.Add(std::string(name) + ": " + HttpDateText(value));
    };
    text("Connection", Connection);
    text("Content-Version", ContentVersion);
    text("Content-Encoding", ContentEncoding);
    text("Content-Language", ContentLanguage);
    text("Content-Type", ContentType);
    if (ContentLength >= 0) HeaderLines.Add("Content-Length: " + IntToStr(ContentLength));
    text("Cache-control", CacheControl);
    date("Date", Date);
    date("Expires", Expires);
    date("Last-Modified", LastModified);
    text("Pragma", Pragma);
    for (const std::string& line : CustomHeaders) HeaderLines.Add(line);
    text("Proxy-Connection", ProxyConnection);
    text("Host", Host);
    text("Accept", Accept);
    text("Accept-Charset", AcceptCharSet);
    text("Accept-Encoding", AcceptEncoding);
    text("Accept-Language", AcceptLanguage);
    text("From", From);
    text("Referer", Referer);
    text("User-Agent", UserAgent);
    date("If-Modified-Since", LastModified);
    if (ContentRangeStart != 0 || ContentRangeEnd != 0) {
        std::string range = "bytes=" + IntToStr(ContentRangeStart) + "-";
        if (ContentRangeEnd != 0) range += IntToStr(ContentRangeEnd);
        HeaderLines.Add("Range: " + range);
    }
}

}  // namespace kavrel
