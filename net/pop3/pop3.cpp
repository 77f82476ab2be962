#include "net/pop3/pop3.h"

#include <algorithm>

#include "base/integer.h"
#include "base/strings.h"
#include "net/pop3/md5.h"
#include "net/transport/net_errors.h"
#include "net/transport/tls_handler.h"

namespace kavrel {
namespace {

constexpr std::int32_t kOk = 1;
constexpr std::int32_t kErr = 2;

std::string FirstTextLine(const TRFCReply& reply) {
    return reply.Text.empty() ? std::string() : reply.Text.front();
}

}  // namespace

TPOP3::TPOP3() {
    Port = 110;
    MultiLineReplies = false;
}

std::int32_t TPOP3::AwaitReply(const std::vector<std::int32_t>& AAllowed) {
    ReadReply();
    if (SameText(LastReply.TextCode, "+OK")) {
        LastReply.NumericCode = kOk;
    } else if (SameText(LastReply.TextCode, "-ERR")) {
        LastReply.NumericCode = kErr;
    } else {
        throw ENetException("Unrecognized POP3 Response Header:\n\"" + LastReply.FormattedText() +
                            "\"");
    }
    LastReply.TextCode = IntToStr(LastReply.NumericCode);
    return CheckReply(LastReply.NumericCode, AAllowed);
}

bool TPOP3::HasCapability(const std::string& AName) const {
    return std::find(Capabilities.begin(), Capabilities.end(), UpperCase(AName)) !=
           Capabilities.end();
}

void TPOP3::ReadCapabilities() {
    Capabilities.clear();
    const TReplyScope reply(*this);
    if (SendCommand("CAPA") != kOk) return;
    std::vector<std::string> lines;
    ReadLinesUntil(lines, ".", true);
    for (const std::string& line : lines) {
        const std::string name = UpperCase(line.substr(0, line.find(' ')));
        if (!name.empty()) Capabilities.push_back(name);
    }
}

void TPOP3::Connect(int ATimeout) {
    UseTLS = TLS == TTLSMode::tmImplicit;
    TMessageClient::Connect(ATimeout);
    try {
        AwaitReply({kOk});
        const std::string greeting = FirstTextLine(LastReply);
        ReadCapabilities();
        const bool offered = HasCapability("STLS");
        if ((TLS == TTLSMode::tmWhenOffered || TLS == TTLSMode::tmRequired) && offered) {
            SendCommand("STLS", kOk);
            StartTLS();
            // What was listed in clear may have been forged (RFC 2595): ask again.
            ReadCapabilities();
        } else if (TLS == TTLSMode::tmRequired) {
            throw ETLSError(NoSTLSText);
        }
        if (APOP) {
            const auto open = greeting.find('<');
            const auto close = open == std::string::npos ? open : greeting.find('>', open);
            if (close == std::string::npos) {
                throw ENetException("Server do not support APOP (no timestamp)");
            }
            const std::string digest = Md5Hex(greeting.substr(open, close - open + 1) + Password);
            SendCommand("APOP " + Username + " " + digest, kOk);
        } else {
            SendCommand("USER " + Username, kOk);
            SendCommand("PASS " + Password, kOk);
        }
    } catch (...) {
        Disconnect();
        throw;
    }
}

void TPOP3::Disconnect() {
    // The connection is closed whether or not QUIT could be written; a failed write is
    // reported after that.
    std::exception_ptr failure;
    if (IsConnected()) {
        try {
            WriteLine("QUIT");
        } catch (...) {
            failure = std::current_exception();
        }
    }
    TMessageClient::Disconnect();
    if (failure) std::rethrow_exception(failure);
}

std::int32_t TPOP3::GetMessageCount() {
    SendCommand("STAT", kOk);
    const std::string line = FirstTextLine(LastReply);
    if (line.empty()) return 0;
    const auto blank = line.find(' ');
    // A line without a blank gives the empty text, and so the conversion error with nothing
    // in its quotes, as it always has.
    const std::string text = blank == std::string::npos ? std::string() : line.substr(0, blank);
    // Decimal digits only: '+OK $3 0' is no count of three, and fewer than no messages would
    // set the progress bar's maximum below its minimum.
    if (const auto count = TryDecimalToInt(text)) return *count;
    throw EConvertError("'" + text + "' is not a valid integer value");
}

bool TPOP3::ListUids(std::vector<std::string>& AList, std::int32_t AMsgNum) {
    if (AMsgNum < 0) {
        const TReplyScope reply(*this);
        if (SendCommand("UIDL") != kOk) return false;
        ReadLinesUntil(AList, ".", true);
        return true;
    }
    if (SendCommand("UIDL " + IntToStr(AMsgNum)) != kOk) return false;
    AList = LastReply.Text;
    return true;
}

bool TPOP3::FetchHeader(std::int32_t AMsgNum, TMailMessage& AMsg, TMailMessage::TFields AFields) {
    const TReplyScope reply(*this);
    SendCommand("TOP " + IntToStr(AMsgNum) + " 0", kOk);
    ReadHeaderLines(AMsg, ".", AFields);
    return true;
}

std::int32_t TPOP3::GetMessageSize(std::int32_t AMsgNum) {
    SendCommand("LIST " + IntToStr(AMsgNum), kOk);
    const std::string line = FirstTextLine(LastReply);
    if (line.empty()) return -1;
    const auto blank = line.find(' ');
    const std::string size = blank == std::string::npos ? line : line.substr(blank + 1);
    // A negative or hexadecimal size is as unreadable as a word; -1 is the one value that says so.
    return TryDecimalToInt(size).value_or(-1);
}

bool TPOP3::MarkDeleted(std::int32_t AMsgNum) {
    return SendCommand("DELE " + IntToStr(AMsgNum), kOk) == kOk;
}

}  // namespace kavrel
