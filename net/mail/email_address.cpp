#include "net/mail/email_address.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "base/strings.h"
#include "net/mail/encoded_words.h"

namespace kavrel {
namespace {

constexpr const char* kOutsideAddress = "@ Outside address";

enum class TKind { Atom, EncodedWord, Quoted, Literal, Special, End };

struct TToken {
    TKind kind = TKind::End;
    std::string_view raw;  // as typed: a quoted string keeps its quotes
    bool spaced = false;   // white space or a comment stood before it

    bool Is(char c) const { return kind == TKind::Special && raw[0] == c; }
};

// "(", the double quote and "[" open comments, quoted strings and domain literals. The
// backslash, which RFC 5322 allows only inside those, is read as part of an atom.
constexpr std::string_view kSpecials = ")<>]:;@,.";

// The tokens of an address header. An encoded word is one token whatever it holds, so a
// sender's '=?UTF-8?Q?Lee,_Ann?=' cannot split a name at its comma.
class TTokens {
  public:
    explicit TTokens(std::string_view text) : s_(text) { Advance(); }
    const TToken& Peek() const { return next_; }
    TToken Take() {
        const TToken t = next_;
        Advance();
        return t;
    }

  private:
    // The position after the unescaped close, or the end when it never comes.
    std::size_t After(std::size_t i, char close) const {
        for (; i < s_.size(); ++i) {
            if (s_[i] == '\\')
                ++i;
            else if (s_[i] == close)
                return i + 1;
        }
        return s_.size();
    }

    std::size_t AfterComment(std::size_t i) const {
        int depth = 0;
        for (; i < s_.size(); ++i) {
            if (s_[i] == '\\')
                ++i;
            else if (s_[i] == '(')
                ++depth;
            else if (s_[i] == ')' && --depth == 0)
                return i + 1;
        }
        return s_.size();
    }

    void Advance() {
        bool spaced = false;
        while (pos_ < s_.size() && (IsBlank(s_[pos_]) || s_[pos_] == '(')) {
            pos_ = IsBlank(s_[pos_]) ? pos_ + 1 : AfterComment(pos_);
            spaced = true;
        }
        const std::size_t start = pos_;
        TKind kind = TKind::End;
        if (pos_ < s_.size()) {
            const char c = s_[pos_];
            const std::size_t word = c == '=' ? EncodedWordLength(s_.substr(pos_)) : 0;
            if (c == '"') {
                kind = TKind::Quoted;
                pos_ = After(pos_ + 1, '"');
            } else if (c == '[') {
                kind = TKind::Literal;
                pos_ = After(pos_ + 1, ']');
            } else if (kSpecials.find(c) != std::string_view::npos) {
                kind = TKind::Special;
                ++pos_;
            } else if (word > 0) {
                kind = TKind::EncodedWord;
                pos_ += word;
            } else {
                kind = TKind::Atom;
                while (pos_ < s_.size() && !IsBlank(s_[pos_]) &&
                       std::string_view("(\"[").find(s_[pos_]) == std::string_view::npos &&
                       kSpecials.find(s_[pos_]) == std::string_view::npos) {
                    ++pos_;
                }
            }
        }
        next_ = {kind, s_.substr(start, pos_ - start), spaced};
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    TToken next_;
};

using TPhrase = std::vector<TToken>;

std::string Unquoted(std::string_view quoted) {
    std::string out;
    for (std::size_t i = 1; i < quoted.size() && quoted[i] != '"'; ++i) {
        if (quoted[i] == '\\' && ++i == quoted.size()) break;
        out += quoted[i];
    }
    return out;
}

// A display name: its words with single blanks where the header had white space.
std::string NameOf(const TPhrase& phrase) {
    std::string name;
    for (const TToken& t : phrase) {
        if (t.spaced && !name.empty()) name += ' ';
        name += t.kind == TKind::Quoted ? Unquoted(t.raw) : std::string(t.raw);
    }
    return Trim(name);
}

bool PartOfAddress(const TToken& t) { return t.kind != TKind::Special || t.Is('.'); }

// A local part or a whole address, white space and comments left out; a quoted local part
// keeps its quotes, since they are part of the address.
std::string Joined(TPhrase::const_iterator begin, TPhrase::const_iterator end) {
    std::string out;
    for (auto t = begin; t != end; ++t) {
        if (PartOfAddress(*t)) out += t->raw;
    }
    return out;
}

struct TMailbox {
    std::string address;
    std::string name;

    // Which of two mailboxes a sender is: a real address, then a local one, then a bare name.
    int Rank() const {
        if (address.find('@') != std::string::npos) return 3;
        return !address.empty() ? 2 : !name.empty() ? 1 : 0;
    }
};

class TListParser {
  public:
    explicit TListParser(std::string_view text) : tokens_(text) {}

