#pragma once

#include "platform/ClientWindows.h"

#include <QObject>
#include <QStringList>

#include <cstdint>

namespace platform {
class ClientListWatcher;
}

namespace recording {

// Follows which applications run, by the window manager's list of managed
// windows: an application is running while another process than ours shows
// a managed window of its class. Lists of hideable applications refresh on
// changed(); a recording re-applies its filter when a hidden one launches.
// Main thread only.
class RunningApps : public QObject {
    Q_OBJECT

public:
    explicit RunningApps(QObject* parent = nullptr);
    ~RunningApps() override;

    // False without an X server: then no signal ever fires.
    bool isWatching() const;

    // The ids running now, in the order their first windows were mapped.
    QStringList appIDs() const { return appIDs_; }

    // The distinct non-empty window classes of processes other than
    // `ownPID`, in list order.
    static QStringList appIDs(const QList<platform::ClientWindow>& clientList, std::int32_t ownPID);

Q_SIGNALS:
    // The managed windows changed: a window came or went, so the candidates
    // may have, too.
    void changed();
    // An application showed its first window.
    void launched(const QString& appID);
    // An application's last window went away.
    void terminated(const QString& appID);

private:
    void refresh();

    platform::ClientListWatcher* watcher_;
    QStringList appIDs_;
};

} // namespace recording
