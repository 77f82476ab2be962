#include "net/pop3/pop3.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "base/base64.h"
#include "base/integer.h"
#include "base/strings.h"
#include "net/pop3/md5.h"
#include "net/pop3/sasl_mechanism.h"
#include "net/transport/net_errors.h"
#include "net/transport/tls_handler.h"

namespace kavrel {
namespace {

constexpr std::int32_t kOk = 1;
constexpr std::int32_t kErr = 2;
// A mechanism needs three rounds at most; a server that goes on is not signing anybody in.
constexpr int kMaxSASLRounds = 8;

std::string FirstTextLine(const TRFCReply& reply) {
    return reply.Text.empty() ? std::string() : reply.Text.front();
}

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && IsBlank(line[at])) ++at;
        const std::size_t start = at;
        while (at < line.size() && !IsBlank(line[at])) ++at;
        if (at > start) words.push_back(line.substr(start, at - start));
    }
    return words;
}

}  // namespace

TPOP3::TPOP3() {
    Port = 110;
    MultiLineReplies = false;
}

std::int32_t TPOP3::AwaitReply(const std::vector<std::int32_t>& AAllowed) {
    ReadReply();
    return ClassifyReply(AAllowed);
}

std::int32_t TPOP3::ClassifyReply(const std::vector<std::int32_t>& AAllowed) {
    LastResponseCode = TResponseCode::None;
    if (SameText(LastReply.TextCode, "+OK")) {
        LastReply.NumericCode = kOk;
    } else if (SameText(LastReply.TextCode, "-ERR")) {
        LastReply.NumericCode = kErr;
        LastResponseCode = ResponseCodeOf(FirstTextLine(LastReply));
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
    SASLMechanisms.clear();
    LoginDelaySeconds = -1;
    const TReplyScope reply(*this);
    if (SendCommand("CAPA") != kOk) return;
    std::vector<std::string> lines;
    ReadLinesUntil(lines, ".", true);
    for (const std::string& line : lines) {
        const std::string name = UpperCase(line.substr(0, line.find(' ')));
        if (!name.empty()) Capabilities.push_back(name);
        const std::vector<std::string> words = SplitWords(line);
        if (name == "SASL") {
            for (std::size_t i = 1; i < words.size(); ++i) {
                SASLMechanisms.push_back(UpperCase(words[i]));
            }
        } else if (name == "LOGIN-DELAY" && words.size() > 1) {
            // "LOGIN-DELAY 900 USER": the delay may differ per user, and this is the least.
            LoginDelaySeconds = TryDecimalToInt(words[1]).value_or(-1);
        }
    }
}

std::string TPOP3::ChooseMechanism() const {
    const auto listed = [this](const std::string& name) {
        return std::find(SASLMechanisms.begin(), SASLMechanisms.end(), name) !=
               SASLMechanisms.end();
    };
    if (!SASLMechanism.empty()) {
        const std::string name = UpperCase(SASLMechanism);
        if (!listed(name)) {
            throw ESASLError("The server does not offer the sign-in " + name + ".");
        }
        return name;
    }
    if (!AccessToken.empty()) {
        if (listed("XOAUTH2")) return "XOAUTH2";
        if (listed("OAUTHBEARER")) return "OAUTHBEARER";
        throw ESASLError(
            "The server offers no OAuth sign-in (neither XOAUTH2 nor OAUTHBEARER) for the "
            "access token.");
    }
    if (APOP) return {};
    // The password never crosses the wire, and the server proves that it knows it.
    if (listed("SCRAM-SHA-256")) return "SCRAM-SHA-256";
    // A server that has dropped USER may still take the password through SASL.
    if (!Capabilities.empty() && !HasCapability("USER")) {
        if (listed("PLAIN")) return "PLAIN";
        if (listed("LOGIN")) return "LOGIN";
    }
    return {};
}

std::optional<std::string> TPOP3::AwaitChallenge(const TSASLMechanism& AMechanism) {
    const TReplyScope reply(*this);
    const std::string line = ReadReplyLine(std::numeric_limits<std::int32_t>::max());
    // "+ " and base64, or "+" alone when the line was trimmed; "+OK" ends the exchange.
    if (!line.empty() && line[0] == '+' && !StartsText(line, "+OK")) {
        const std::optional<std::string> challenge = Base64Decode(Trim(line.substr(1)));
        if (!challenge) throw ESASLError("The server's SASL challenge is not base64.");
        return challenge;
    }
    LastReply.SetReply({line});
    if (ClassifyReply({}) == kErr) {
        const std::string note = AMechanism.RefusalNote();
        if (!note.empty() && !LastReply.Text.empty()) LastReply.Text.back() += " (" + note + ")";
    }
    CheckReply(LastReply.NumericCode, {kOk});
    return std::nullopt;
}

void TPOP3::Authenticate(TSASLMechanism& AMechanism) {
    // The mechanism alone on the AUTH line, every answer on a line of its own: some servers
    // refuse an initial response after the name (RFC 5034 allows both).
    WriteLine("AUTH " + AMechanism.Name());
    for (int round = 0;; ++round) {
        std::string answer;
        try {
            const std::optional<std::string> challenge = AwaitChallenge(AMechanism);
            if (!challenge) break;
            if (round == kMaxSASLRounds)
                throw ESASLError("The server's SASL exchange does not end.");
            answer = AMechanism.Respond(*challenge);
        } catch (const ESASLError&) {
            WriteLine("*");  // cancels the exchange (RFC 5034 4)
            throw;
        }
        WriteLine(Base64Encode(answer));
    }
    if (!AMechanism.ServerVerified()) {
        throw ESASLError(AMechanism.Name() +
                         ": the server signed in without proving that it knows the password; it "
                         "may not be the server it claims to be.");
    }
}

void TPOP3::Connect(int ATimeout) {
    SignInMechanism.clear();
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
        const std::string mechanism = ChooseMechanism();
        SignInMechanism = !mechanism.empty() ? mechanism : APOP ? "APOP" : "USER";
        if (!mechanism.empty()) {
            const std::unique_ptr<TSASLMechanism> sasl = MakeSASLMechanism(
                mechanism, TSASLCredentials{Username, Password, AccessToken, Host, Port});
            if (!sasl) throw ESASLError("This program cannot sign in with " + mechanism + ".");
            Authenticate(*sasl);
        } else if (APOP) {
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