    // The next mailbox of the list, groups opened up; nothing at its end.
    std::optional<TMailbox> Next() {
        for (;;) {
            // People type ";" between addresses as often as ",", and it also closes a group.
            while (tokens_.Peek().Is(',') || tokens_.Peek().Is(';')) {
                if (tokens_.Take().Is(';')) inGroup_ = false;
            }
            if (tokens_.Peek().kind == TKind::End) return std::nullopt;
            TPhrase phrase;
            for (const TToken* t = &tokens_.Peek();
                 t->kind != TKind::End && !t->Is(',') && !t->Is(';') && !t->Is('<') &&
                 !(t->Is(':') && !inGroup_);
                 t = &tokens_.Peek()) {
                phrase.push_back(tokens_.Take());
            }
            if (tokens_.Peek().Is(':')) {  // a group's label, which is no address
                tokens_.Take();
                inGroup_ = true;
                continue;
            }
            if (!tokens_.Peek().Is('<')) return Bare(phrase);
            // Whatever stands before "<", an address included, is the display name.
            tokens_.Take();
            TMailbox mailbox{AngleAddress(), NameOf(phrase)};
            RejectAddressUntilNext();
            return mailbox;
        }
    }

  private:
    // '<@relay.a,@relay.b:ann@b.c>': a source route up to the last ":" is dropped. A comma
    // after the address ends it, so two addresses in one pair of brackets do not run together.
    std::string AngleAddress() {
        std::string address;
        bool ended = false;
        for (TToken t = tokens_.Take(); t.kind != TKind::End && !t.Is('>'); t = tokens_.Take()) {
            if (t.Is(':')) {
                address.clear();
                ended = false;
            } else if (t.Is(',')) {
                ended = !address.starts_with('@');
            } else if (!ended && (PartOfAddress(t) || t.Is('@'))) {
                address += t.raw;
            }
        }
        return address;
    }

    // Text after a whole mailbox is dropped, unless it holds another address: a mailbox
    // outside the list's syntax ('Ann <a@b.c> via d@e.f') leaves the sender in doubt.
    void RejectAddressUntilNext() {
        for (const TToken* t = &tokens_.Peek(); t->kind != TKind::End && !t->Is(',') && !t->Is(';');
             t = &tokens_.Peek()) {
            if (tokens_.Take().Is('@')) throw EEmailParseError(kOutsideAddress);
        }
    }

    // A mailbox without angle brackets: an addr-spec, a lone local address or a bare name.
    static TMailbox Bare(const TPhrase& phrase) {
        const auto at =
            std::find_if(phrase.begin(), phrase.end(), [](const TToken& t) { return t.Is('@'); });
        if (at == phrase.end()) {
            // "MAILER-DAEMON" or "first.last" is a local address; words with blanks are a name.
            const bool local =
                !phrase.empty() && std::all_of(phrase.begin(), phrase.end(), [&](const TToken& t) {
                    return (t.kind == TKind::Atom || t.Is('.')) && (!t.spaced || &t == &phrase[0]);
                });
            return local ? TMailbox{Joined(phrase.begin(), phrase.end()), ""}
                         : TMailbox{"", NameOf(phrase)};
        }
        std::string address = Joined(phrase.begin(), at) + "@";
        // The domain is atoms joined by dots; a word after a blank without a dot is not in it.
        auto t = at + 1;
        for (bool wantWord = true; t != phrase.end(); ++t) {
            if (t->Is('.')) {
                wantWord = true;
            } else if (!wantWord || (t->kind != TKind::Atom && t->kind != TKind::Literal)) {
                break;
            } else {
                wantWord = false;
            }
            address += t->raw;
        }
        if (std::any_of(t, phrase.end(), [](const TToken& x) { return x.Is('@'); }))
            throw EEmailParseError(kOutsideAddress);
        return {address, ""};
    }

    TTokens tokens_;
    bool inGroup_ = false;
};

}  // namespace

void TEMailAddressItem::Text(const std::string& text) {
    Address.clear();
    Name.clear();
    TListParser list(text);
    TMailbox sender;
    // The first real address ends the search, so nothing after it can fail the sender.
    while (sender.Rank() < 3) {
        const auto next = list.Next();
        if (!next) break;
        if (next->Rank() > sender.Rank()) sender = *next;
    }
    Address = std::move(sender.address);
    Name = std::move(sender.name);
}

void SplitAddressList(TEMailAddressList& list, const std::string& text) {
    list.clear();
    TListParser parser(text);
    while (auto mailbox = parser.Next()) {
        if (mailbox->Rank() > 0) {
            list.push_back({std::move(mailbox->address), std::move(mailbox->name)});
        }
    }
}

}  // namespace kavrel
