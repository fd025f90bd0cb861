#include "recording/RunningApps.h"

#include "platform/ClientListWatcher.h"

#include <QCoreApplication>
#include <QPointer>

namespace recording {

namespace {

std::int32_t ownPID() {
    return static_cast<std::int32_t>(QCoreApplication::applicationPid());
}

} // namespace

RunningApps::RunningApps(QObject* parent)
    : QObject(parent), watcher_(new platform::ClientListWatcher(this)) {
    if (watcher_->isWatching()) {
        appIDs_ = appIDs(platform::clientWindowsInMappingOrder(), ownPID());
    }
    connect(watcher_, &platform::ClientListWatcher::changed, this, &RunningApps::refresh);
}

RunningApps::~RunningApps() = default;

bool RunningApps::isWatching() const {
    return watcher_->isWatching();
}

QStringList RunningApps::appIDs(const QList<platform::ClientWindow>& clientList,
                                std::int32_t ownPID) {
    QStringList ids;
    for (const platform::ClientWindow& window : clientList) {
        if (window.className.isEmpty() || (window.pid && *window.pid == ownPID) ||
            ids.contains(window.className)) {
            continue;
        }
        ids.append(window.className);
    }
    return ids;
}

void RunningApps::refresh() {
    const QStringList before = appIDs_;
    appIDs_ = appIDs(platform::clientWindowsInMappingOrder(), ownPID());
    // Handlers may delete us: everything they need is copied first.
    const QStringList after = appIDs_;
    QStringList gone, came;
    for (const QString& id : before) {
        if (!after.contains(id)) {
            gone.append(id);
        }
    }
    for (const QString& id : after) {
        if (!before.contains(id)) {
            came.append(id);
        }
    }
    QPointer<RunningApps> alive(this);
    for (const QString& id : gone) {
        Q_EMIT terminated(id);
        if (!alive) {
            return;
        }
    }
    for (const QString& id : came) {
        Q_EMIT launched(id);
        if (!alive) {
            return;
        }
    }
    Q_EMIT changed();
}

} // namespace recording
