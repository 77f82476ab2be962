#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace kavrel {

// One copy of the program per user. The first copy holds a lock file in the user's runtime
// folder and listens on a local socket beside it; a later start finds the lock taken, asks
// the first copy through the socket to show its window, and ends.
class TSingleInstance : public QObject {
    Q_OBJECT
  public:
    // Bounds on how long a later start waits for the first copy.
    struct TWaits {
        int acquire_ms = 5000;  // lock taken but nobody listening yet (the other copy is starting)
        int answer_ms = 3000;   // connected, waiting for the first copy to confirm
    };

    // runtime_folder empty: $XDG_RUNTIME_DIR, else Qt's runtime location, else a private
    // folder under the temporary folder.
    explicit TSingleInstance(QObject* parent = nullptr);
    TSingleInstance(const QString& runtime_folder, TWaits waits, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // True: this is the first copy and now listens for later starts (also when no lock can be
    // made at all, so that a broken runtime folder never keeps the program from starting).
    // False: another copy runs and has been asked to show itself; the caller ends with 0.
    bool Acquire();

    // Stops answering later starts and gives up the lock: a copy that is ending lets the next
    // start become the first copy instead of raising a window that is about to go.
    void Release();

    // The socket's path; the lock file is this path + ".lock".
    const QString& ServerPath() const { return server_path_; }

  signals:
    // A later start asked for the window; connect it to the window's ShowMainWindow. While
    // it is emitted, XDG_ACTIVATION_TOKEN holds the later start's token, if it had one.
    void ShowRequested();

  private:
    enum class TAnswer { Shown, Queued, Absent };
    TAnswer AskFirstCopy(int connect_ms);
    void Listen();
    void AcceptRequests();
    void ReadRequest(QLocalSocket* peer);

    TWaits waits_;
    QString server_path_;
    QLockFile lock_;
    QLocalServer* server_ = nullptr;  // child of this object
};

// The folder that holds the lock and the socket, as the default constructor picks it; empty
// when no private folder can be found or made.
QString InstanceRuntimeFolder();

}  // namespace kavrel
