#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/script_server.h"

// Pieces of a scripted POP3 mailbox, put together in the order a session runs.
namespace kavrel::test {

struct TScriptMessage {
    std::string Uid;
    std::string Subject;
    int Size = 1000;
};

using TScript = std::vector<TScriptStep>;

inline TScript& operator+=(TScript& a, const TScript& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline TScript operator+(TScript a, const TScript& b) { return a += b; }

// A CAPA listing of the given capabilities, one per line.
inline TScript Capa(const std::vector<std::string>& names = {"TOP", "UIDL", "USER"}) {
    TScript s = {Expect("CAPA"), SendLine("+OK Capability list follows")};
    for (const std::string& name : names) s.push_back(SendLine(name));
    s.push_back(SendLine("."));
    return s;
}

inline TScript LogIn(const std::string& user = "ann", const std::string& password = "secret") {
    return TScript{SendLine("+OK ready")} + Capa() +
           TScript{Expect("USER " + user), SendLine("+OK"), Expect("PASS " + password),
                   SendLine("+OK logged in")};
}

inline TScript Uidl(const std::vector<TScriptMessage>& messages) {
    TScript s = {Expect("UIDL"), SendLine("+OK")};
    for (std::size_t i = 0; i < messages.size(); ++i) {
        s.push_back(SendLine(std::to_string(i + 1) + " " + messages[i].Uid));
    }
    s.push_back(SendLine("."));
    return s;
}

inline TScript Stat(std::size_t count) {
    return {Expect("STAT"), SendLine("+OK " + std::to_string(count) + " 4000")};
}

inline std::string HeaderOf(const TScriptMessage& m) {
    return "From: Sender <" + m.Uid + "@example.org>\r\nSubject: " + m.Subject +
           "\r\nDate: Tue, 15 Nov 1994 08:12:31 +0000\r\n";
}

inline TScript Top(std::size_t r, const TScriptMessage& m) {
    return {Expect("TOP " + std::to_string(r) + " 0"), SendLine("+OK"), Send(HeaderOf(m)),
            SendLine(".")};
}

inline TScript ListSize(std::size_t r, const TScriptMessage& m) {
    return {Expect("LIST " + std::to_string(r)),
            SendLine("+OK " + std::to_string(r) + " " + std::to_string(m.Size))};
}

inline TScript Quit() { return {Expect("QUIT"), SendLine("+OK bye"), Close()}; }

// The whole session of a check: every header fetched, the size asked only of the messages
// listed in fresh (their positions from 1).
inline TScript CheckSession(const std::vector<TScriptMessage>& messages,
                            const std::vector<std::size_t>& fresh) {
    TScript s = LogIn() + Uidl(messages) + Stat(messages.size());
    for (std::size_t r = 1; r <= messages.size(); ++r) {
        s += Top(r, messages[r - 1]);
        if (std::find(fresh.begin(), fresh.end(), r) != fresh.end()) {
            s += ListSize(r, messages[r - 1]);
        }
    }
    return s += Quit();
}

inline std::vector<std::size_t> All(std::size_t count) {
    std::vector<std::size_t> out;
    for (std::size_t r = 1; r <= count; ++r) out.push_back(r);
    return out;
}

// A mailbox checked once per connection that gains a message before each later check: the
// first check finds all of `mailbox` new, each later one the message added.
inline TScript GrowingMailbox(std::vector<TScriptMessage> mailbox,
                              const std::vector<TScriptMessage>& added) {
    TScript s = CheckSession(mailbox, All(mailbox.size()));
    for (const TScriptMessage& m : added) {
        mailbox.push_back(m);
        s += TScript{Accept()} + CheckSession(mailbox, {mailbox.size()});
    }
    return s;
}

}  // namespace kavrel::test
