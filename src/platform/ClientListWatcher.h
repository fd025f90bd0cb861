#pragma once

#include <QObject>

#include <memory>

namespace platform {

// Tells when the window manager's list of managed windows (_NET_CLIENT_LIST
// on the root) changes: a program showed a window or took its last one away.
// It listens on a connection of its own, read by the event loop, so that the
// shared connection's round trips never meet its events. Main thread only.
class ClientListWatcher : public QObject {
    Q_OBJECT

public:
    explicit ClientListWatcher(QObject* parent = nullptr);
    ~ClientListWatcher() override;

    // False when no X server could be reached: then changed() never fires.
    bool isWatching() const;

Q_SIGNALS:
    // Once for each batch of changes that arrives together.
    void changed();

private:
    void readEvents();

    struct Connection;
    std::unique_ptr<Connection> connection_;
};

} // namespace platform
