#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace platform {

// One running program per user. A second start finds the first through a
// local socket in the user's runtime folder, asks it to reopen (the way a
// relaunch of a running application does) and then leaves.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        // This process is the running program; reopen requests arrive here.
        Primary,
        // Another process runs and has been asked to reopen.
        Secondary,
    };

    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // $XDG_RUNTIME_DIR/vexlin-capture.socket; without a private runtime
    // folder, the same name in a folder of our own in the temporary folder,
    // vexlin-capture-UID, made for this user alone. Empty when no such folder
    // can be had: the program then runs without the channel.
    static QString defaultSocketPath();
    // Whether `folder` is itself a folder (a link does not count) that this
    // user owns and nobody else may enter or write: only there does a socket
    // name mean that this user put the socket there.
    static bool isPrivateFolder(const QString& folder);

    // Claims the socket, or hands a reopen request to the process that holds
    // it, when that process runs as this user. When the socket can be neither
    // reached nor created, or lies in a folder others can write, this process
    // still runs as the primary one, only without the channel.
    Role claim();

    bool isListening() const;

    // A client has this long to send its request before it is dropped, and
    // at most this many are served at once while as many more wait their
    // turn. A second start needs one connection for a moment, so neither
    // limit is felt by it, while a flood of idle connections cannot pile up
    // handles.
    static constexpr int requestTimeoutMs = 1000;
    static constexpr int maxOpenConnections = 8;
    // The connections held now.
    int openConnections() const { return openConnections_; }

Q_SIGNALS:
    void reopenRequested();

private:
    bool askRunningToReopen();
    void acceptConnections();

    QString socketPath_;
    QLocalServer* server_ = nullptr;
    int openConnections_ = 0;
};

} // namespace platform
