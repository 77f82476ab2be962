#include "app/single_instance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <algorithm>

namespace kavrel {

namespace {

constexpr char kRequest[] = "show";
constexpr char kAnswer[] = "ok";
// A Wayland compositor raises a window of another process only with the token that the
// launcher gave the new start; it travels with the request.
constexpr char kTokenVariable[] = "XDG_ACTIVATION_TOKEN";
constexpr qsizetype kMaxToken = 255;
constexpr int kRetryMs = 50;
// A peer that connects and says nothing is dropped after this long.
constexpr int kIdlePeerMs = 5000;
constexpr qint64 kMaxRequest = 8 + kMaxToken;

bool IsToken(const QByteArray& token) {
    if (token.isEmpty() || token.size() > kMaxToken) return false;
    for (char c : token) {
        if (c <= ' ' || c > '~') return false;
    }
    return true;
}

QByteArray RequestLine() {
    QByteArray line = kRequest;
    const QByteArray token = qgetenv(kTokenVariable);
    if (IsToken(token)) line += " " + token;
    return line + "\n";
}

QString PathIn(const QString& folder) {
    if (folder.isEmpty()) return {};
    return folder + "/kavrel_program_mutex-" + QString::number(::getuid());
}

// Our own folder only: a folder under /tmp that another user made (or a link to one) would
// let that user take the lock or answer in our place.
bool IsPrivateFolder(const QString& folder) {
    struct stat st {};
    const QByteArray path = QFile::encodeName(folder);
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

QString InstanceRuntimeFolder() {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
    folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
    folder = QDir::tempPath() + "/kavrel-" + QString::number(::getuid());
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    return IsPrivateFolder(folder) ? folder : QString();
}

TSingleInstance::TSingleInstance(QObject* parent)
    : TSingleInstance(InstanceRuntimeFolder(), TWaits{}, parent) {}

TSingleInstance::TSingleInstance(const QString& runtime_folder, TWaits waits, QObject* parent)
    : QObject(parent),
      waits_(waits),
      server_path_(PathIn(runtime_folder)),
      lock_(server_path_.isEmpty() ? QString() : server_path_ + ".lock") {
    // Staleness by age would hand the lock to a second copy while a busy first copy still runs;
    // a crashed copy is recognised by its process id instead.
    lock_.setStaleLockTime(0);
}

TSingleInstance::~TSingleInstance() { Release(); }

void TSingleInstance::Release() {
    // Close before unlocking, so that a start in between finds no server and takes the lock.
    if (server_ != nullptr) server_->close();
    if (lock_.isLocked()) lock_.unlock();
}

bool TSingleInstance::Acquire() {
    if (server_ != nullptr) return true;
    if (server_path_.isEmpty()) {
        qWarning("kavrel: no private runtime folder; another copy cannot be found");
        return true;
    }
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (lock_.tryLock(0)) {
            Listen();
            return true;
        }
        const bool lockable = lock_.error() == QLockFile::LockFailedError;
        const int left = std::max<int>(0, waits_.acquire_ms - static_cast<int>(clock.elapsed()));
        if (AskFirstCopy(std::clamp(left, kRetryMs, 1000)) != TAnswer::Absent) return false;
        if (!lockable) {
            qWarning("kavrel: cannot make the lock file %s", qPrintable(lock_.fileName()));
            return true;
        }
        if (clock.elapsed() >= waits_.acquire_ms) {
            // The holder lives (else its lock would be stale) but never listened.
            qWarning("kavrel: another copy holds %s but does not answer",
                     qPrintable(lock_.fileName()));
            return false;
        }
        QThread::msleep(kRetryMs);
    }
}

TSingleInstance::TAnswer TSingleInstance::AskFirstCopy(int connect_ms) {
    QLocalSocket socket;
    socket.connectToServer(server_path_);
    if (!socket.waitForConnected(connect_ms)) return TAnswer::Absent;
    socket.write(RequestLine());
    if (!socket.waitForBytesWritten(connect_ms)) return TAnswer::Absent;
    QElapsedTimer clock;
    clock.start();
    while (!socket.canReadLine()) {
        const int left = waits_.answer_ms - static_cast<int>(clock.elapsed());
        if (left <= 0 || !socket.waitForReadyRead(left)) {
            // Closed without an answer: that copy is ending, so try for the lock again. Still
            // open: it is busy (a connect or a sound blocks it); the request waits in its queue.
            if (socket.state() != QLocalSocket::ConnectedState) return TAnswer::Absent;
            if (clock.elapsed() >= waits_.answer_ms) return TAnswer::Queued;
        }
    }
    return socket.readLine().trimmed() == kAnswer ? TAnswer::Shown : TAnswer::Absent;
}

void TSingleInstance::Listen() {
    // A socket file left by a crashed copy would make listen fail; we hold the lock, so any
    // socket there is stale.
    QLocalServer::removeServer(server_path_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &TSingleInstance::AcceptRequests);
    if (!server_->listen(server_path_)) {
        qWarning("kavrel: cannot listen on %s: %s", qPrintable(server_path_),
                 qPrintable(server_->errorString()));
    }
}

void TSingleInstance::AcceptRequests() {
    while (QLocalSocket* peer = server_->nextPendingConnection()) {
        connect(peer, &QLocalSocket::readyRead, this, [this, peer] { ReadRequest(peer); });
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        QTimer::singleShot(kIdlePeerMs, peer, [peer] {
            peer->abort();
            peer->deleteLater();
        });
        // A start that gave up waiting has written its request and gone; it is here already.
        ReadRequest(peer);
    }
}

void TSingleInstance::ReadRequest(QLocalSocket* peer) {
    if (!peer->canReadLine()) {
        if (peer->bytesAvailable() > kMaxRequest) peer->abort();
        return;
    }
    const QByteArray line = peer->readLine(kMaxRequest + 1).trimmed();
    const qsizetype blank = line.indexOf(' ');
    const bool show = (blank < 0 ? line : line.first(blank)) == kRequest;
    if (show) {
        peer->write(kAnswer);
        peer->write("\n");
        peer->flush();
    }
    peer->disconnectFromServer();
    if (!show) return;
    const QByteArray token = blank < 0 ? QByteArray() : line.mid(blank + 1);
    if (!IsToken(token)) {
        emit ShowRequested();
        return;
    }
    // The window's activation reads and clears it; clear it ourselves too, so that no stale
    // token goes to the programs we start.
    qputenv(kTokenVariable, token);
    emit ShowRequested();
    qunsetenv(kTokenVariable);
}

}  // namespace kavrel
