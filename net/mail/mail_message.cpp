#include "net/mail/mail_message.h"

#include "base/integer.h"
#include "base/strings.h"
#include "net/mail/encoded_words.h"
#include "net/mail/mail_date.h"

namespace kavrel {
namespace {

std::string CharSetOf(const std::string& contentType) {
    const std::string upper = UpperCase(contentType);
    const std::string key = "CHARSET=";
    const auto at = upper.find(key);
    if (at == std::string::npos) return {};
    const std::size_t start = at + key.size();
    if (start < upper.size() && upper[start] == '"') {
        const auto close = upper.find('"', start + 1);
        return upper.substr(start + 1, close == std::string::npos ? close : close - start - 1);
    }
    return upper.substr(start, upper.find(';', start) - start);
}

// Items between commas outside double quotes, trimmed, empty ones dropped.
std::vector<std::string> SplitNewsGroups(const std::string& value) {
    std::vector<std::string> groups;
    std::string item;
    bool inQuote = false;
    auto flush = [&] {
        std::string t = Trim(item);
        if (!t.empty()) groups.push_back(std::move(t));
        item.clear();
    };
    for (const char c : value) {
        if (c == '"') inQuote = !inQuote;
        if (c == ',' && !inQuote)
            flush();
        else
            item += c;
    }
    flush();
    return groups;
}

TMessagePriority PriorityOf(const std::string& value) {
    const std::string lower = LowerCase(value);
    if (lower.find("urgent") != std::string::npos) return TMessagePriority::mpHigh;
    if (lower.find("non-priority") != std::string::npos) return TMessagePriority::mpLow;
    const std::string trimmed = Trim(value);
    switch (TryStrToInt(trimmed.substr(0, trimmed.find(' '))).value_or(3)) {
        case 1:
            return TMessagePriority::mpHighest;
        case 2:
            return TMessagePriority::mpHigh;
        case 4:
            return TMessagePriority::mpLow;
        case 5:
            return TMessagePriority::mpLowest;
        default:
            return TMessagePriority::mpNormal;  // 3, and levels no one defined
    }
}

}  // namespace

void TMailMessage::FillFromHeaders(TFields fields) {
    const bool all = fields == TFields::All;
    const THeaderList& h = HeaderLines;
    ParseError.clear();
    // A field is assigned only once its value has been read whole, so a failure leaves it
    // empty rather than half filled.
    const auto read = [this](auto& field, const auto& parse) {
        try {
            field = parse();
        } catch (const ENetException& e) {
            if (ParseError.empty()) ParseError = e.what();
        }
    };
    const auto address = [](const std::string& text) {
        TEMailAddressItem item;
        item.Text(text);
        return item;
    };
    const auto addressList = [](const std::string& text) {
        TEMailAddressList list;
        SplitAddressList(list, text);
        return list;
    };
    // Addresses are parsed before their names are decoded: RFC 2047 allows encoded words only
    // in names and comments, and a decoded name may hold "@", "<" or "," of its own.
    const auto decoded = [](auto item) {
        item.Name = DecodeEncodedWords(item.Name);
        return item;
    };
    const auto decodedList = [&](const std::string& text) {
        TEMailAddressList list = addressList(text);
        for (TEMailAddressItem& item : list) item = decoded(std::move(item));
        // A name that was only an empty encoded word leaves an item of nothing, which the
        // split would not have kept either.
        std::erase_if(list, [](const TEMailAddressItem& item) {
            return item.Address.empty() && item.Name.empty();
        });
        return list;
    };
    // Without All, an address field the caller does not read is parsed into a scratch member and
    // dropped: decoding cannot fail, but parsing can, and the failure is the caller's to log.
    TEMailAddressItem droppedItem;
    TEMailAddressList droppedList;
    const auto keptItem = [&](TEMailAddressItem& field) -> TEMailAddressItem& {
        return all ? field : droppedItem;
    };
    const auto keptList = [&](TEMailAddressList& field) -> TEMailAddressList& {
        return all ? field : droppedList;
    };
    const auto recipients = [&](const std::string& text) {
        return all ? decodedList(text) : addressList(text);
    };

    if (all) {
        ContentType = h.HeaderValue("Content-Type");
        CharSet = CharSetOf(ContentType);
        ContentTransferEncoding = h.HeaderValue("Content-Transfer-Encoding");
        ContentDisposition = h.HeaderValue("Content-Disposition");
    }
    Subject = DecodeEncodedWords(h.HeaderValue("Subject"));
    read(From, [&] { return decoded(address(h.HeaderValue("From"))); });
    if (all) {
        MsgId = h.HeaderValue("Message-Id");
        NewsGroups = SplitNewsGroups(h.HeaderValue("Newsgroups"));
    }
    read(keptList(Recipients), [&] { return recipients(h.HeaderValue("To")); });
    read(keptList(CCList), [&] { return recipients(h.HeaderValue("Cc")); });
    if (all) Organization = h.HeaderValue("Organization");
    read(keptItem(ReceiptRecipient), [&] {
        TEMailAddressItem item = address(h.HeaderValue("Disposition-Notification-To"));
        if (item.Address.empty() && item.Name.empty()) {
            item = address(h.HeaderValue("Return-Receipt-To"));
        }
        return item;
    });
    if (all) References = h.HeaderValue("References");
    read(keptList(ReplyTo), [&] { return addressList(h.HeaderValue("Reply-To")); });
    read(Date, [&] { return MailDateToLocal(h.HeaderValue("Date")); });
    read(keptItem(Sender), [&] { return address(h.HeaderValue("Sender")); });
    if (!all) return;
    std::string priority = h.HeaderValue("Priority");
    if (priority.empty()) priority = h.HeaderValue("X-Priority");
    Priority = PriorityOf(priority);
}

}  // namespace kavrel
