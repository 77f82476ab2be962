#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/date_time.h"
#include "net/mail/header_list.h"

namespace kavrel {

// Every value of the lines named name (any case), in order, continuation lines joined.
std::vector<std::string> HeaderValues(const THeaderList& headers, std::string_view name);

// The head of the last response. Each response overwrites every field.
struct THTTPResponse {
    std::string StatusLine;
    THeaderList HeaderLines;

    std::string Location;
    std::string Server;
    std::string ProxyConnection;
    std::vector<std::string> WWWAuthenticate;
    std::vector<std::string> ProxyAuthenticate;
    std::string Connection;
    std::string ContentVersion;
    std::string ContentEncoding;
    std::string ContentLanguage;
    std::string ContentType = "text/html";
    std::string TransferEncoding;
    std::string Pragma;
    // -1 when the response gave no usable length.
    std::int32_t ContentLength = -1;
    bool LengthKnown = false;
    std::int64_t ContentRangeStart = 0;
    std::int64_t ContentRangeEnd = 0;
    TDateTime Date = 0;
    TDateTime LastModified = 0;
    TDateTime Expires = 0;

    // The number after the version in the status line; -1 when there is none.
    std::int32_t StatusCode() const;

    // Fills the fields from HeaderLines. Raises EConvertError for a malformed Content-Range
    // or a number of seconds in Expires that is negative or a day or more.
    void ProcessHeaders();
};

}  // namespace kavrel
