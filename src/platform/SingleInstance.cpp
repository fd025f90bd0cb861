#include "platform/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kTimeoutMs = 2000;
const QByteArray kReopen = QByteArrayLiteral("reopen\n");
const QByteArray kAcknowledged = QByteArrayLiteral("ok\n");

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultSocketPath() {
    const QString socketName = QStringLiteral("vexlin-capture.socket");
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(runtime)) {
        return QDir(runtime).filePath(socketName);
    }
    // The temporary folder is shared: a fixed name there could be anyone's,
    // so the socket goes into a folder made for this user, which mkdir
    // creates only where nothing (not even a link) stands.
    const QString temporary = QDir::tempPath();
    if (temporary.isEmpty()) {
        return {};
    }
    const QString folder = temporary + QStringLiteral("/vexlin-capture-%1").arg(::geteuid());
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    if (!isPrivateFolder(folder)) {
        return {};
    }
    return folder + QLatin1Char('/') + socketName;
}

bool SingleInstance::isPrivateFolder(const QString& folder) {
    struct stat info {};
    if (folder.isEmpty() || ::lstat(QFile::encodeName(folder).constData(), &info) != 0) {
        return false;
    }
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

SingleInstance::Role SingleInstance::claim() {
    if (!isPrivateFolder(QFileInfo(socketPath_).absolutePath())) {
        // Whatever answers there may be another user's; and a socket of ours
        // there could be replaced by theirs.
        return Role::Primary;
    }
    // Two programs started at the same moment must not both remove the
    // other's socket and listen, so the check and the claim happen under one
    // lock.
    QLockFile lock(socketPath_ + QStringLiteral(".lock"));
    lock.setStaleLockTime(kTimeoutMs * 5);
    const bool locked = lock.tryLock(kTimeoutMs * 2);

    if (askRunningToReopen()) {
        return Role::Secondary;
    }
    if (!locked) {
        return Role::Primary;
    }
    // Nobody answers: whatever socket file is there was left by a program that
    // ended without cleaning up.
    QLocalServer::removeServer(socketPath_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    server_->setMaxPendingConnections(maxOpenConnections);
    if (!server_->listen(socketPath_)) {
        delete server_;
        server_ = nullptr;
        return Role::Primary;
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return Role::Primary;
}

bool SingleInstance::isListening() const {
    return server_ != nullptr && server_->isListening();
}

bool SingleInstance::askRunningToReopen() {
    struct stat file {};
    if (::lstat(QFile::encodeName(socketPath_).constData(), &file) != 0 ||
        !S_ISSOCK(file.st_mode) || file.st_uid != ::geteuid()) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(kTimeoutMs)) {
        return false;
    }
    // Only a program of this user's counts, whoever made the file.
    ucred peer{};
    socklen_t length = sizeof(peer);
    if (::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &length) !=
            0 ||
        peer.uid != ::geteuid()) {
        return false;
    }
    socket.write(kReopen);
    if (!socket.waitForBytesWritten(kTimeoutMs)) {
        return false;
    }
    // The answer tells that a live program read the request; a socket that
    // accepts and then says nothing belongs to no working instance.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(kTimeoutMs)) {
            return false;
        }
    }
    return socket.readLine() == kAcknowledged;
}

void SingleInstance::acceptConnections() {
    // Connections beyond the cap wait in the server's queue, and beyond that
    // in the system's, holding no handle of ours; a second start among them
    // is served once the idle ones ahead of it are dropped.
    while (openConnections_ < maxOpenConnections) {
        QLocalSocket* socket = server_->nextPendingConnection();
        if (socket == nullptr) {
            return;
        }
        ++openConnections_;
        connect(socket, &QObject::destroyed, this, [this] {
            --openConnections_;
            // Not from within the socket's destruction.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (server_ != nullptr) {
                        acceptConnections();
                    }
                },
                Qt::QueuedConnection);
        });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // Dropped whether it said nothing or too little; restarted by each
        // request, so a client may ask again on the same connection.
        auto* deadline = new QTimer(socket);
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        deadline->start(requestTimeoutMs);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, deadline] {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine();
                if (line == kReopen) {
                    // Answered once handled, so the second start ends after
                    // the running program has come forward. The handler may
                    // run an event loop of its own (a dialog), in which the
                    // client can go away and its socket with it.
                    deadline->stop();
                    const QPointer<QLocalSocket> alive(socket);
                    Q_EMIT reopenRequested();
                    if (alive == nullptr) {
                        return;
                    }
                    deadline->start(requestTimeoutMs);
                    socket->write(kAcknowledged);
                    socket->flush();
                } else {
                    socket->disconnectFromServer();
                    return;
                }
            }
            // A client that sends a long line without an end is not ours.
            if (socket->bytesAvailable() > 64) {
                socket->disconnectFromServer();
            }
        });
    }
}

} // namespace platform
