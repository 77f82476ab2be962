#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/unique_fd.h"

namespace kavrel::test {

// One step of a scripted conversation, seen from the server.
struct TScriptStep {
    enum class TKind { Expect, ExpectClosed, Send, Repeat, Stall, Close, Reset, Accept };
    TKind Kind;
    std::string Text;
    int Milliseconds = 0;
    int Count = 0;
};

// The next line from the client, which must end in CR LF; Text is the line without it.
TScriptStep Expect(std::string line);
// The client closes its side without sending anything more.
TScriptStep ExpectClosed();
// Exactly these bytes, no line end added.
TScriptStep Send(std::string bytes);
// The line and CR LF.
TScriptStep SendLine(std::string line);
TScriptStep Stall(int milliseconds);
// The bytes times times, with a pause after each: a drip or a flood. It ends early, and the
// script with it, once the client has stopped reading.
TScriptStep Repeat(std::string bytes, int times, int pauseMs = 0);
// An orderly close: the client reads to the end, then 0, and a later send of the client's
// fails. Bytes the client sent that no step read turn it into a reset, as in any TCP stack.
TScriptStep Close();
// An abortive close (SO_LINGER 0): the client gets a reset, buffered bytes are dropped.
TScriptStep Reset();
// Ends the current connection and takes the next one.
TScriptStep Accept();

// A server on 127.0.0.1 at a free port that plays one script on its own thread, written as
// the conversation happens:
//
//   TScriptServer server({SendLine("+OK ready"), Expect("QUIT"), SendLine("+OK bye")});
//
// It takes the first connection before the first step. Every wait is bounded by the step
// time-out; a step that goes wrong ends the script. When the script has run out, or ended
// early, the server closes its sending side, so a client never waits for it for ever. The
// destructor stops the thread at once, whatever step it is in.
class TScriptServer {
  public:
    explicit TScriptServer(std::vector<TScriptStep> script, int stepTimeoutMs = 5000);
    ~TScriptServer();
    TScriptServer(const TScriptServer&) = delete;
    TScriptServer& operator=(const TScriptServer&) = delete;

    int Port() const { return port_; }

    // Waits at most timeoutMs for the script to run out; true when every step went as
    // written.
    bool Finish(int timeoutMs = 5000);
    // What went wrong, one line per fault, and what the client sent: for test messages.
    std::string Report() const;
    // The client's lines, as Expect steps read them, without CR LF.
    std::vector<std::string> Received() const;

  private:
    enum class TWait { Ready, TimedOut, Stopped };

    void Run();
    bool RunStep(const TScriptStep& step, std::size_t index);
    bool SendAll(std::string_view bytes, const std::string& where);
    bool AcceptNext();
    bool ReadLine(std::string& line);
    bool ReadToClose(std::string& extra);
    void EndConnection(bool abortive);
    TWait WaitFor(int fd, short events, int timeoutMs);
    void Fail(std::string text);

    std::vector<TScriptStep> script_;
    int stepTimeoutMs_;
    int port_ = 0;
    TUniqueFd listener_;
    TUniqueFd connection_;
    TUniqueFd wakeRead_;
    TUniqueFd wakeWrite_;
    std::string pending_;  // bytes read past the last line

    mutable std::mutex lock_;
    std::condition_variable doneChanged_;
    bool done_ = false;
    std::vector<std::string> failures_;
    std::vector<std::string> received_;

    std::thread thread_;
};

}  // namespace kavrel::test
