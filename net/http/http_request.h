#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/date_time.h"
#include "net/mail/header_list.h"

namespace kavrel {

// The header fields of the next request. A field that is empty (a text), -1 (a length) or
// 0 (a date or a range end) is not sent.
struct THTTPRequest {
    std::string Method = "GET";
    // What goes between the method and the version in the request line.
    std::string RequestTarget;

    std::string Accept = "text/html, */*";
    std::string AcceptCharSet;
    std::string AcceptEncoding;
    std::string AcceptLanguage;
    std::string UserAgent = "Mozilla/3.0 (compatible; Kavrel)";
    std::string Host;
    std::string From;
    std::string Referer;
    std::string Connection;
    std::string ProxyConnection;
    std::string ContentVersion;
    std::string ContentEncoding;
    std::string ContentLanguage;
    std::string ContentType;
    std::string CacheControl;
    std::string Pragma;
    std::int64_t ContentLength = -1;
    TDateTime Date = 0;
    TDateTime Expires = 0;
    TDateTime LastModified = 0;
    std::int64_t ContentRangeStart = 0;
    std::int64_t ContentRangeEnd = 0;
    // Whole "Name: value" lines, sent as they are.
    std::vector<std::string> CustomHeaders;
    // Taken from the address; this client answers no authentication challenge.
    std::string Username;
    std::string Password;

    // The header lines of the request, rebuilt from the fields before every request.
    THeaderList HeaderLines;
    void BuildHeaderLines();
};

}  // namespace kavrel
